// The application shell against fakes: start procedure and load order, state after start-up,
// port selection, the general message label, close versus Exit, menus and small dialogs.

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "platform/fake/fake_timers.h"
#include "platform/fake/fakes.h"
#include "platform/fake/memory_file_system.h"

namespace kestrand::testing {
namespace {

using platform::LabelId;
using platform::fake::FakeDialogs;

const std::string kRawFile =
    "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n2,9,60\r\n1,0\r\n12.3\r\n12.345\r\n12.1\r\n";

class Shell {
 public:
  explicit Shell(platform::fake::MemoryFileSystem* customFs = nullptr)
      : fsRef(customFs ? *customFs : fs),
        win(app::Platform{view, box, fsRef, clock, timers, port}, dialogs, "/prog") {}

  platform::fake::FakeMainView view;
  platform::fake::ScriptedMessageBox box;
  platform::fake::MemoryFileSystem fs{"/prog"};
  platform::fake::MemoryFileSystem& fsRef;
  platform::fake::FakeClock clock;
  platform::fake::FakeTimerHub timers;
  platform::fake::FakeSerialPort port;
  FakeDialogs dialogs;
  app::MainWindow win;

  std::string file(const std::string& name) { return fsRef.files.at("/prog/" + name); }
  void put(const std::string& name, const std::string& content) {
    fsRef.files["/prog/" + name] = content;
  }
};

TEST(StartUp, SplashThenThreeSecondsByTheClockThenTheLoadedWindow) {
  Shell s;
  s.put("riviriro.inf", " 1\r\n");
  s.clock.set(2026, 12, 5, 10, 0, 0);
  ASSERT_TRUE(s.win.start());
  EXPECT_EQ(s.dialogs.events,
            (std::vector<std::string>{"splash shown: Version 3.2.15", "splash closed"}));
  const double waited = s.clock.now().secondsSinceMidnight - 36000.0;
  EXPECT_GE(waited, 3.0);
  EXPECT_LT(waited, 3.1);
  EXPECT_TRUE(s.view.shown);
  EXPECT_EQ(s.view.layout.caption, "Kestrand Data Upload");

  EXPECT_EQ(s.view.selectedTab(), 1);
  EXPECT_EQ(s.view.label(LabelId::kLblGenMsg), "No data received");
  EXPECT_EQ(s.view.label(LabelId::kLabel1), "Data Path: /prog");
  EXPECT_EQ(s.view.label(LabelId::kStatDat), "");
  EXPECT_FALSE(s.win.program().Timer1->enabled());
  EXPECT_EQ(s.win.program().Timer1->interval(), 2000);
  EXPECT_FALSE(s.win.program().tmrReadingData->running());
  EXPECT_FALSE(s.win.program().tmrShowGenMsg->running());
  EXPECT_EQ(s.win.program().ElapsedMode, 0);
  EXPECT_EQ(s.port.openedDevices, (std::vector<std::string>{"/dev/ttyS0"}));
  EXPECT_TRUE(s.view.checked("mnuCommPort", 1));
  EXPECT_TRUE(s.view.checked("mnuDate3", 0));
  EXPECT_TRUE(s.view.checked("Time1", 0));
  EXPECT_EQ(s.file("riviriro_date.inf"), "3\r\n");
  EXPECT_EQ(s.file("riviriro_time.inf"), "1\r\n");
  EXPECT_TRUE(s.box.shown.empty());
}

TEST(StartUp, StartShortlyBeforeMidnightStillEndsAboutThreeSecondsLater) {
  Shell s;
  s.put("riviriro.inf", " 1\r\n");
  s.clock.set(2026, 12, 5, 23, 59, 59.0);
  ASSERT_TRUE(s.win.start());
  EXPECT_EQ(s.clock.now().day, 6);
  // Compared in single precision, which near midnight resolves to about 8 ms.
  EXPECT_GE(s.clock.now().secondsSinceMidnight, 1.98);
  EXPECT_LT(s.clock.now().secondsSinceMidnight, 2.1);
}

TEST(StartUp, MissingPortFileBringsThePortDialogWhileTheSplashIsUpThenLoadGoesOn) {
  Shell s;
  s.put("QV 15.Jan.06  14.05.09.dat", kRawFile);
  bool listEmptyDuringDialog = false;
  s.dialogs.duringPortDialog = [&] { listEmptyDuringDialog = s.view.list.empty(); };
  ASSERT_TRUE(s.win.start());
  EXPECT_EQ(s.dialogs.events, (std::vector<std::string>{"splash shown: Version 3.2.15",
                                                        "port dialog", "splash closed"}));
  EXPECT_TRUE(listEmptyDuringDialog);
  // "Comm2" is selected when the dialog opens; Continue at once opens COM2.
  EXPECT_EQ(s.port.openedDevices, (std::vector<std::string>{"/dev/ttyS1"}));
  EXPECT_TRUE(s.view.checked("mnuCommPort", 2));
  EXPECT_EQ(s.view.list.size(), 1u);
}

TEST(StartUp, LoadStepsRunInTheirOrder) {
  // A raw file with a bad header makes the list step show a box; at that moment the earlier
  // steps must have run (formats saved, tab selected) and the port been opened.
  Shell s;
  s.put("riviriro.inf", " 3\r\n");
  s.put("qvbad.dat", "\"x\",\"y\",99,1\r\n1,1,0\r\n1,0\r\n1\r\n");
  bool ordered = false;
  s.box.whileOpen = [&](const auto&) {
    ordered = s.fsRef.exists("/prog/riviriro_date.inf") &&
              s.fsRef.exists("/prog/riviriro_time.inf") && s.view.selectedTab() == 1 &&
              s.port.isOpen() && s.view.label(LabelId::kLabel1) == "Data Path: /prog";
  };
  ASSERT_TRUE(s.win.start());
  ASSERT_EQ(s.box.shown.size(), 1u);
  EXPECT_TRUE(ordered);
  EXPECT_EQ(s.box.shown[0].text,
            "File: qvbad.dat\n\r\n\rAn error has been found in its header description.\n\rIt will "
            "not be included in the list of available files.");
}

TEST(StartUp, FailureOtherThanPortOrMissingFileEndsTheProgramAfterErrorOnOpen) {
  Shell s;
  s.put("riviriro.inf", " 2\r\n");
  s.fs.refuseCreate.insert("/prog/riviriro_date.inf");
  EXPECT_FALSE(s.win.start());
  ASSERT_EQ(s.box.shown.size(), 1u);
  EXPECT_EQ(s.box.shown[0].text.rfind("Error on Open!  ", 0), 0u);
  EXPECT_EQ(s.box.shown[0].title, "RIviriro Error");
  EXPECT_TRUE(s.view.quitRequested);
  // The window's close step ran: the port file was written.
  EXPECT_EQ(s.file("riviriro.inf"), " 2\r\n");
}

TEST(StartUp, MissingFileDuringALoadStepBringsThePortDialogAndRunsTheStepAgain) {
  struct FlakyList : platform::fake::MemoryFileSystem {
    FlakyList() : MemoryFileSystem("/prog") {}
    mutable int failures = 1;
    std::vector<std::string> list(const std::string& d, const std::string& p) const override {
      if (failures-- > 0) throw Error(ErrorKind::kFileNotFound, "File not found");
      return MemoryFileSystem::list(d, p);
    }
  } flaky;
  Shell s(&flaky);
  s.put("riviriro.inf", " 1\r\n");
  s.put("QV 15.Jan.06  14.05.09.dat", kRawFile);
  s.dialogs.portChoices = {4};
  ASSERT_TRUE(s.win.start());
  EXPECT_EQ(s.dialogs.events[1], "port dialog");
  EXPECT_EQ(s.win.PortNumber(), 4);
  EXPECT_EQ(s.view.list.size(), 1u);
}

TEST(PortSelection, SettingsFileWithLeadingBlankOpensThatPort) {
  Shell s;
  s.put("riviriro.inf", " 4\r\n");
  ASSERT_TRUE(s.win.start());
  EXPECT_EQ(s.port.openedDevices.back(), "/dev/ttyS3");
  EXPECT_TRUE(s.view.checked("mnuCommPort", 4));
  EXPECT_EQ(s.win.PortNumber(), 4);
}

TEST(PortSelection, UnreadableSettingsFilesBringTheDialog) {
  for (const std::string content : {"", "abc\r\n", "\r\n"}) {
    Shell s;
    s.put("riviriro.inf", content);
    s.dialogs.portChoices = {5};
    ASSERT_TRUE(s.win.start());
    EXPECT_EQ(s.dialogs.events[1], "port dialog") << "content '" << content << "'";
    EXPECT_EQ(s.port.openedDevices.back(), "/dev/ttyS4");
  }
}

TEST(PortSelection, NumberOutsideOneToFiveIsRefusedButKeptForSaving) {
  Shell s;
  s.put("riviriro.inf", " 9\r\n");
  ASSERT_TRUE(s.win.start());
  ASSERT_EQ(s.box.shown.size(), 1u);
  EXPECT_EQ(s.box.shown[0].text,
            "Unable to open the selected comm port.  Reselect comm port or check system "
            "configuration.");
  EXPECT_TRUE(s.box.shown[0].warning);
  for (int k = 1; k <= 5; ++k) EXPECT_FALSE(s.view.checked("mnuCommPort", k));
  s.view.click("close");
  EXPECT_EQ(s.file("riviriro.inf"), " 9\r\n");
}

TEST(PortSelection, MenuMovesThePortAndTheCheckMark) {
  Shell s;
  s.put("riviriro.inf", " 1\r\n");
  ASSERT_TRUE(s.win.start());
  s.view.click("mnuCommPort", 3);
  EXPECT_EQ(s.port.openedDevices, (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyS2"}));
  EXPECT_TRUE(s.port.isOpen());
  EXPECT_FALSE(s.view.checked("mnuCommPort", 1));
  EXPECT_TRUE(s.view.checked("mnuCommPort", 3));
  EXPECT_EQ(s.win.PortNumber(), 3);
}

TEST(PortSelection, PortThatWillNotOpenLeavesNoMarkAndThePreviousNumber) {
  Shell s;
  s.put("riviriro.inf", " 1\r\n");
  ASSERT_TRUE(s.win.start());
  s.port.refused = {"/dev/ttyS4"};
  s.view.click("mnuCommPort", 5);
  ASSERT_EQ(s.box.shown.size(), 1u);
  for (int k = 1; k <= 5; ++k) EXPECT_FALSE(s.view.checked("mnuCommPort", k));
  EXPECT_FALSE(s.port.isOpen());
  EXPECT_EQ(s.win.PortNumber(), 1);
  s.view.click("close");
  EXPECT_EQ(s.file("riviriro.inf"), " 1\r\n");
}

TEST(PortSelection, PortLinkInTheDataDirectoryIsPreferred) {
  Shell s;
  s.put("riviriro.inf", " 2\r\n");
  s.put("COM2", "");
  ASSERT_TRUE(s.win.start());
  EXPECT_EQ(s.port.openedDevices.back(), "/prog/COM2");
}

TEST(ShutDown, CloseWritesThePortFileAndExitLeavesItAsItWas) {
  Shell closing;
  closing.put("riviriro.inf", " 1\r\n");
  ASSERT_TRUE(closing.win.start());
  closing.view.click("mnuCommPort", 3);
  closing.view.click("close");
  EXPECT_EQ(closing.file("riviriro.inf"), " 3\r\n");
  EXPECT_TRUE(closing.view.quitRequested);

  Shell exiting;
  exiting.put("riviriro.inf", " 1\r\n");
  ASSERT_TRUE(exiting.win.start());
  exiting.view.click("mnuCommPort", 3);
  exiting.view.click("mnuExit");
  EXPECT_EQ(exiting.file("riviriro.inf"), " 1\r\n");
  EXPECT_TRUE(exiting.view.quitRequested);
}

TEST(GeneralMessage, SecondMessageStaysFiveSecondsAfterItsOwnCall) {
  Shell s;
  s.put("riviriro.inf", " 1\r\n");
  ASSERT_TRUE(s.win.start());
  auto& g = s.win.program().genMsg;
  g.ShowGeneralMsg("first");
  s.timers.advance(3000);
  g.ShowGeneralMsg("second");
  s.timers.advance(4999);
  EXPECT_EQ(s.view.label(LabelId::kLblGenMsg), "second");
  s.timers.advance(1);
  EXPECT_EQ(s.view.label(LabelId::kLblGenMsg), "");
  EXPECT_FALSE(s.win.program().tmrShowGenMsg->enabled());
  EXPECT_EQ(s.win.program().tmrShowGenMsg->interval(), 0);

  // A direct write while a clear is pending is cleared with it; without one it stays.
  g.ShowGeneralMsg("third");
  s.timers.advance(1000);
  g.write("direct");
  s.timers.advance(4000);
  EXPECT_EQ(s.view.label(LabelId::kLblGenMsg), "");
  g.write("stays");
  s.timers.advance(60000);
  EXPECT_EQ(s.view.label(LabelId::kLblGenMsg), "stays");
}

TEST(Menus, CaptionsAndOrderOfTheMenuBar) {
  const platform::WindowLayout l = app::mainWindowLayout();
  ASSERT_EQ(l.menuBar.size(), 5u);
  EXPECT_EQ(l.menuBar[0].caption, "&File");
  std::vector<std::string> file;
  for (const auto& e : l.menuBar[0].items)
    file.push_back(e.isSeparator() ? "-" : e.name + " " + e.caption);
  EXPECT_EQ(file, (std::vector<std::string>{"mnuopen &Open", "-", "mnuSave &Save as", "-",
                                            "mnuExit E&xit"}));
  EXPECT_EQ(l.menuBar[1].caption, "&Communication");
  ASSERT_EQ(l.menuBar[1].items.size(), 1u);
  EXPECT_EQ(l.menuBar[1].items[0].caption, "Port");
  ASSERT_EQ(l.menuBar[1].items[0].items.size(), 5u);
  EXPECT_EQ(l.menuBar[1].items[0].items[4].caption, "Comm 5");
  EXPECT_EQ(l.menuBar[2].caption, "&Date Format");
  ASSERT_EQ(l.menuBar[2].items.size(), 11u);
  EXPECT_EQ(l.menuBar[2].items[6].caption, "dd-MMM-yy");
  EXPECT_TRUE(l.menuBar[2].items[9].isSeparator());
  EXPECT_EQ(l.menuBar[2].items[10].name, "mnuDate_Help");
  EXPECT_EQ(l.menuBar[3].caption, "&Time Format");
  ASSERT_EQ(l.menuBar[3].items.size(), 6u);
  EXPECT_EQ(l.menuBar[3].items[0].caption, "h:mm:ss       AM/PM");
  EXPECT_EQ(l.menuBar[3].items[3].name, "time4");
  EXPECT_EQ(l.menuBar[4].caption, "&About");
  EXPECT_EQ(l.tabs, (std::vector<std::string>{"Data", "Incoming Data"}));
}

TEST(Dialogs, AboutAndHelpTexts) {
  Shell s;
  s.put("riviriro.inf", " 1\r\n");
  ASSERT_TRUE(s.win.start());
  s.view.click("mnuAbout");
  EXPECT_EQ(s.dialogs.events.back(), "about: Rev.  3.2.15");
  s.view.click("mnuDate_Help");
  EXPECT_EQ(s.dialogs.events.back(),
            "help: Date  Format  Help|Goto Regional Settings Window  under Control Panel."
            "                Select the Date Tab.              Select the setting that matches  "
            "Short date style:           ");
  s.view.click("Time_help");
  EXPECT_EQ(s.dialogs.events.back(),
            "help: Time  Format  Help|Goto Regional Settings Window  under Control Panel."
            "                Select the Time Tab.              Select the setting that matches  "
            "Time style:           ");
}

TEST(Menus, FormatItemsMoveTheCheckMarkAndSave) {
  Shell s;
  s.put("riviriro.inf", " 1\r\n");
  ASSERT_TRUE(s.win.start());
  s.view.click("mnuDate7");
  EXPECT_TRUE(s.view.checked("mnuDate7", 0));
  EXPECT_FALSE(s.view.checked("mnuDate3", 0));
  EXPECT_EQ(s.file("riviriro_date.inf"), "7\r\n");
  s.view.click("time4");
  EXPECT_TRUE(s.view.checked("time4", 0));
  EXPECT_EQ(s.file("riviriro_time.inf"), "4\r\n");
}

}  // namespace
}  // namespace kestrand::testing

namespace kestrand::testing {
namespace {

TEST(FileList, ViewWithoutSelectionAsksForOneAndWithOneShowsItsStatus) {
  Shell s;
  s.put("riviriro.inf", " 1\r\n");
  s.put("QV 15.Jan.06  14.05.09.dat", kRawFile);
  ASSERT_TRUE(s.win.start());
  ASSERT_EQ(s.view.list.size(), 1u);
  EXPECT_EQ(s.view.list[0],
            "01/15/2006 02:05:09 PM   Probe QV-1100   Continuous   Log Rate  2   Units V/m      "
            "QV 15.Jan.06  14.05.09.dat");
  s.view.click("cmdView");
  ASSERT_EQ(s.box.shown.size(), 1u);
  EXPECT_EQ(s.box.shown[0].text, "Please select an item from the list to view.");
  EXPECT_EQ(s.view.selectedTab(), 1);
  s.view.listSelect(0);
  s.view.click("List1");
  EXPECT_EQ(s.view.label(LabelId::kStatDat),
            "Status for Header # 1 = Complete block of continuous data");
}

}  // namespace
}  // namespace kestrand::testing
