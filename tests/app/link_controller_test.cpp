// The program's link on the fake port and window: line errors, a lost port and its reopening
// (also after Delete), a COMn link taking over from its fallback device, the device named, the
// upload progress line, and the link's boxes shown after its handler.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/app/shell.h"
#include "tests/fakes/memory_file_system.h"
#include "tests/link/frames.h"
#include "tests/support/program_rig.h"

namespace kestrand::testing {
namespace {

using ports::LabelId;
using C = ports::Command;
using namespace std::string_literals;

const std::string kHeader = "\x10\x01\x01\x23\x45\x67\x34\x80\x00\x01\x00\x00\x85\x10\x03"s;
const std::string kMore = "\x10\x02\x81\x02\x23\xE8\x8E\x10\x17"s;
const std::string kLast = "\x10\x02\x81\x02\x23\xE8\x8E\x10\x04"s;
constexpr int kPortLost = 2001;

// The program's receive side on an in-memory data directory.
struct Receiver : MemoryDataDirectory, ReceiveRig {
  Receiver() : ReceiveRig(fs, "/data") {}
};

// The desktop program's window, started with Comm 1 and no COM1 link (so /dev/ttyS0).
struct Window : Shell {
  Window() { started(); }
};

TEST(LinkController, LineErrorsShowTheirTextSendNakAndEmptyTheBuffer) {
  const std::vector<std::pair<int, std::string>> expected = {
      {1001, "Break signal received"},
      {1011, "Unexpected error retrieving DCB for the port"},
      {1005, ""},
      {3, ""}};
  for (const auto& [code, text] : expected) {
    Receiver p;
    p.port.deliver("\x10\x02\x81");
    p.port.raise(code);
    EXPECT_EQ(p.port.written, text.empty() ? "" : "\x15") << code;
    EXPECT_EQ(p.prog.link.meterLink().receivePath().RxBuffer().empty(), !text.empty()) << code;
    EXPECT_EQ(p.view.label(LabelId::kLblGenMsg),
              text.empty() ? "" : "Com error:  " + std::to_string(code) + "  " + text);
  }
  // A terminator beyond the message array takes the same path with the receive code.
  Receiver p;
  p.port.deliver("\x10\x02" + std::string(1030, 'A') + "\x10\x04");
  EXPECT_EQ(p.port.written, "\x15");
  EXPECT_EQ(p.view.label(LabelId::kLblGenMsg).rfind("Com error:  2  ", 0), 0u);
}

TEST(LinkController, BoxesShowAfterTheLinksHandlerInTurnAndTheLinkGoesOnWhileOneIsOpen) {
  // As a second header arrives, the first upload's file cannot be closed and the second's not
  // created: both boxes wait until the handler has returned. While the first is open a third
  // upload is stored and a fourth fails; every box is shown, in turn.
  Receiver l;
  l.port.deliver(kHeader);
  l.fs.refuseSync.insert("/data/QV 05.Feb.97  14.53.13.dat");
  l.fs.refuseCreate.insert("/data/QV 05.Dec.06  16.00.00.dat");
  l.port.deliver(headerFrame({.stamp = stamp(3626, 57600)}));
  EXPECT_TRUE(l.box.shown.empty());
  l.box.whileOpen = [&](const auto&) {
    l.box.whileOpen = nullptr;
    l.port.deliver(headerFrame({.stamp = stamp(3626, 50733)}));
    l.port.deliver(kLast);
    l.fs.refuseCreate.insert("/data/QV 05.Dec.06  18.00.00.dat");
    l.port.deliver(headerFrame({.stamp = stamp(3626, 64800)}));
    EXPECT_EQ(l.box.shown.size(), 1u);
  };
  l.timers.advance(1);
  ASSERT_EQ(l.box.shown.size(), 3u);
  EXPECT_NE(l.box.shown[1].text.find("16.00.00"), std::string::npos);
  EXPECT_NE(l.box.shown[2].text.find("18.00.00"), std::string::npos);
  EXPECT_EQ(l.fs.readAll("/data/QV 05.Dec.06  14.05.33.dat"),
            "\"12/05/2006\",\"2:05:33 PM\",0,1\r\n1,1,0\r\n1,2\r\n100\r\n");
  EXPECT_EQ(l.port.written.back(), '\x15');  // the header whose file failed is refused
}

TEST(PortLost, UploadCutOffShowsTheBoxOnceAndNeitherDeleteStopsTheReopening) {
  const std::string incomplete = "Upload of data is incomplete\n\rCheck connections and retry";
  for (C del : {C::kDelete, C::kDeleteAll}) {
    Window w;
    const auto boxes = [&] {
      w.timers.advance(1);  // the link's boxes show once its handler has returned
      return std::count_if(w.box.shown.begin(), w.box.shown.end(),
                           [&](const auto& b) { return b.text == incomplete; });
    };
    w.port.deliver(kHeader);
    w.port.deliver(kMore);
    w.port.refused = {"/dev/ttyS0"};
    w.port.raise(kPortLost);
    EXPECT_EQ(boxes(), 1);
    EXPECT_EQ(w.view.label(LabelId::kStatDat), "Port lost: /dev/ttyS0");
    EXPECT_EQ(w.view.label(LabelId::kUploadProgress),
              "Upload incomplete: 1 records, 24 bytes in 0:00:00");
    w.timers.advance(20000);  // retried in vain; the watchdog adds nothing
    w.view.listSelect(0);
    w.box.answerNext(ports::Answer::kYes);
    w.view.click(del);
    EXPECT_TRUE(w.view.list.empty());
    w.port.refused.clear();  // the device is back
    w.timers.advance(1000);
    w.port.raise(kPortLost);  // lost again, with no upload running: no box
    w.timers.advance(1000);
    w.port.written.clear();
    w.port.deliver(kHeader);
    EXPECT_EQ(w.port.written, "\x06");
    EXPECT_EQ(boxes(), 1);
  }
}

TEST(Port, ComLinkTakesOverFromItsFallbackBetweenUploadsAndTheDeviceIsNamed) {
  Window w;
  EXPECT_EQ(w.view.label(LabelId::kPortName), "/dev/ttyS0");
  w.port.deliver(kHeader);
  w.fs.files["/prog/COM1"] = "";
  w.port.links["/prog/COM1"] = "/dev/ttyUSB0";
  w.timers.advance(1000);  // not in the middle of an upload
  EXPECT_EQ(w.port.openedDevices.back(), "/dev/ttyS0");
  w.port.deliver(kLast);
  w.timers.advance(1000);
  EXPECT_EQ(w.port.openedDevices.back(), "/prog/COM1");
  EXPECT_EQ(w.view.label(LabelId::kPortName), "/dev/ttyUSB0 via COM1");
  EXPECT_FALSE(w.win.program().link.reopening());  // nothing left to watch
  // A port that will not open names the device it tried, after the usual text.
  w.port.refused = {"/dev/ttyS2"};
  w.view.click(C::kCommPort, 3);
  EXPECT_EQ(w.box.shown.back().text,
            "Unable to open the selected comm port.  Reselect comm port or check system "
            "configuration.\n\rDevice: /dev/ttyS2");
  EXPECT_EQ(w.view.label(LabelId::kPortName), "");
  // No item is checked, and the number before stays for the close step to save.
  EXPECT_FALSE(w.view.checked(C::kCommPort, 1) || w.view.checked(C::kCommPort, 3));
  w.view.click(C::kClose);
  EXPECT_EQ(w.file("riviriro.inf"), " 1\r\n");
}

TEST(Progress, RecordsBytesAndTimeAtMostOnceASecondThenTheTotal) {
  Receiver p;
  const auto line = [&] { return p.view.label(LabelId::kUploadProgress); };
  p.port.deliver(kHeader);
  EXPECT_EQ(line(), "Receiving: 0 records, 15 bytes, 0:00:00 since the header");
  p.clock.advanceSeconds(0.5);
  p.port.deliver(kMore);
  EXPECT_EQ(line(), "Receiving: 0 records, 15 bytes, 0:00:00 since the header");
  p.clock.advanceSeconds(0.5);
  p.port.deliver(kMore);
  EXPECT_EQ(line(), "Receiving: 2 records, 33 bytes, 0:00:01 since the header, 33 bytes/s");
  p.clock.advanceSeconds(3723.0);
  p.port.deliver(kLast);
  EXPECT_EQ(line(), "Received: 3 records, 42 bytes in 1:02:04, 0 bytes/s");
  EXPECT_EQ(p.view.label(LabelId::kStatDat), "");  // the status label keeps its own texts
  // Past "Z": what was stored, and what was sent and not stored.
  link::UploadProgress past;
  past.records = 440100;
  past.refused = 1;
  past.end = link::UploadEnd::kNoFileName;
  EXPECT_EQ(app::uploadProgressText(past),
            "Upload incomplete: 440100 records stored, 1 sent and not stored, 0 bytes in 0:00:00");
}

}  // namespace
}  // namespace kestrand::testing
