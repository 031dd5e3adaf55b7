// The application shell against fakes: start procedure and load order, state after start-up,
// port selection, the general message label, menus, closing, and the file list.

#include <gtest/gtest.h>

#include "tests/app/shell.h"
#include "tests/link/frames.h"

namespace kestrand::testing {
namespace {

using ports::LabelId;
using C = ports::Command;
using ports::Answer;

const std::string kRawFile =
    "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n2,9,60\r\n1,0\r\n12.3\r\n12.345\r\n12.1\r\n";

TEST(StartUp, SplashForThreeSecondsByTheClockThenTheLoadedWindow) {
  // From 10:00:00, and from 23:59:59 (midnight falls within the wait); the timer runs ahead of a
  // clock that moves only when told.
  for (const double later : {0.0, 50399.0}) {
    Shell s;
    s.timers.onTimePassed = nullptr;
    s.clock.advanceSeconds(later);
    s.win.start();
    s.timers.advance(60000);
    s.clock.advanceSeconds(2.9);
    s.timers.advance(60000);
    EXPECT_EQ(s.dialogs.events, (std::vector<std::string>{"splash shown: Version 3.2.15"}));
    EXPECT_FALSE(s.view.shown);
    s.clock.advanceSeconds(0.1);
    s.timers.advance(3000);
    EXPECT_EQ(s.dialogs.events,
              (std::vector<std::string>{"splash shown: Version 3.2.15", "splash closed"}));
    EXPECT_TRUE(s.view.shown);
  }
  Shell s;
  ASSERT_TRUE(s.started());
  EXPECT_EQ(s.view.selectedTab(), 1);
  EXPECT_EQ(s.view.label(LabelId::kLblGenMsg), "No data received");
  EXPECT_EQ(s.view.label(LabelId::kLabel1), "Data Path: /prog");
  EXPECT_EQ(s.port.openedDevices, (std::vector<std::string>{"/dev/ttyS0"}));
  EXPECT_TRUE(s.view.checked(C::kCommPort, 1));
  EXPECT_TRUE(s.view.checked(C::kDateFormat, 3));
  EXPECT_TRUE(s.view.checked(C::kTimeFormat, 1));
  EXPECT_TRUE(s.box.shown.empty());
}

TEST(StartUp, MissingPortFileBringsThePortDialogWhileTheSplashIsUpThenLoadGoesOn) {
  Shell s("");
  s.put("QV 15.Jan.06  14.05.09.dat", kRawFile);
  bool listEmptyDuringDialog = false;
  s.dialogs.duringPortDialog = [&] { listEmptyDuringDialog = s.view.list.empty(); };
  ASSERT_TRUE(s.started());
  EXPECT_EQ(s.dialogs.events, (std::vector<std::string>{"splash shown: Version 3.2.15",
                                                        "port dialog", "splash closed"}));
  EXPECT_TRUE(listEmptyDuringDialog);
  // "Comm2" is selected when the dialog opens; Continue at once opens COM2.
  EXPECT_EQ(s.port.openedDevices, (std::vector<std::string>{"/dev/ttyS1"}));
  EXPECT_TRUE(s.view.checked(C::kCommPort, 2));
  EXPECT_EQ(s.view.list.size(), 1u);

  // Where ports exist, the first is offered: here Comm 3's device, before Comm 4's link.
  Shell t("");
  t.fs.files["/dev/ttyS2"] = "";
  t.put("COM4", "");
  ASSERT_TRUE(t.started());
  EXPECT_EQ(t.port.openedDevices, (std::vector<std::string>{"/dev/ttyS2"}));
}

TEST(StartUp, LoadStepsRunInTheirOrder) {
  // A raw file with a bad header makes the list step show a box; at that moment the earlier
  // steps must have run (formats saved, tab selected) and the port been opened.
  Shell s(" 3\r\n");
  s.put("qvbad.dat", "\"x\",\"y\",99,1\r\n1,1,0\r\n1,0\r\n1\r\n");
  bool ordered = false;
  s.box.whileOpen = [&](const auto&) {
    ordered = s.fs.exists("/prog/riviriro_date.inf") && s.fs.exists("/prog/riviriro_time.inf") &&
              s.view.selectedTab() == 1 && s.port.isOpen() &&
              s.view.label(LabelId::kLabel1) == "Data Path: /prog";
  };
  ASSERT_TRUE(s.started());
  ASSERT_EQ(s.box.shown.size(), 1u);
  EXPECT_TRUE(ordered);
}

TEST(StartUp, FailureOtherThanPortOrMissingFileEndsTheProgramAfterErrorOnOpen) {
  Shell s(" 2\r\n");
  s.fs.refuseCreate.insert("/prog/riviriro_date.inf");
  EXPECT_FALSE(s.started());
  ASSERT_EQ(s.box.shown.size(), 1u);
  EXPECT_EQ(s.box.shown[0].text.rfind("Error on Open!  ", 0), 0u);
  EXPECT_EQ(s.box.shown[0].title, "RIviriro Error");
  EXPECT_TRUE(s.view.quitRequested);
  // The window's close step ran: the port file was written.
  EXPECT_EQ(s.file("riviriro.inf"), " 2\r\n");
}

TEST(StartUp, MissingFileDuringALoadStepBringsThePortDialogAndRunsTheStepAgain) {
  Shell s;
  s.put("QV 15.Jan.06  14.05.09.dat", kRawFile);
  s.fs.refuseList.insert("/prog");  // until the port dialog has been
  s.dialogs.duringPortDialog = [&] { s.fs.refuseList.clear(); };
  s.dialogs.portChoices = {4};
  ASSERT_TRUE(s.started());
  EXPECT_EQ(s.dialogs.events[1], "port dialog");
  EXPECT_EQ(s.win.program().link.PortNumber(), 4);
  EXPECT_EQ(s.view.list.size(), 1u);
}

TEST(PortSelection, NumberOutsideOneToFiveIsRefusedButKeptForSaving) {
  Shell s(" 9\r\n");
  ASSERT_TRUE(s.started());
  ASSERT_EQ(s.box.shown.size(), 1u);
  EXPECT_EQ(s.box.shown[0].text,
            "Unable to open the selected comm port.  Reselect comm port or check system "
            "configuration.");
  EXPECT_TRUE(s.box.shown[0].warning);
  for (int k = 1; k <= 5; ++k) EXPECT_FALSE(s.view.checked(C::kCommPort, k));
  s.view.click(C::kClose);
  EXPECT_EQ(s.file("riviriro.inf"), " 9\r\n");
}

TEST(GeneralMessage, SecondMessageStaysFiveSecondsAfterItsOwnCall) {
  Shell s;
  ASSERT_TRUE(s.started());
  auto& g = s.win.program().present.genMsg();
  g.ShowGeneralMsg("first");
  s.timers.advance(3000);
  g.ShowGeneralMsg("second");
  s.timers.advance(4999);
  EXPECT_EQ(s.view.label(LabelId::kLblGenMsg), "second");
  s.timers.advance(1);
  EXPECT_EQ(s.view.label(LabelId::kLblGenMsg), "");
  g.write("direct");  // the clear fires once per message
  s.timers.advance(60000);
  EXPECT_EQ(s.view.label(LabelId::kLblGenMsg), "direct");
}

TEST(Menus, FormatItemsReachTheirChoices) {
  // How a choice moves the marks is the format preferences' own test.
  Shell s;
  ASSERT_TRUE(s.started());
  s.view.click(C::kDateFormat, 7);
  s.view.click(C::kTimeFormat, 4);
  EXPECT_EQ(s.file("riviriro_date.inf") + s.file("riviriro_time.inf"), "7\r\n4\r\n");
}

TEST(Menus, OnlyTheCloseBoxSavesThePortPickedFromTheMenu) {
  for (const C end : {C::kClose, C::kExit}) {
    Shell s(" 2\r\n");
    ASSERT_TRUE(s.started());
    s.view.click(C::kCommPort, 4);  // the check mark moves at once; nothing is saved yet
    EXPECT_TRUE(s.view.checked(C::kCommPort, 4));
    EXPECT_FALSE(s.view.checked(C::kCommPort, 2));
    EXPECT_EQ(s.port.openedDevices.back(), "/dev/ttyS3");
    EXPECT_EQ(s.file("riviriro.inf"), " 2\r\n");
    s.view.click(end);
    EXPECT_TRUE(s.win.ended() && s.view.quitRequested);
    EXPECT_EQ(s.file("riviriro.inf"), end == C::kClose ? " 4\r\n" : " 2\r\n");
  }
}

TEST(FileList, ListAtStartViewAnEntryThenDeleteIt) {
  Shell s;
  for (const char* name : {"qv2.dat", "QV 15.Jan.06  14.05.09.dat", "qv3.dat"})
    s.put(name, kRawFile);
  for (const char* notes : {"qv3.notes", "QV 15.Jan.06  14.05.09.notes"}) s.put(notes, "Site: x");
  ASSERT_TRUE(s.started());
  ASSERT_EQ(s.view.list.size(), 3u);
  s.view.click(C::kView);
  EXPECT_EQ(s.box.shown.at(0).text, "Please select an item from the list to view.");
  EXPECT_EQ(s.view.selectedTab(), 1);

  for (const C viewing : {C::kListDoubleClick, C::kListEnter}) {
    s.view.selectTab(1);
    s.view.listSelect(0);
    s.view.click(viewing);
    EXPECT_EQ(s.view.selectedTab(), 0);
  }
  EXPECT_EQ(s.view.label(LabelId::kStatDat), "Table updated");
  EXPECT_EQ(s.view.cell(1, 2), " 12.1");

  // Entry 0 of three goes; the others move up with their statuses and numbers. An upload under
  // way goes on: its file stays open.
  s.port.deliver(hex("10 01 01 23 45 67 34 80 00 01 00 00 85 10 03"));
  ASSERT_EQ(s.fs.openFiles, 1);
  s.win.program().files.catalogue.FileStatus[1] = store::kHeaderOnly;
  s.box.answerNext(Answer::kYes);
  s.view.click(C::kDelete);
  EXPECT_EQ(s.box.shown.back().text,
            "Delete header # 1 and file QV 15.Jan.06  14.05.09.dat - are you sure?");
  EXPECT_FALSE(s.fs.exists("/prog/QV 15.Jan.06  14.05.09.dat"));
  EXPECT_FALSE(s.fs.exists("/prog/QV 15.Jan.06  14.05.09.notes"));  // its notes went with it
  EXPECT_EQ(s.fs.openFiles, 1);
  EXPECT_EQ(s.win.program().files.catalogue.FileNames[1], "qv3.dat");
  s.view.listSelect(0);
  s.view.click(C::kListClick);
  EXPECT_EQ(s.view.label(LabelId::kStatDat),
            "Status for Header # 1 = Header received, Data not complete");
  EXPECT_EQ(s.view.cell(1, 2), " 12.1");  // the table on display stays

  // "No" deletes nothing; the single delete clears both labels whatever the answer.
  s.view.setLabel(LabelId::kLblGenMsg, "x");
  s.view.click(C::kDelete);
  s.view.click(C::kDeleteAll);
  EXPECT_EQ(s.view.label(LabelId::kLblGenMsg) + s.view.label(LabelId::kStatDat), "");
  EXPECT_EQ(s.view.list.size(), 2u);
  // A file that cannot be removed keeps its entry; the others go.
  s.fs.refuseRemove.insert("/prog/qv3.dat");
  s.box.answerNext(Answer::kYes);
  s.view.click(C::kDeleteAll);
  EXPECT_EQ(s.box.shown.back().text.rfind("The file qv3.dat could not be deleted.", 0), 0u);
  EXPECT_EQ(s.view.list.size(), 1u);
  EXPECT_FALSE(s.fs.exists("/prog/qv2.dat"));  // without notes, and without a word about them
  EXPECT_EQ(s.box.shown.size(), 6u);
  EXPECT_TRUE(s.fs.exists("/prog/qv3.notes"));  // the notes of a file that stays stay

  s.view.listSelect(-1);
  s.view.click(C::kDelete);
  EXPECT_EQ(s.box.shown.back().text, "You must first highlight a header to delete");
  s.fs.refuseRemove.clear();
  for (int emptied = 0; emptied < 2; ++emptied) {  // the second on an empty list
    s.view.setLabel(LabelId::kStatDat, "x");
    s.box.answerNext(Answer::kYes);
    s.view.click(C::kDeleteAll);
    EXPECT_EQ(s.box.shown.back().title, "Delete All");
    EXPECT_EQ(s.view.label(LabelId::kStatDat), "");
  }
  EXPECT_TRUE(s.view.list.empty());
}

}  // namespace
}  // namespace kestrand::testing
