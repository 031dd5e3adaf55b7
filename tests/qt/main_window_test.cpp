// The desktop window as the program builds it: the window logic on the Qt view, dialogs and
// timers, the POSIX file system in a scratch data directory, a fake clock and port.

#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <fstream>
#include <memory>
#include <sstream>

#include "modal.h"
#include "platform/fake/fakes.h"
#include "platform/posix/posix_file_system.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_main_view.h"
#include "platform/qt/qt_timer.h"

namespace kestrand {
namespace {

using test::child;
using test::whenModalOpens;

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The menu's items in order: captions, "-" for a separator, a sub-menu's caption with ">".
QStringList itemsOf(QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions()) {
    out << (a->isSeparator() ? "-" : a->menu() != nullptr ? a->text() + ">" : a->text());
  }
  return out;
}

class DesktopWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    data = dir.path().toStdString();
    fs = std::make_unique<platform::posix::PosixFileSystem>(data);
  }

  void writeSettings(const std::string& portSetting) {
    if (!portSetting.empty()) writeFile(path("riviriro.inf"), portSetting);
    writeFile(path("riviriro_date.inf"), "3\r\n");
    writeFile(path("riviriro_time.inf"), "1\r\n");
  }

  std::string path(const std::string& name) const { return data + "/" + name; }

  app::MainWindow& open() {
    window = std::make_unique<app::MainWindow>(app::Platform{view, box, *fs, clock, timers, port},
                                               dialogs, fs->programDirectory());
    return *window;
  }

  QMainWindow* qwin() const { return view.window(); }

  QAction* item(const char* name, int index = 0) const {
    return test::menuItem(qwin(), name, index);
  }

  QString labelText(const char* name) const { return child<QLabel>(qwin(), name)->text(); }

  QTemporaryDir dir;
  std::string data;
  std::unique_ptr<platform::posix::PosixFileSystem> fs;
  platform::fake::FakeClock clock;
  platform::fake::FakeSerialPort port;
  platform::fake::ScriptedMessageBox box;
  platform::qt::QtMainView view;
  platform::qt::QtDialogs dialogs{view.window()};
  platform::qt::QtTimerFactory timers;
  std::unique_ptr<app::MainWindow> window;
};

TEST_F(DesktopWindow, StartsWithCaptionTabsMenusAndLabels) {
  writeSettings(" 1\r\n");
  app::MainWindow& w = open();
  ASSERT_TRUE(w.start());
  EXPECT_TRUE(box.shown.empty()) << box.shown.front().text;
  EXPECT_EQ(dialogs.splash(), nullptr);  // discarded after the load
  EXPECT_TRUE(qwin()->isVisible());

  EXPECT_EQ(qwin()->windowTitle(), "Kestrand Data Upload");
  auto* tabs = child<QTabWidget>(qwin(), "SSTab1");
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(0), "Data");
  EXPECT_EQ(tabs->tabText(1), "Incoming Data");
  EXPECT_EQ(tabs->currentIndex(), 1);
  EXPECT_TRUE(tabs->widget(0)->isAncestorOf(child<QPushButton>(qwin(), "cmdPrint")));
  for (const char* b : {"cmdView", "cmdLastMsg", "cmdDelete", "cmdDelete_all"}) {
    EXPECT_TRUE(tabs->widget(1)->isAncestorOf(child<QPushButton>(qwin(), b))) << b;
  }
  EXPECT_EQ(child<QPushButton>(qwin(), "cmdLastMsg")->text(), "Display last message");

  const QList<QAction*> top = qwin()->menuBar()->actions();
  QStringList titles;
  for (QAction* a : top) titles << a->text();
  EXPECT_EQ(titles,
            QStringList({"&File", "&Communication", "&Date Format", "&Time Format", "&About"}));
  ASSERT_EQ(top.size(), 5);
  EXPECT_EQ(itemsOf(top[0]->menu()), QStringList({"&Open", "-", "&Save as", "-", "E&xit"}));
  EXPECT_EQ(itemsOf(top[1]->menu()), QStringList({"Port>"}));
  EXPECT_EQ(itemsOf(top[1]->menu()->actions()[0]->menu()),
            QStringList({"Comm 1", "Comm 2", "Comm 3", "Comm 4", "Comm 5"}));
  EXPECT_EQ(itemsOf(top[2]->menu()),
            QStringList({"M/d/yy", "M/d/yyyy", "MM/dd/yy", "MM/dd/yyyy", "yy/MM/dd", "yyyy/MM/dd",
                         "dd-MMM-yy", "dd/MM/yy", "dd/MM/yyyy", "-", "Help"}));
  EXPECT_EQ(itemsOf(top[3]->menu()), QStringList({"h:mm:ss       AM/PM", "hh:mm:ss     AM/PM",
                                                  "h:mm:ss", "hh:mm:ss", "-", "Help"}));
  EXPECT_EQ(top[4]->menu(), nullptr);

  // Check marks from the settings files: date 3, time 1, port 1.
  for (int k = 1; k <= 9; ++k) {
    const std::string name = "mnuDate" + std::to_string(k);
    EXPECT_EQ(item(name.c_str())->isChecked(), k == 3) << name;
  }
  for (const char* t : {"Time1", "Time2", "Time3", "time4"}) {
    EXPECT_EQ(item(t)->isChecked(), std::string(t) == "Time1") << t;
  }
  for (int k = 1; k <= 5; ++k) EXPECT_EQ(item("mnuCommPort", k)->isChecked(), k == 1) << k;
  ASSERT_EQ(port.openedDevices.size(), 1u);
  EXPECT_TRUE(port.isOpen());

  EXPECT_EQ(labelText("Label1"), QString::fromStdString("Data Path: " + data));
  EXPECT_EQ(labelText("lblGenMsg"), "No data received");
  EXPECT_EQ(labelText("StatDat"), "");
}

TEST_F(DesktopWindow, MenuChoicesMoveTheCheckMarks) {
  writeSettings(" 1\r\n");
  ASSERT_TRUE(open().start());

  item("mnuDate5")->trigger();
  EXPECT_TRUE(item("mnuDate5")->isChecked());
  EXPECT_FALSE(item("mnuDate3")->isChecked());
  EXPECT_EQ(readFile(path("riviriro_date.inf")), "5\r\n");
  // Choosing the checked item again keeps its mark.
  item("mnuDate5")->trigger();
  EXPECT_TRUE(item("mnuDate5")->isChecked());

  item("time4")->trigger();
  EXPECT_TRUE(item("time4")->isChecked());
  EXPECT_FALSE(item("Time1")->isChecked());

  item("mnuCommPort", 3)->trigger();
  EXPECT_TRUE(item("mnuCommPort", 3)->isChecked());
  EXPECT_FALSE(item("mnuCommPort", 1)->isChecked());
  EXPECT_EQ(port.openedDevices.back(), "/dev/ttyS2");
  EXPECT_EQ(window->PortNumber(), 3);
}

TEST_F(DesktopWindow, ClosingTheWindowWritesThePortSetting) {
  writeSettings(" 1\r\n");
  ASSERT_TRUE(open().start());
  item("mnuCommPort", 4)->trigger();
  EXPECT_EQ(readFile(path("riviriro.inf")), " 1\r\n");  // not before the close

  EXPECT_TRUE(qwin()->close());
  EXPECT_FALSE(qwin()->isVisible());
  EXPECT_TRUE(window->ended());
  EXPECT_EQ(readFile(path("riviriro.inf")), " 4\r\n");
}

TEST_F(DesktopWindow, ExitEndsWithoutWritingThePortSetting) {
  writeSettings(" 2\r\n");
  ASSERT_TRUE(open().start());
  item("mnuCommPort", 5)->trigger();
  item("mnuExit")->trigger();
  EXPECT_FALSE(qwin()->isVisible());
  EXPECT_TRUE(window->ended());
  EXPECT_EQ(readFile(path("riviriro.inf")), " 2\r\n");
}

TEST_F(DesktopWindow, WithoutPortSettingThePortDialogComesDuringTheLoad) {
  writeSettings("");
  bool splashShown = false;
  bool mainShown = false;
  whenModalOpens([&](QWidget* w) {
    EXPECT_EQ(w->windowTitle(), "Select a Comm Port");
    splashShown = dialogs.splash() != nullptr && dialogs.splash()->isVisible();
    mainShown = qwin()->isVisible();
    EXPECT_TRUE(child<QRadioButton>(w, "OptCom2")->isChecked());
    child<QRadioButton>(w, "OpCom4")->click();
    child<QPushButton>(w, "Command1")->click();
  });
  ASSERT_TRUE(open().start());
  EXPECT_TRUE(splashShown);
  EXPECT_TRUE(mainShown);
  EXPECT_TRUE(item("mnuCommPort", 4)->isChecked());
  EXPECT_EQ(port.openedDevices, std::vector<std::string>{"/dev/ttyS3"});
  EXPECT_EQ(child<QTabWidget>(qwin(), "SSTab1")->currentIndex(), 1);
  qwin()->close();
  EXPECT_EQ(readFile(path("riviriro.inf")), " 4\r\n");
}

TEST_F(DesktopWindow, HelpAndAboutOpenTheirDialogs) {
  writeSettings(" 1\r\n");
  ASSERT_TRUE(open().start());
  QString caption;
  whenModalOpens([&](QWidget* w) {
    caption = w->windowTitle();
    child<QPushButton>(w, "TimeHelpOK")->click();
  });
  item("Time_help")->trigger();
  EXPECT_EQ(caption, "Time  Format  Help");

  QString version;
  whenModalOpens([&](QWidget* w) {
    version = child<QLabel>(w, "Version")->text();
    child<QPushButton>(w, "cmdAboutOK")->click();
  });
  item("mnuAbout")->trigger();
  EXPECT_EQ(version, "Rev.  3.2.15");
}

}  // namespace
}  // namespace kestrand
