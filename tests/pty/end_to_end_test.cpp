// Whole uploads over real pseudo-terminals: the meter simulator against the headless receiver
// and against the desktop program, and a receiver killed right after an acknowledgement.

#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "tests/pty/process.h"
#include "tests/serial/pty.h"

namespace kestrand::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Upload {
  TempDir data, expect;
  std::string link = data / "meter-tty";
};

TEST(EndToEnd, SimulatedUploadsLandByteExactWithTheReceiver) {
  // Plain; stuffed, split and noisy. The file's list entry is printed on standard output; the
  // device and the upload's total on standard error.
  const std::tuple<const char*, const char*, const char*> rows[] = {
      {"--probe 1 --mode 1 --log-rate 2 --columns 9 --move-avg 30 --records 500 "
       "--records-per-message 20 --units 1",
       "Probe QV-1200ABA", "progress: Received: 500 records, "},
      {"--mode 0 --columns 15 --records 300 --records-per-message 10 --stuffing-heavy "
       "--split-chunks 3 --noise",
       "Single Pt.", "progress: Received: 300 records, "},
  };
  for (const auto& [args, listed, total] : rows) {
    SCOPED_TRACE(args);
    Upload u;
    std::vector<std::string> sim = {KESTRAND_SIM, "--link", u.link, "--expect-dir", u.expect.path};
    std::istringstream words(args);
    for (std::string w; words >> w;) sim.push_back(w);
    Process meter(sim, u.expect / "sim.out", u.expect / "sim.err");
    ASSERT_TRUE(waitFor([&] { return fs::exists(u.link); }, 10s)) << slurp(u.expect / "sim.err");
    Process receiver(
        {KESTRAND_CLI, "receive", "--port", u.link, "--data-dir", u.data.path, "--once"},
        u.expect / "cli.out", u.expect / "cli.err");
    EXPECT_EQ(receiver.wait(120s), 0) << slurp(u.expect / "cli.err");
    EXPECT_EQ(meter.wait(10s), 0) << slurp(u.expect / "sim.out") << slurp(u.expect / "sim.err");
    const auto expected = rawFiles(u.expect.path);
    ASSERT_EQ(expected.size(), 1u);
    EXPECT_TRUE(rawFiles(u.data.path) == expected);  // megabytes: no print
    const std::string out = slurp(u.expect / "cli.out");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_NE(out.find(listed), std::string::npos) << out;
    const std::string err = slurp(u.expect / "cli.err");
    EXPECT_NE(err.find("port: /dev/pts/"), std::string::npos) << err;
    EXPECT_NE(err.find(total), std::string::npos) << err;
  }
}

// A meter played by the test itself on a pseudo-terminal, for exact control of the timing: the
// headless receiver answers an enquiry, acknowledges the worked short header (stamp 01234567,
// probe 3, continuous, one column) and five data messages of one record each (value 100.0, tags 1
// to 5), and is killed right after the last acknowledgement.
TEST(EndToEnd, ReceiverKilledRightAfterAnAckKeepsEveryAcknowledgedRecord) {
  test::Pty pty;
  TempDir data;
  termios t{};
  ::tcgetattr(pty.slave, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(pty.slave, TCSANOW, &t);
  Process receiver({KESTRAND_CLI, "receive", "--port", pty.slavePath, "--data-dir", data.path},
                   data / "cli.out", data / "cli.err");
  // The next byte from the receiver, or -1 after `ms` of silence.
  auto answer = [&](int ms) {
    pollfd p{pty.master, POLLIN, 0};
    unsigned char c = 0;
    return ::poll(&p, 1, ms) > 0 && ::read(pty.master, &c, 1) == 1 ? int{c} : -1;
  };
  // Enquires every 100 ms until the receiver, which may still be opening the port, answers.
  int a = -1;
  for (int tries = 0; tries < 100 && a != 6; ++tries) {
    pty.send("\x10\x05");
    a = answer(100);
  }
  ASSERT_EQ(a, 6) << slurp(data / "cli.err");
  // An enquiry sent again while the receiver was starting is answered too: those answers are let
  // go first, or one would pass for the header's, and the first message would go out with the
  // header before its answer and be discarded with it, as a meter never sends it.
  while (answer(300) != -1) {
  }
  pty.send(std::string("\x10\x01\x01\x23\x45\x67\x34\x80\x00\x01\x00\x00\x85\x10\x03", 15));
  ASSERT_EQ(answer(2000), 6);
  for (int k = 1; k <= 5; ++k) {
    const int tag = 0x80 | k;
    std::string m;
    for (int b : {0x10, 0x02, tag, 0x02, 0x23, 0xE8, (tag + 0x02 + 0x23 + 0xE8) % 256, 0x10, 0x17})
      m.push_back(static_cast<char>(b));
    pty.send(m);
    ASSERT_EQ(answer(2000), 6) << "message " << k;
  }
  receiver.signal(SIGKILL);
  receiver.wait(5s);
  EXPECT_EQ(slurp(data / "QV 05.Feb.97  14.53.13.dat"),
            "\"02/05/1997\",\"2:53:13 PM\",3,1\r\n2,1,0\r\n1,2\r\n100\r\n2,2\r\n100\r\n"
            "3,2\r\n100\r\n4,2\r\n100\r\n5,2\r\n100\r\n");
}

TEST(EndToEnd, DesktopProgramReceivesThroughTheComLinkInItsDirectory) {
  Upload u;
  // The desktop program's data directory is the one that holds it: run a copy from a temporary
  // directory whose COM1 is the simulator's pseudo-terminal.
  const std::string program = u.data / "kestrand-upload";
  fs::copy_file(KESTRAND_UPLOAD, program);
  fs::permissions(program, fs::perms::owner_all);
  {
    std::ofstream port(u.data / "riviriro.inf", std::ios::binary);
    port << " 1\r\n";
  }
  const std::string link = u.data / "COM1";
  Process meter({KESTRAND_SIM, "--link", link, "--expect-dir", u.expect.path, "--mode", "1",
                 "--records", "16301", "--records-per-message", "60", "--connect-timeout", "60"},
                u.expect / "sim.out", u.expect / "sim.err");
  ASSERT_TRUE(waitFor([&] { return fs::exists(link); }, 10s));
  Process desktop({program}, u.expect / "gui.out", u.expect / "gui.err",
                  {"QT_QPA_PLATFORM=offscreen"});
  EXPECT_EQ(meter.wait(300s), 0) << slurp(u.expect / "sim.out") << slurp(u.expect / "sim.err")
                                 << slurp(u.expect / "gui.err");
  desktop.signal(SIGTERM);
  desktop.wait(10s);
  const auto expected = rawFiles(u.expect.path);
  ASSERT_EQ(expected.size(), 2u);
  EXPECT_TRUE(rawFiles(u.data.path) == expected);  // megabytes: no print
}

}  // namespace
}  // namespace kestrand::testing
