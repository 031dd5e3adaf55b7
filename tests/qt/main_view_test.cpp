#include "platform/qt/qt_main_view.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <functional>

#include "modal.h"

namespace kestrand::platform::qt {
namespace {

using test::child;

struct Recorder : MainWindowEvents {
  std::vector<std::pair<std::string, int>> got;
  std::function<void(const std::string&, int)> react;
  void command(const std::string& control, int index) override {
    got.emplace_back(control, index);
    if (react) react(control, index);
  }
};

WindowLayout smallLayout() {
  WindowLayout l;
  l.caption = "Caption \xB2";
  l.tabs = {"First", "Second"};
  l.infoFrameCaption = "Info";
  l.buttons = {{"cmdA", "Button A", 0}, {"cmdB", "Button B", 1}};
  const MenuEntry sep{};
  MenuEntry array{"sub", "Sub", {}};
  for (int k = 1; k <= 3; ++k) array.items.push_back({"arr", "Item " + std::to_string(k), {}});
  l.menuBar = {{"top", "&Top", {{"one", "&One", {}}, sep, array, {"two", "T&wo", {}}}},
               {"bare", "&Bare", {}}};
  return l;
}

QAction* action(const QtMainView& view, const char* name, int index) {
  return test::menuItem(view.window(), name, index);
}

struct Built {
  QtMainView view;
  Recorder events;
  Built() { view.build(smallLayout(), events); }
};

TEST(QtMainView, BuildsCaptionTabsFrameAndButtonsFromTheLayout) {
  Built b;
  QMainWindow* w = b.view.window();
  EXPECT_EQ(w->windowTitle(), QString::fromUtf8("Caption \u00B2"));
  auto* tabs = child<QTabWidget>(w, "SSTab1");
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(0), "First");
  EXPECT_EQ(tabs->tabText(1), "Second");
  EXPECT_EQ(child<QGroupBox>(w, "fraInfo")->title(), "Info");
  // Each button lies on the tab the layout names.
  auto* a = child<QPushButton>(w, "cmdA");
  auto* bb = child<QPushButton>(w, "cmdB");
  EXPECT_EQ(a->text(), "Button A");
  EXPECT_TRUE(tabs->widget(0)->isAncestorOf(a));
  EXPECT_TRUE(tabs->widget(1)->isAncestorOf(bb));
  // The information labels lie in the frame, the list and link labels on tab 1, the general
  // message on the window outside the tabs.
  for (const char* name : {"lblStartDate", "lblEndDate", "lblStartTime", "lblEndTime",
                           "lblSampleCnt", "lblProbeModel", "lblUnits", "MAVG_mess"}) {
    EXPECT_TRUE(child<QGroupBox>(w, "fraInfo")->isAncestorOf(child<QLabel>(w, name))) << name;
  }
  EXPECT_TRUE(tabs->widget(1)->isAncestorOf(child<QListWidget>(w, "List1")));
  EXPECT_TRUE(tabs->widget(1)->isAncestorOf(child<QLabel>(w, "StatDat")));
  EXPECT_TRUE(tabs->widget(1)->isAncestorOf(child<QLabel>(w, "Label1")));
  EXPECT_FALSE(tabs->isAncestorOf(child<QLabel>(w, "lblGenMsg")));
  EXPECT_FALSE(tabs->isAncestorOf(child<QProgressBar>(w, "ProgressBar2")));
  EXPECT_TRUE(child<QListWidget>(w, "List1")->font().fixedPitch() ||
              QFontInfo(child<QListWidget>(w, "List1")->font()).fixedPitch());
}

TEST(QtMainView, ButtonsReportTheirNames) {
  Built b;
  child<QPushButton>(b.view.window(), "cmdB")->click();
  child<QPushButton>(b.view.window(), "cmdA")->click();
  using C = std::pair<std::string, int>;
  EXPECT_EQ(b.events.got, (std::vector<C>{{"cmdB", 0}, {"cmdA", 0}}));
}

TEST(QtMainView, MenusFollowTheLayoutAndNumberItemArraysFromOne) {
  Built b;
  const QList<QAction*> top = b.view.window()->menuBar()->actions();
  ASSERT_EQ(top.size(), 2);
  EXPECT_EQ(top[0]->text(), "&Top");
  ASSERT_NE(top[0]->menu(), nullptr);
  EXPECT_EQ(top[1]->text(), "&Bare");
  EXPECT_EQ(top[1]->menu(), nullptr);
  QStringList items;
  for (QAction* a : top[0]->menu()->actions()) {
    items << (a->isSeparator() ? "-" : a->menu() != nullptr ? a->text() + ">" : a->text());
  }
  EXPECT_EQ(items, QStringList({"&One", "-", "Sub>", "T&wo"}));

  action(b.view, "arr", 2)->trigger();
  action(b.view, "one", 0)->trigger();
  action(b.view, "arr", 3)->trigger();
  top[1]->trigger();
  using C = std::pair<std::string, int>;
  EXPECT_EQ(b.events.got, (std::vector<C>{{"arr", 2}, {"one", 0}, {"arr", 3}, {"bare", 0}}));
  EXPECT_EQ(action(b.view, "arr", 1)->text(), "Item 1");
}

TEST(QtMainView, CheckMarksBelongToTheLogic) {
  Built b;
  b.view.setChecked("arr", 2, true);
  EXPECT_TRUE(b.view.checked("arr", 2));
  EXPECT_FALSE(b.view.checked("arr", 1));
  EXPECT_TRUE(action(b.view, "arr", 2)->isChecked());
  EXPECT_FALSE(action(b.view, "arr", 1)->isChecked());

  // A click reports the item but moves no mark by itself.
  action(b.view, "arr", 2)->trigger();
  action(b.view, "arr", 1)->trigger();
  EXPECT_TRUE(action(b.view, "arr", 2)->isChecked());
  EXPECT_FALSE(action(b.view, "arr", 1)->isChecked());

  b.view.setChecked("arr", 2, false);
  EXPECT_FALSE(action(b.view, "arr", 2)->isChecked());
  EXPECT_FALSE(b.view.checked("arr", 2));
  b.view.setChecked("nothing", 0, true);  // no such item: ignored
  EXPECT_FALSE(b.view.checked("nothing", 0));
}

TEST(QtMainView, LabelsShowLineBreaksButGiveBackTheLogicsText) {
  Built b;
  b.view.setLabel(LabelId::kStatDat, "Got Enquire \n\rLast: 12");
  EXPECT_EQ(child<QLabel>(b.view.window(), "StatDat")->text(), "Got Enquire \nLast: 12");
  EXPECT_EQ(b.view.label(LabelId::kStatDat), "Got Enquire \n\rLast: 12");
  b.view.setLabel(LabelId::kLblUnits, "mW/cm\xB2");
  EXPECT_EQ(child<QLabel>(b.view.window(), "lblUnits")->text(), QString::fromUtf8("mW/cm\u00B2"));
  EXPECT_EQ(b.view.label(LabelId::kLblUnits), "mW/cm\xB2");
  EXPECT_EQ(b.view.label(LabelId::kMavgMess), "");
  b.view.setLabel(LabelId::kLblGenMsg, "<i>x</i>");
  EXPECT_EQ(child<QLabel>(b.view.window(), "lblGenMsg")->textFormat(), Qt::PlainText);
}

TEST(QtMainView, TabsAreSelectedByIndex) {
  Built b;
  b.view.selectTab(1);
  EXPECT_EQ(b.view.selectedTab(), 1);
  EXPECT_EQ(child<QTabWidget>(b.view.window(), "SSTab1")->currentIndex(), 1);
  b.view.selectTab(0);
  EXPECT_EQ(b.view.selectedTab(), 0);
  EXPECT_TRUE(b.events.got.empty());
}

class ListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list = child<QListWidget>(b.view.window(), "List1");
    for (const char* e : {"qv000001.dat  01/02/03", "qv000002.dat  \xB2", "qv000003.dat"}) {
      b.view.listAdd(e);
    }
    b.view.show();
    list->doItemsLayout();
  }
  void clickRow(int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
  }
  Built b;
  QListWidget* list = nullptr;
};

TEST_F(ListTest, EntriesKeepTheirBytes) {
  EXPECT_EQ(b.view.listCount(), 3);
  EXPECT_EQ(b.view.listItem(1), "qv000002.dat  \xB2");
  EXPECT_EQ(list->item(1)->text(), QString::fromUtf8("qv000002.dat  \u00B2"));
  EXPECT_EQ(b.view.listSelected(), -1);
  EXPECT_EQ(b.view.listItem(7), "");
}

TEST_F(ListTest, ClicksAreReportedButSelectionsByTheLogicAreNot) {
  b.view.listSelect(2);
  EXPECT_EQ(b.view.listSelected(), 2);
  EXPECT_TRUE(b.events.got.empty());

  clickRow(0);
  EXPECT_EQ(b.view.listSelected(), 0);
  using C = std::pair<std::string, int>;
  EXPECT_EQ(b.events.got, (std::vector<C>{{"List1", 0}}));

  // A double click: its first click selects, the second press reports the double click.
  b.events.got.clear();
  clickRow(1);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                     list->visualItemRect(list->item(1)).center());
  EXPECT_EQ(b.events.got, (std::vector<C>{{"List1", 0}, {"List1.dbl", 0}}));
  EXPECT_EQ(b.view.listSelected(), 1);

  b.events.got.clear();
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(b.view.listSelected(), 2);
  EXPECT_EQ(b.events.got, (std::vector<C>{{"List1", 0}}));

  b.events.got.clear();
  b.view.listSelect(-1);
  EXPECT_EQ(b.view.listSelected(), -1);
  EXPECT_TRUE(b.events.got.empty());
}

TEST_F(ListTest, RemovingTheSelectedEntryLeavesNoneSelected) {
  b.view.listSelect(1);
  b.view.listRemove(1);
  EXPECT_EQ(b.view.listCount(), 2);
  EXPECT_EQ(b.view.listSelected(), -1);
  EXPECT_EQ(b.view.listItem(1), "qv000003.dat");
  // A click on the entry that moved up is a new selection and is reported.
  clickRow(1);
  EXPECT_EQ(b.view.listSelected(), 1);
  EXPECT_EQ(b.events.got.size(), 1u);
}

TEST_F(ListTest, RemovingAnEarlierEntryKeepsTheSelectedOne) {
  b.view.listSelect(2);
  b.view.listRemove(0);
  EXPECT_EQ(b.view.listSelected(), 1);
  EXPECT_EQ(b.view.listItem(b.view.listSelected()), "qv000003.dat");
  b.view.listRemove(5);  // out of range: nothing happens
  EXPECT_EQ(b.view.listCount(), 2);
  b.view.listClear();
  EXPECT_EQ(b.view.listCount(), 0);
  EXPECT_EQ(b.view.listSelected(), -1);
  EXPECT_TRUE(b.events.got.empty());
}

TEST(QtMainView, CloseBoxAsksTheLogicWhichDecides) {
  Built b;
  b.view.show();
  // The logic ignores the close: the window stays.
  EXPECT_FALSE(b.view.window()->close());
  EXPECT_TRUE(b.view.window()->isVisible());
  ASSERT_EQ(b.events.got.size(), 1u);
  EXPECT_EQ(b.events.got[0], std::make_pair(std::string("close"), 0));

  // The logic ends the program in its close step: the window goes.
  b.events.react = [&](const std::string& c, int) {
    if (c == "close") b.view.quit();
  };
  EXPECT_TRUE(b.view.window()->close());
  EXPECT_FALSE(b.view.window()->isVisible());
  EXPECT_TRUE(b.view.quitRequested());
  EXPECT_EQ(b.events.got.size(), 2u);
}

TEST(QtMainView, QuitFromAMenuClosesTheWindowWithoutTheCloseStep) {
  Built b;
  b.view.show();
  b.events.react = [&](const std::string& c, int) {
    if (c == "one") b.view.quit();
  };
  action(b.view, "one", 0)->trigger();
  EXPECT_FALSE(b.view.window()->isVisible());
  using C = std::pair<std::string, int>;
  EXPECT_EQ(b.events.got, (std::vector<C>{{"one", 0}}));
}

TEST(QtMainView, BusyPointerIsSetOnceAndRestored) {
  ASSERT_EQ(QApplication::overrideCursor(), nullptr);
  {
    Built b;
    b.view.setBusy(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    b.view.setBusy(true);
    b.view.setBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    b.view.setBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    b.view.setBusy(true);
  }
  // A view that goes while busy gives the pointer back.
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtMainView, ProgressFollowsValueAndMaximum) {
  Built b;
  auto* bar = child<QProgressBar>(b.view.window(), "ProgressBar2");
  b.view.setProgress(30, 120);
  EXPECT_EQ(bar->maximum(), 120);
  EXPECT_EQ(bar->value(), 30);
  b.view.setProgress(500, 120);
  EXPECT_EQ(bar->value(), 120);
  b.view.setProgress(0, 0);  // no range yet: an empty bar, not a busy indicator
  EXPECT_GT(bar->maximum(), bar->minimum());
  EXPECT_EQ(bar->value(), 0);
}

}  // namespace
}  // namespace kestrand::platform::qt
