// The main window: the Qt view alone with the program's layout; then as the program builds it,
// the window logic on the Qt view and dialogs, the POSIX file system in a scratch data
// directory, a fake clock, timers and port.

#include "app/main_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <memory>

#include "adapters/posix/posix_file_system.h"
#include "adapters/qt/chart_feed.h"
#include "adapters/qt/chart_widget.h"
#include "adapters/qt/qt_dialogs.h"
#include "adapters/qt/qt_main_view.h"
#include "desktop/chart_tab.h"
#include "modal.h"
#include "tests/fakes/fake_timers.h"
#include "tests/fakes/fakes.h"
#include "tests/fakes/memory_file_system.h"

namespace kestrand {
namespace {

using test::child;
using C = ports::Command;
using Commands = std::vector<std::pair<C, int>>;

// The program's window layout on a view alone, the commands it reports recorded.
class ViewTest : public ::testing::Test, public ports::MainWindowEvents {
 protected:
  ViewTest() { view.build(app::mainWindowLayout(), *this); }
  void command(C command, int number) override {
    got.emplace_back(command, number);
    if (command == C::kClose && quitOnClose) view.quit();
  }
  QMainWindow* w() const { return view.window(); }

  adapters::qt::QtMainView view;
  Commands got;
  bool quitOnClose = false;  // whether the logic ends the program on the close box
};

class ListTest : public ViewTest {
 protected:
  void SetUp() override {
    for (const char* e : {"qv000001.dat  01/02/03", "qv000002.dat  \xB2", "qv000003.dat"}) {
      view.listAdd(e);
    }
    view.show();
    list->doItemsLayout();
  }
  void clickRow(int row, bool twice = false) {
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  }
  QListWidget* list = child<QListWidget>(w(), "List1");
};

TEST_F(ListTest, ClicksAreReportedButSelectionsByTheLogicAreNot) {
  view.listSelect(2);
  EXPECT_EQ(view.listSelected(), 2);
  clickRow(0);
  EXPECT_EQ(view.listSelected(), 0);
  // A double click: its first click selects, the second press reports the double click.
  clickRow(1, true);
  EXPECT_EQ(view.listSelected(), 1);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(view.listSelected(), 2);
  QTest::keyClick(list, Qt::Key_Return);  // Enter views, as a double click does
  QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
  view.listSelect(-1);
  EXPECT_EQ(view.listSelected(), -1);
  QTest::keyClick(list, Qt::Key_Return);  // nothing selected: nothing to view
  EXPECT_EQ(got, (Commands{{C::kListClick, 0},
                           {C::kListClick, 0},
                           {C::kListDoubleClick, 0},
                           {C::kListClick, 0},
                           {C::kListEnter, 0},
                           {C::kListEnter, 0}}));
}

TEST_F(ListTest, EveryTabStopIsSeenToTakeTheFocusOnBothTabs) {
  auto* tabBar = child<QTabWidget>(w(), "SSTab1")->tabBar();
  w()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w()));
  view.selectTab(1);
  tabBar->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(test::tabStops(),
            "qt_tabwidget_tabbar List1 cmdView cmdLastMsg cmdDelete cmdDelete_all");
  // The start-up grid holds titles alone: nothing in it could show the focus.
  view.showGrid({{" Time     ", "X-Point"}, {1200, 900}, 1, {}, {}});
  view.selectTab(0);
  tabBar->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(test::tabStops(), "qt_tabwidget_tabbar cmdPrint");
  // With rows, Tab goes into the grid and on out of it (the arrows move between its cells).
  view.showGrid({{" Time     ", "X-Point"}, {1200, 900}, 3, [](int, int) { return "1"; }, {}});
  tabBar->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(test::tabStops(), "qt_tabwidget_tabbar MSFlexGrid1 cmdPrint");
}

TEST_F(ListTest, RemovingTheSelectedEntryLeavesNoneSelected) {
  view.listSelect(2);
  view.listRemove(0);  // an earlier entry: the selected one stays selected
  EXPECT_EQ(view.listItem(view.listSelected()), "qv000003.dat");
  view.listRemove(1);
  view.listRemove(5);  // out of range: nothing happens
  EXPECT_EQ(view.listCount(), 1);
  EXPECT_EQ(view.listSelected(), -1);
  clickRow(0);  // the entry left: a new selection, reported
  EXPECT_EQ(got, (Commands{{C::kListClick, 0}}));
}

TEST_F(ViewTest, CloseBoxAsksTheLogicWhichDecides) {
  view.show();
  EXPECT_FALSE(w()->close());  // the logic ignores it: the window stays
  EXPECT_TRUE(w()->isVisible());
  quitOnClose = true;
  EXPECT_TRUE(w()->close());
  EXPECT_FALSE(w()->isVisible());
  EXPECT_EQ(got, (Commands{{C::kClose, 0}, {C::kClose, 0}}));
}

TEST_F(ViewTest, StatusAndMessageShowControlCharactersAsTheListingDoes) {
  // Line breaks stay line breaks; other control characters, DEL and the backslash are escaped.
  const std::string meter = "Probe \x01ok\x1F\x7F \\ \xB5T\n\rnext\tline";
  const QString shown = QString::fromUtf8("Probe \\x01ok\\x1F\\x7F \\\\ \u00B5T\nnext\\x09line");
  for (const char* name : {"StatDat", "lblGenMsg"}) {
    view.setLabel(
        std::string_view(name) == "StatDat" ? ports::LabelId::kStatDat : ports::LabelId::kLblGenMsg,
        meter);
    EXPECT_EQ(child<QLabel>(w(), name)->text(), shown) << name;
  }
  EXPECT_EQ(view.label(ports::LabelId::kStatDat), meter);  // the logic keeps its bytes
}

TEST(MainView, BusyPointerIsSetOnceAndRestoredAlsoWhenTheViewGoes) {
  {
    adapters::qt::QtMainView view;
    view.setBusy(true);
    view.setBusy(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    view.setBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    view.setBusy(true);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The chart is made once the events after a frame have run, or at once when it is on show (or
// about to be); of several waiting, only the last.
TEST(ChartFeed, MakesTheLastChartAfterTheFrameOrWhenShown) {
  ports::fake::MemoryFileSystem fs;
  ports::fake::FakeDialogs dialogs;
  adapters::qt::ChartWidget chart(fs, dialogs, "/d");
  adapters::qt::ChartFeed feed(chart);
  std::vector<int> made;
  const auto chartNo = [&made](int n) {
    return [&made, n] {
      made.push_back(n);
      return view::ChartData{};
    };
  };
  feed.set(chartNo(1), "a.dat");
  QCoreApplication::processEvents();
  feed.set(chartNo(2), "b.dat");
  feed.set(chartNo(3), "c.dat");
  chart.show();
  feed.set(chartNo(4), "d.dat");  // on show: at once
  EXPECT_EQ(made, (std::vector<int>{1, 3, 4}));
}

class DesktopWindow : public ::testing::Test {
 protected:
  // Writes the port setting (1; the formats are the defaults), builds the window and runs the
  // start procedure through its three seconds. False when the program ended.
  bool start() {
    std::ofstream(data + "/riviriro.inf") << " 1\r\n";
    window = std::make_unique<app::MainWindow>(app::Platform{view, box, fs, clock, timers, port},
                                               dialogs, fs.programDirectory(), &printer);
    chartTab = std::make_unique<desktop::ChartTab>(*window, view, fs, dialogs);
    timers.onTimePassed = [this](std::int64_t ms) { clock.advanceSeconds(double(ms) / 1000); };
    window->start();
    timers.advance(3000);
    return !window->ended();
  }
  QMainWindow* qwin() const { return view.window(); }
  // A one-column raw data file of 5 December 2006 from `time`, its samples 0, 1, 2 ...
  static std::string raw(const std::string& time, int records) {
    std::string s = "\"12/05/2006\",\"" + time + "\",0,1\r\n1,1,0\r\n";
    for (int j = 0; j < records; ++j) s += "1,0\r\n" + std::to_string(j) + "\r\n";
    return s;
  }
  void put(const std::string& name, const std::string& content) const {
    std::ofstream(data + "/" + name, std::ios::binary) << content;
  }
  std::string read(const std::string& name) const {
    std::ifstream f(data + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }
  // Selects the entry whose text ends in `ending` and clicks "View".
  void viewEntry(const std::string& ending) {
    for (int i = 0; i < view.listCount(); ++i) {
      if (view.listItem(i).ends_with(ending)) view.listSelect(i);
    }
    child<QPushButton>(qwin(), "cmdView")->click();
  }
  QTemporaryDir dir;
  std::string data = dir.path().toStdString();
  adapters::posix::PosixFileSystem fs{data};
  ports::fake::FakeClock clock;
  ports::fake::FakeSerialPort port;
  ports::fake::ScriptedMessageBox box;
  adapters::qt::QtMainView view;
  adapters::qt::QtDialogs dialogs{view.window()};
  ports::fake::FakeTimerHub timers;
  ports::fake::FakePrinter printer;
  std::unique_ptr<app::MainWindow> window;
  std::unique_ptr<desktop::ChartTab> chartTab;
};

TEST_F(DesktopWindow, ViewShowsAFullFileThroughAModelAndLongStatusTextsScroll) {
  // 16300 records of all sixteen columns and a moving average.
  std::ofstream f(data + "/qvbig.dat", std::ios::binary);
  f << "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n1,65535,60\r\n";
  for (int i = 0; i < 16300; ++i) {
    f << "0,0\r\n" << i + 1 << "\r\n";
    for (int k = 0; k < 16; ++k) {
      // Two wide values: one on the first screen, one far down.
      const bool wide = (i == 5 && k == 3) || (i == 12345 && k == 2);
      f << (wide ? "-98765.43" : std::to_string(k + i)) << "\r\n";
    }
  }
  f.close();
  ASSERT_TRUE(start());
  // The list's columns line up: narrow and wide letters take the same room.
  const QFontMetrics metrics(child<QListWidget>(qwin(), "List1")->font());
  EXPECT_EQ(metrics.horizontalAdvance("iiii"), metrics.horizontalAdvance("MMMM"));
  auto* grid = child<QTableView>(qwin(), "MSFlexGrid1");
  viewEntry(".dat");

  EXPECT_TRUE(box.shown.empty());
  const QAbstractItemModel* model = grid->model();
  ASSERT_EQ(model->rowCount(), 16300);
  ASSERT_EQ(model->columnCount(), 18);
  EXPECT_EQ(model->index(16299, 17).data().toString(), " 16300");
  EXPECT_EQ(grid->columnWidth(1), 900 * grid->logicalDpiX() / 1440);
  // No column is narrower than its texts (with the style's margins): the times whole, and a
  // wide value far down once it is scrolled into view.
  const int pad = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
  const QFontMetrics font(grid->font());
  const auto needs = [&](int row, int col) {
    return font.horizontalAdvance(model->index(row, col).data().toString()) + pad;
  };
  EXPECT_GE(grid->columnWidth(0), needs(16299, 0));
  EXPECT_GE(grid->columnWidth(4), needs(5, 4));
  child<QPushButton>(qwin(), "cmdView")->click();  // again, with the grid on show
  EXPECT_GE(grid->columnWidth(4), needs(5, 4));
  grid->scrollTo(model->index(12345, 3));
  EXPECT_GE(grid->columnWidth(3), needs(12345, 3));
  EXPECT_FALSE(child<QProgressBar>(qwin(), "ProgressBar2")->isVisible());

  // A last message of 200 lines scrolls in its own area; the list keeps its room. The label shows
  // plain text with its line breaks, and gives back the logic's bytes.
  std::string text = "<b>mW/cm\xB2</b>";
  for (int i = 0; i < 200; ++i) text += "\n\rrecord " + std::to_string(i);
  view.setLabel(ports::LabelId::kStatDat, text);
  auto* statDat = child<QLabel>(qwin(), "StatDat");
  EXPECT_TRUE(statDat->text().startsWith(QString::fromUtf8("<b>mW/cm\u00B2</b>\nrecord 0\n")));
  view.selectTab(1);
  QApplication::sendPostedEvents();
  auto* area = child<QScrollArea>(qwin(), "StatDatArea");
  EXPECT_EQ(view.label(ports::LabelId::kStatDat), text);
  EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
  EXPECT_GT(child<QListWidget>(qwin(), "List1")->height(), area->height());
}

// Types `name` into the file dialog that opens next, with its filter number `filter`, and saves.
void saveAs(const QString& name, int filter) {
  test::whenModalOpens([=](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    dialog->selectNameFilter(dialog->nameFilters().value(filter));
    child<QLineEdit>(dialog, "fileNameEdit")->setText(name);
    QMetaObject::invokeMethod(dialog, "accept");
  });
}

TEST_F(DesktopWindow, SavedFilesTakeTheTypedExtensionElseTheFilters) {
  put("QV 05.Dec.06  14.05.33.dat", raw("02:05:33 PM", 30));
  ASSERT_TRUE(start());
  viewEntry(".dat");
  const auto head = [&](const std::string& name) { return read(name).substr(0, 8); };
  // "Save as": ".csv" added to a name without an extension (digits alone are none); "All
  // Files" keeps the name as typed.
  auto* save = child<QAction>(qwin(), "mnuSave");
  const std::pair<const char*, int> saves[] = {
      {"plain", 0}, {"listing.txt", 0}, {"run 14.05.33", 0}, {"bare", 1}};
  for (const auto& [typed, filter] : saves) {
    saveAs(typed, filter);
    save->trigger();
  }
  for (const char* name : {"plain.csv", "listing.txt", "run 14.05.33.csv", "bare"})
    EXPECT_EQ(head(name).substr(0, 6), "\"Date\"") << name;
  // "Save chart": a typed .png or .pdf decides; a bare name takes the filter's.
  auto* chart = child<QPushButton>(qwin(), "cmdSaveChart");
  saveAs("picture", 1);
  chart->click();
  saveAs("typed.png", 1);
  chart->click();
  saveAs("typed.PDF", 0);
  chart->click();
  EXPECT_EQ(head("picture.pdf").substr(0, 5), "%PDF-");
  EXPECT_EQ(head("typed.png").substr(1, 3), "PNG");
  EXPECT_EQ(head("typed.PDF").substr(0, 5), "%PDF-");
  EXPECT_TRUE(box.shown.empty());
}

TEST_F(DesktopWindow, AfterALostPortTheProgressLineSaysTheUploadEndedWhileTheBoxIsOpen) {
  using namespace std::string_literals;
  ASSERT_TRUE(start());
  port.deliver("\x10\x01\x01\x23\x45\x67\x34\x80\x00\x01\x00\x00\x85\x10\x03"s);  // header
  port.deliver("\x10\x02\x81\x02\x23\xE8\x8E\x10\x17"s);                          // a record
  auto* progress = child<QLabel>(qwin(), "lblUploadProgress");
  EXPECT_TRUE(progress->text().startsWith("Receiving: ")) << progress->text().toStdString();
  QString whileOpen;
  box.whileOpen = [&](const auto&) { whileOpen = progress->text(); };
  port.raise(2001);   // the port is lost
  timers.advance(1);  // the link's boxes show once its handler has returned
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_TRUE(whileOpen.startsWith("Upload incomplete: 1 records")) << whileOpen.toStdString();
}

// Answers the notes' question that opens next with `button`.
void answerNotes(QMessageBox::StandardButton button) {
  test::whenModalOpens([=](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_TRUE(box != nullptr && box->objectName() == "NotesChanged")
        << w->objectName().toStdString();
    box->button(button)->click();
  });
}

TEST_F(DesktopWindow, EditedNotesAskBeforeViewOpenOrClosingLeavesThem) {
  for (const char* name : {"QV a.dat", "QV b.dat"}) put(name, raw("02:05:33 PM", 1));
  ASSERT_TRUE(start());
  viewEntry("a.dat");
  auto* site = child<QLineEdit>(qwin(), "txtSite");
  QTest::keyClicks(site, "roof");
  answerNotes(QMessageBox::Cancel);  // View stays on the edited notes
  viewEntry("b.dat");
  EXPECT_TRUE(window->program().doc.shownFile().ends_with("a.dat"));
  answerNotes(QMessageBox::Cancel);  // so does Open
  child<QAction>(qwin(), "mnuopen")->trigger();
  answerNotes(QMessageBox::Save);  // saved beside a, then b on display
  viewEntry("b.dat");
  EXPECT_EQ(read("QV a.notes").substr(0, 12), "Site: roof\r\n");
  EXPECT_TRUE(window->program().doc.shownFile().ends_with("b.dat"));
  EXPECT_EQ(site->text(), "");
  viewEntry("a.dat");  // nothing edited: no question
  EXPECT_EQ(site->text(), "roof");
  QTest::keyClicks(site, " 2");
  answerNotes(QMessageBox::Cancel);
  qwin()->close();
  EXPECT_FALSE(window->ended());
  answerNotes(QMessageBox::Discard);
  qwin()->close();
  EXPECT_TRUE(window->ended());
  EXPECT_EQ(read("QV a.notes").substr(0, 12), "Site: roof\r\n");
}

TEST_F(DesktopWindow, TheReportListsEveryColumnWithinThePageAndPrintDataSaysWhatItCuts) {
  // Sixteen value columns and the moving average.
  std::ofstream f(data + "/QV wide.dat", std::ios::binary);
  f << "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n1,65535,60\r\n";
  for (int i = 0; i < 3; ++i) {
    f << "0,0\r\n" << i + 1 << "\r\n";
    for (int k = 0; k < 16; ++k) f << k << "\r\n";
  }
  f.close();
  ASSERT_TRUE(start());
  viewEntry(".dat");
  const QAbstractItemModel* grid = child<QTableView>(qwin(), "MSFlexGrid1")->model();

  test::whenModalOpens([](QWidget* w) { static_cast<QDialog*>(w)->accept(); });
  child<QAction>(qwin(), "mnuSaveReport")->trigger();
  timers.advance(100);
  ASSERT_TRUE(box.shown.empty());
  // Every column's title on the listing pages, and no word past the page's right margin (A4,
  // 595 points wide, a quarter inch of margin).
  const std::string pdf = "'" + data + "/QV wide.pdf'";
  for (int c = 2; c < grid->columnCount(); ++c) {
    const std::string title = grid->headerData(c, Qt::Horizontal).toString().toStdString();
    EXPECT_EQ(std::system(("pdftotext -f 2 " + pdf + " - | grep -q -- '" + title + "'").c_str()), 0)
        << title;
  }
  EXPECT_EQ(std::system(("pdftotext -bbox " + pdf + " - | awk -F'\"' '/<word / && $6 > 577.5 " +
                         "{ bad = 1 } END { exit bad }'")
                            .c_str()),
            0);

  // "Print Data" keeps its lines; paper of 90 characters cuts some, and the message says which.
  printer.characters = 90;
  child<QPushButton>(qwin(), "cmdPrint")->click();
  EXPECT_EQ(printer.pages.size(), 2u);
  EXPECT_EQ(child<QLabel>(qwin(), "lblGenMsg")->text().toStdString(),
            "Print Data: the paper cuts the columns Y-Min, Y-Max, Y-Avg, Min, Max, Avg, "
            "Move-Avg; File > \"Save report as PDF...\" shows every column");
}

TEST_F(DesktopWindow, APortThatWillNotOpenIsLookedForEverySecondAndADeadLinkIsNamed) {
  // Comm 1's link leads to an adapter that is not plugged in: named, with where it leads.
  const std::string com1 = data + "/COM1";
  ASSERT_EQ(::symlink("/nowhere/ttyUSB7", com1.c_str()), 0);
  port.refused = {com1};
  ASSERT_TRUE(start());
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_TRUE(box.shown[0].text.ends_with("Device: " + com1 +
                                          ", a link to /nowhere/ttyUSB7, which does not exist"))
      << box.shown[0].text;
  port.refused.clear();  // plugged in
  timers.advance(1000);
  EXPECT_TRUE(port.isOpen());
  EXPECT_EQ(port.openedDevices, std::vector<std::string>{com1});

  // Comm 2 has no link, and its fallback will not open; the link made afterwards is opened.
  port.refused = {"/dev/ttyS1"};
  window->command(C::kCommPort, 2);
  ASSERT_EQ(box.shown.size(), 2u);
  EXPECT_TRUE(box.shown[1].text.ends_with("Device: /dev/ttyS1")) << box.shown[1].text;
  std::ofstream(data + "/COM2") << "";
  timers.advance(1000);
  EXPECT_TRUE(port.isOpen());
  EXPECT_EQ(port.openedDevices.back(), data + "/COM2");
  EXPECT_EQ(child<QLabel>(qwin(), "lblPortName")->text().toStdString(), data + "/COM2");
}

TEST_F(DesktopWindow, ViewThenSaveReportAsPdfThenSaveHandsOverTheWholeUploadsReport) {
  const std::string first = "QV 05.Dec.06  14.05.33";
  put(first + ".dat", raw("02:05:33 PM", 60));
  put(first + "A.dat", raw("02:06:34 PM", 5));
  put(first + ".notes", "Site: roof 3\r\n");
  ASSERT_TRUE(start());
  viewEntry("33.dat");

  // The notes of the file on display, edited and saved beside it.
  EXPECT_EQ(child<QLineEdit>(qwin(), "txtSite")->text(), "roof 3");
  child<QLineEdit>(qwin(), "txtOperator")->setText(QString::fromUtf8("J\u00F6rg"));
  child<QPushButton>(qwin(), "cmdSaveNotes")->click();
  EXPECT_EQ(read(first + ".notes"), "Site: roof 3\r\nOperator: J\xC3\xB6rg\r\nComment: \r\n");
  // The file has a continuation: the box shows, and the chart takes both files.
  auto* whole = child<QCheckBox>(qwin(), "chkWholeUpload");
  ASSERT_FALSE(whole->isHidden());
  whole->click();
  QCoreApplication::processEvents();  // the chart is made after the frame
  EXPECT_EQ(child<QTableWidget>(qwin(), "statsTable")->item(0, 0)->text(), "65");

  test::whenModalOpens([](QWidget* w) { static_cast<QDialog*>(w)->accept(); });
  child<QAction>(qwin(), "mnuSaveReport")->trigger();
  EXPECT_TRUE(chartTab->survey().writing());
  timers.advance(100);
  EXPECT_FALSE(chartTab->survey().writing());
  EXPECT_TRUE(box.shown.empty());
  // The summary, then two pages of the first file's listing and one of the second's.
  const std::string pdf = "'" + data + "/" + first + ".pdf'";
  EXPECT_EQ(std::system(("pdfinfo " + pdf + " | grep -q '^Pages: *4$'").c_str()), 0);
  EXPECT_EQ(std::system(("pdftotext -l 1 " + pdf + " - | grep -q 'J\xC3\xB6rg'").c_str()), 0);
}

}  // namespace
}  // namespace kestrand
