// The program's link on the fake port: the lines of a message are on stable storage before its
// ACK, refusals, the watchdog's tick and line errors.

#include <gtest/gtest.h>

#include "platform/fake/memory_file_system.h"
#include "tests/link/frames.h"
#include "tests/support/program_rig.h"

namespace kestrand::testing {
namespace {

using platform::LabelId;
using namespace std::string_literals;

const std::string kHeader = "\x10\x01\x01\x23\x45\x67\x34\x80\x00\x01\x00\x00\x85\x10\x03"s;
const std::string kMore = "\x10\x02\x81\x02\x23\xE8\x8E\x10\x17"s;
const std::string kLast = "\x10\x02\x81\x02\x23\xE8\x8E\x10\x04"s;
const std::string kFile = "/data/QV 05.Feb.97  14.53.13.dat";

struct Program : MemoryDataDirectory, ProgramRig {
  Program() : ProgramRig(fs, "/data") {}
};

TEST(LinkController, EveryAckFollowsTheSyncOfTheMessagesLines) {
  Program p;
  int acks = 0;
  p.port.onWrite = [&](std::string_view bytes) {
    ASSERT_EQ(bytes, "\x06");
    ++acks;
    EXPECT_EQ(p.fs.durable(kFile), p.fs.files.at(kFile)) << "ack " << acks;
  };
  p.port.deliver(kHeader);
  EXPECT_TRUE(p.view.busy);
  EXPECT_EQ(p.view.label(LabelId::kStatDat), "Receiving Associated Data");
  p.port.deliver(kMore);
  p.port.deliver(kLast);
  EXPECT_EQ(acks, 3);
  EXPECT_FALSE(p.view.busy);
  EXPECT_EQ(p.fs.durable(kFile),
            "\"02/05/1997\",\"2:53:13 PM\",3,1\r\n2,1,0\r\n1,2\r\n100\r\n1,2\r\n100\r\n");
  ASSERT_EQ(p.view.list.size(), 1u);
  EXPECT_EQ(p.prog.catalogue.FileStatus[0], 2);
  EXPECT_EQ(p.view.label(LabelId::kLblGenMsg), " 1 data files are available.");
}

TEST(LinkController, LineErrorsShowTheirTextSendNakAndEmptyTheBuffer) {
  const std::vector<std::pair<int, std::string>> expected = {
      {1001, "Break signal received"},
      {1008, "Receive buffer overflow"},
      {1011, "Unexpected error retrieving DCB for the port"},
      {1005, ""},
      {3, ""}};
  for (const auto& [code, text] : expected) {
    Program p;
    p.port.deliver("\x10\x02\x81");
    p.port.raise(code);
    EXPECT_EQ(p.port.written, text.empty() ? "" : "\x15") << code;
    EXPECT_EQ(p.prog.link.receivePath().RxBuffer().empty(), !text.empty()) << code;
    if (!text.empty()) {
      EXPECT_EQ(p.view.label(LabelId::kLblGenMsg),
                "Com error:  " + std::to_string(code) + "  " + text);
    }
  }
  // A terminator beyond the message array takes the same path with the receive code.
  Program p;
  p.port.deliver("\x10\x02" + std::string(1030, 'A') + "\x10\x04");
  EXPECT_EQ(p.port.written, "\x15");
  EXPECT_EQ(p.view.label(LabelId::kLblGenMsg).rfind("Com error:  2  ", 0), 0u);
}

TEST(Refusal, WatchdogEndsItsUploadWhileItsBoxIsOpenAndANewUploadSurvivesTheBox) {
  Program p;
  const std::string second = "/data/QV 05.Dec.06  14.05.33.dat";
  p.box.whileOpen = [&](const auto&) {
    p.box.whileOpen = nullptr;
    p.port.written.clear();
    p.port.deliver(kMore);  // the ended upload's data: refused, not written
    EXPECT_EQ(p.port.written, "\x15");
    EXPECT_EQ(p.view.label(LabelId::kLblGenMsg),
              "Data refused: the upload it belongs to has ended");
    p.port.deliver(headerFrame({.stamp = stamp(3626, 50733)}));
    p.port.deliver(kMore);
  };
  p.port.deliver(kHeader);
  p.port.deliver(kMore);
  p.port.deliver("\x10\x02\x81");  // a partial message, then silence
  p.timers.advance(10000);
  ASSERT_EQ(p.box.shown.size(), 1u);
  EXPECT_EQ(p.box.shown[0].text, "Upload of data is incomplete\n\rCheck connections and retry");
  EXPECT_EQ(p.box.shown[0].title, "RIviriro Error");
  EXPECT_EQ(p.fs.files.at(kFile), "\"02/05/1997\",\"2:53:13 PM\",3,1\r\n2,1,0\r\n1,2\r\n100\r\n");
  EXPECT_TRUE(p.prog.link.fileOpen());
  p.port.deliver(kLast);
  EXPECT_EQ(p.fs.files.at(second),
            "\"12/05/2006\",\"2:05:33 PM\",0,1\r\n1,1,0\r\n1,2\r\n100\r\n1,2\r\n100\r\n");
  EXPECT_EQ(p.port.written, "\x15\x06\x06\x06");
  p.timers.advance(60000);  // the watchdog fired once; the new upload ended normally
  EXPECT_EQ(p.box.shown.size(), 1u);
  EXPECT_FALSE(p.view.busy);
}

}  // namespace
}  // namespace kestrand::testing
