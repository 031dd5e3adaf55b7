// The headless receiver: what it prints, the formats it takes from the data directory, and when
// it considers the first upload ended.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/console_view.h"
#include "cli/receiver.h"
#include "platform/fake/fake_timers.h"
#include "platform/fake/fakes.h"
#include "platform/fake/memory_file_system.h"
#include "tests/link/frames.h"

namespace kestrand::testing {
namespace {

struct Headless {
  std::ostringstream out, err;
  cli::ConsoleView view{out, err};
  cli::ConsoleMessageBox box{err};
  platform::fake::MemoryFileSystem fs{"/ignored"};
  platform::fake::FakeClock clock;
  platform::fake::FakeTimerHub timers;
  platform::fake::FakeSerialPort port;
  cli::Receiver receiver{app::Platform{view, box, fs, clock, timers, port}, "/d"};
};

TEST(Console, ControlCharactersAreEscapedSoEachLabelIsOneLine) {
  EXPECT_EQ(cli::printable(hex("10 05") + " - 10"), "\\x10\\x05 - 10");
  EXPECT_EQ(cli::printable("a\\b\n\rc\x7F\xB2"), "a\\\\b\\x0A\\x0Dc\\x7F\xB2");
}

TEST(Receiver, PrintsEntriesStatusesMessagesAndBoxesAndEndsAfterTheLastMessage) {
  Headless h;
  h.receiver.start("/dev/pts/9");
  h.port.deliver(hex("10 05"));
  h.port.deliver(hex("10 01 01 23 45 67 34 80 00 01 00 00 85 10 03"));
  EXPECT_FALSE(h.receiver.uploadEnded());
  h.port.deliver(hex("10 02 81 02 23 E8 8E 10 04"));
  EXPECT_TRUE(h.receiver.uploadEnded());
  EXPECT_EQ(h.out.str(),
            "02/05/1997  2:53:13 PM   Probe QV-1200CDC   Continuous   Log Rate  2   Units    "
            "   QV 05.Feb.97  14.53.13.dat\n");
  const std::string err = h.err.str();
  EXPECT_NE(err.find("status: \\x10\\x05 - 10\nstatus: Got Enquire \n"), std::string::npos) << err;
  EXPECT_NE(err.find("status: Receiving Associated Data\n"), std::string::npos);
  EXPECT_NE(err.find("message:  1 data files are available.\n"), std::string::npos);
  EXPECT_NE(err.find("port: /dev/pts/9\n"), std::string::npos);
  EXPECT_NE(err.find("progress: Received: 1 records, 24 bytes in 0:00:00\n"), std::string::npos);

  // The watchdog's box is printed with its title, the line break as a new line.
  h.port.deliver(hex("10 01 01 23 45 67 34 80 00 01 00 00 85 10 03"));
  h.timers.advance(10000);
  EXPECT_NE(h.err.str().find("RIviriro Error: Upload of data is incomplete\nCheck connections and "
                             "retry\n"),
            std::string::npos);
}

TEST(Receiver, DataWithoutHeaderEndsTheFirstUploadAndStopClosesTheOpenFile) {
  Headless h;
  h.receiver.start("/dev/pts/9");
  h.port.deliver(hex("10 02 81 02 23 E8 8E 10 04"));
  EXPECT_TRUE(h.receiver.uploadEnded());
  EXPECT_EQ(h.port.written, hex("15 06"));
  h.port.deliver(hex("10 01 01 23 45 67 34 80 00 01 00 00 85 10 03"));
  EXPECT_EQ(h.fs.openFiles, 1);
  h.receiver.stop();
  EXPECT_EQ(h.fs.openFiles, 0);
  EXPECT_FALSE(h.port.isOpen());
}

TEST(Receiver, DeviceThatWillNotOpenIsAnError) {
  Headless h;
  h.port.refused = {"/dev/nothing"};
  EXPECT_THROW(h.receiver.start("/dev/nothing"), Error);
}

}  // namespace
}  // namespace kestrand::testing
