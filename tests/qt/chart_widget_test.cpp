#include "adapters/qt/chart_widget.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPicture>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "adapters/qt/png_image.h"
#include "adapters/qt/qt_main_view.h"
#include "app/main_window.h"
#include "modal.h"
#include "tests/fakes/fakes.h"
#include "tests/fakes/memory_file_system.h"

namespace kestrand::adapters::qt {
namespace {

using test::child;

// `n` samples a second apart; column k wavers around k, with one spike of 100
// at sample 500 + 500 k.
view::ChartData upload(int n, int columns) {
  view::ChartData c;
  c.runStarts = {0};
  for (int j = 0; j < n; ++j) c.x.push_back(j);
  c.timeTexts.assign(c.x.size(), "09:30:00 AM");
  for (int k = 0; k < columns; ++k) {
    view::ChartSeries s;
    s.title = store::kColTitle[static_cast<std::size_t>(k)];
    for (int j = 0; j < n; ++j)
      s.y.push_back(static_cast<float>(k + (j % 7) * 0.1 + (j == 500 + 500 * k ? 100 : 0)));
    c.series.push_back(std::move(s));
  }
  return c;
}

// How far apart two colours are: the sum of their channels' differences.
int apart(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
         std::abs(a.blue() - b.blue());
}

// Pixels of the picture's first `rows` rows (all by default) close to `colour`.
int pixelsNear(const QImage& image, QColor colour, int rows = -1) {
  int n = 0;
  for (int y = 0; y < (rows < 0 ? image.height() : rows); ++y) {
    for (int x = 0; x < image.width(); ++x) n += apart(image.pixelColor(x, y), colour) < 30;
  }
  return n;
}

// `chart` painted on a 400x300 image; through a QPicture (not a raster device: its series are
// drawn as polylines, which the picture replays on the image) when `viaPicture`.
QImage painted(const view::ChartData& chart, const ChartOptions& options, bool viaPicture,
               QRectF* plot = nullptr) {
  QImage image(400, 300, QImage::Format_RGB32);
  QPicture picture;
  QPainter p;
  p.begin(viaPicture ? static_cast<QPaintDevice*>(&picture) : &image);
  const ChartFrame frame = paintChart(p, QRectF(0, 0, 400, 300), chart, options);
  p.end();
  if (viaPicture) {
    p.begin(&image);
    p.drawPicture(0, 0, picture);
    p.end();
  }
  if (plot) *plot = frame.plot;
  return image;
}

// The topmost and bottommost row of `colour` in column x of `image`; {-1, -1} when none.
std::pair<int, int> rowsOf(const QImage& image, int x, QColor colour) {
  std::pair<int, int> rows{-1, -1};
  for (int y = 0; y < image.height(); ++y) {
    if (image.pixelColor(x, y) != colour) continue;
    if (rows.first < 0) rows.first = y;
    rows.second = y;
  }
  return rows;
}

// Two dense series on an image, filled as the pixel columns their lines cover, cover what their
// polylines do (within two rows): a first run zig-zagging every sample, the second series within
// the first's rows and over it; a pause; a second run whose segments each cross a few columns, the
// same in both.
TEST(ChartWidget, DenseLinesOnAnImageCoverTheColumnsTheirPolylinesCover) {
  view::ChartData c = upload(0, 2);
  for (int j = 0; j < 1500; ++j) c.x.push_back(j);
  c.runStarts = {0, c.x.size()};
  for (int j = 0; j < 40; ++j) c.x.push_back(2000 + j * 25);
  c.timeTexts.assign(c.x.size(), "09:30:00 AM");
  for (std::size_t k = 0; k < c.x.size(); ++k) {
    const bool odd = k % 2 == 1;
    c.series[0].y.push_back(odd ? 10.0f : 0.0f);
    c.series[1].y.push_back(k >= 1500 ? c.series[0].y.back() : odd ? 7.0f : 4.0f);
  }
  ChartOptions options;
  options.legend = false;
  QRectF plot, reference;
  const QImage columns = painted(c, options, false, &plot);
  const QImage lines = painted(c, options, true, &reference);
  ASSERT_EQ(plot, reference);
  int inPause = 0;
  for (int x = static_cast<int>(plot.left()) + 1; x < plot.right() - 1; ++x) {
    for (std::size_t s = 0; s < 2; ++s) {
      const auto [top, bottom] = rowsOf(columns, x, seriesColour(s));
      const auto [lineTop, lineBottom] = rowsOf(lines, x, seriesColour(s));
      EXPECT_EQ(top < 0, lineTop < 0) << x << " " << s;
      // Qt's stroker gives the row where a steep segment crosses into the next column to either
      // column, by its fixed-point steps: two rows apart at most.
      EXPECT_NEAR(top, lineTop, 2) << x << " " << s;
      EXPECT_NEAR(bottom, lineBottom, 2) << x << " " << s;
      inPause += x > plot.left() + plot.width() * 0.52 && x < plot.left() + plot.width() * 0.65 &&
                 top >= 0;
    }
  }
  EXPECT_EQ(inPause, 0);
}

// A dense dashed, dotted or dash-dotted line leaves its pattern's gaps empty along the time axis.
// `chart` painted in a 160x120 area and played back on a 1600x1200 image: moved and scaled ten
// times while it is painted (`fine`, as on a PDF file's device), else while it is played back.
QImage tenTimes(const view::ChartData& chart, bool fine) {
  ChartOptions options;
  options.legend = false;
  QPicture picture;
  QPainter p(&picture);
  if (fine) {
    p.translate(30, 20);
    p.scale(10, 10);
  }
  paintChart(p, QRectF(0, 0, 160, 120), chart, options);
  p.end();
  QImage image(1600, 1200, QImage::Format_RGB32);
  image.fill(Qt::white);
  p.begin(&image);
  if (!fine) {
    p.translate(30, 20);
    p.scale(10, 10);
  }
  p.drawPicture(0, 0, picture);
  p.end();
  return image;
}

// The topmost and bottommost row near `colour` in column x of `image`; {-1, -1} when none.
std::pair<int, int> rowsNear(const QImage& image, int x, QColor colour) {
  std::pair<int, int> rows{-1, -1};
  for (int y = 0; y < image.height(); ++y) {
    if (apart(image.pixelColor(x, y), colour) > 90) continue;
    if (rows.first < 0) rows.first = y;
    rows.second = y;
  }
  return rows;
}

TEST(ChartWidget, OnAFineDeviceTheLinesGoInItsWholePixelsWhereAndAsThickAsTheyWouldBe) {
  // A slope and a level line, sparse: painted in the device's whole pixels they stand where the
  // same lines scaled on playback do, as thick, within a pixel of the rounding and the edges.
  view::ChartData c = upload(40, 2);
  for (int j = 0; j < 40; ++j) {
    c.series[0].y[static_cast<std::size_t>(j)] = static_cast<float>(j) * 0.25f;
    c.series[1].y[static_cast<std::size_t>(j)] = 3.3f;
  }
  const QImage fine = tenTimes(c, true), scaled = tenTimes(c, false);
  int columns = 0;
  // The plot's columns right of where the lines cross.
  for (int x = 650; x < 1080; x += 7) {
    for (std::size_t s = 0; s < 2; ++s) {
      const auto [top, bottom] = rowsNear(fine, x, seriesColour(s));
      const auto [scaledTop, scaledBottom] = rowsNear(scaled, x, seriesColour(s));
      ASSERT_GE(scaledTop, 0) << x << " " << s;
      EXPECT_NEAR(top, scaledTop, 2) << x << " " << s;
      EXPECT_NEAR(bottom, scaledBottom, 2) << x << " " << s;
      ++columns;
    }
  }
  EXPECT_GT(columns, 100);
}

TEST(ChartWidget, DenseDashedLinesLeaveTheirGapsEmpty) {
  view::ChartData c = upload(0, 0);
  for (int j = 0; j < 3000; ++j) c.x.push_back(j);
  c.timeTexts.assign(c.x.size(), "09:30:00 AM");
  c.series.resize(31);
  for (view::ChartSeries& s : c.series) {
    s.title = "Field";
    for (int j = 0; j < 3000; ++j) s.y.push_back(j % 2 ? 10.0f : 0.0f);
  }
  // The dashes' lengths in turn; every gap is two columns.
  const std::pair<std::size_t, std::vector<int>> styles[] = {{10, {4}}, {20, {1}}, {30, {4, 1}}};
  for (const auto& [s, dashes] : styles) {
    ChartOptions options;
    options.hidden.assign(31, true);
    options.hidden[s] = false;
    QRectF plot;
    const QImage image = painted(c, options, false, &plot);
    // The lengths of the runs of columns with and without the line, from its first column.
    std::vector<int> runs;
    bool lit = false;
    for (int x = static_cast<int>(plot.left()); x < plot.right(); ++x) {
      const bool on = rowsOf(image, x, seriesColour(s)).first >= 0;
      if (runs.empty() && !on) continue;
      if (runs.empty() || on != lit) runs.push_back(0);
      ++runs.back();
      lit = on;
    }
    ASSERT_GT(runs.size(), 40u) << s;
    // Between the first dash and the last, which the plot's edges may cut.
    const std::size_t first = runs[2] == dashes[0] ? 0 : 1;
    for (std::size_t k = 1; k + 2 < runs.size(); ++k) {
      const int expected = k % 2 ? 2 : dashes[(first + k / 2 - 1) % dashes.size()];
      EXPECT_EQ(runs[k], expected) << s << " " << k;
    }
  }
}

// A chart's PNG file decodes to exactly the picture painted: its colours in a palette, or as
// red, green and blue past 256 colours; each row as its difference from the one above.
TEST(ChartWidget, PngFilesDecodeToThePicturePainted) {
  const view::ChartData c = upload(3000, 3);
  const QByteArray indexed = chartFile(ChartFileType::kPng, QSize(400, 300), c, {});
  EXPECT_EQ(indexed.at(25), 3);  // the colour type
  EXPECT_EQ(QImage::fromData(indexed).convertToFormat(QImage::Format_RGB32), painted(c, {}, false));
  QImage blends(300, 40, QImage::Format_RGB32);
  for (int y = 0; y < blends.height(); ++y) {
    for (int x = 0; x < blends.width(); ++x) blends.setPixel(x, y, qRgb(x % 256, y * 6, x / 2));
  }
  const QByteArray rgb = pngImage(blends);
  EXPECT_EQ(rgb.at(25), 2);
  EXPECT_EQ(QImage::fromData(rgb).convertToFormat(QImage::Format_RGB32), blends);
}

TEST(ChartWidget, SaveChartWritesTheChosenFiltersTypeAndAddsItsExtension) {
  ports::fake::MemoryFileSystem fs;
  ports::fake::FakeDialogs dialogs;
  ChartWidget widget(fs, dialogs, "/d");
  std::vector<std::string> messages;
  widget.onMessage([&](const std::string& text) { messages.push_back(text); });
  widget.setData(upload(200, 2), "QV small.dat");
  widget.setReference(5.0);  // above every value: drawn only if the axis makes room
  dialogs.chosenPaths = {"/d/chart_test", "/d/chart_test", "/d/typed.PDF", "/d/chart_test",
                         std::nullopt};
  dialogs.chosenFilters = {0, 1, 0, 0};
  dialogs.yesNoAnswers = {false};  // the fourth would replace chart_test.png: no
  for (int k = 0; k < 5; ++k) child<QPushButton>(&widget, "cmdSaveChart")->click();

  EXPECT_EQ(dialogs.fileDialogs.front(),
            (ports::FileDialogRequest{
                "Save chart", "PNG image|*.png|PDF document|*.pdf", "/d", "QV small", true, {}}));
  EXPECT_EQ(dialogs.events.at(dialogs.events.size() - 2),
            "yes/no: Save chart|/d/chart_test.png already exists.  Replace it?");
  EXPECT_EQ(messages, (std::vector<std::string>{"Chart saved as /d/chart_test.png",
                                                "Chart saved as /d/chart_test.pdf",
                                                "Chart saved as /d/typed.PDF"}));
  ASSERT_EQ(fs.files.size(), 3u);
  const QImage png = QImage::fromData(QByteArray::fromStdString(fs.files["/d/chart_test.png"]));
  EXPECT_EQ(png.size(), QSize(1200, 700));
  EXPECT_GT(pixelsNear(png, seriesColour(1)), 300);
  EXPECT_GT(pixelsNear(png, kReferenceColour), 300);
  for (const char* pdf : {"/d/chart_test.pdf", "/d/typed.PDF"}) {
    EXPECT_EQ(fs.files[pdf].substr(0, 5), "%PDF-");
    // Lines and texts as vectors, no bitmap.
    EXPECT_EQ(fs.files[pdf].find("/Subtype /Image"), std::string::npos);
  }
}

// The tab as a user meets it: fed while another tab is on show, then opened in the window at its
// default size, with all seventeen columns; in German, where a decimal comma is typed.
TEST(ChartWidget, OpenedAtTheDefaultSizeItShowsEverythingAndTheKeyboardReachesEverything) {
  struct : ports::MainWindowEvents {
    void command(ports::Command, int) override {}
  } events;
  QtMainView view;
  view.build(app::mainWindowLayout(), events);
  ports::fake::MemoryFileSystem fs;
  ports::fake::FakeDialogs dialogs;
  auto* chart = new ChartWidget(fs, dialogs, "/d");
  view.addPage(chart, "Chart");
  chart->setLocale(QLocale(QLocale::German, QLocale::Germany));
  view.show();
  chart->setData(upload(16001, 17), "QV.dat");
  chart->setReference(5.0);
  view.selectTab(2);
  view.window()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(view.window()));

  // The first picture is drawn for the real width: it equals the one after "Reset zoom", and the
  // lone spike of 100 over values below 1 reaches the upper half.
  auto* canvas = child<QWidget>(chart, "chartView");
  const QImage first = canvas->grab().toImage();
  child<QPushButton>(chart, "cmdResetZoom")->click();
  const QImage reset = canvas->grab().toImage();
  int differ = 0;
  for (int y = 0; y < first.height(); ++y) {
    for (int x = 0; x < first.width(); ++x) differ += first.pixel(x, y) != reset.pixel(x, y);
  }
  EXPECT_LE(differ, first.width() * first.height() / 1000);
  EXPECT_GT(pixelsNear(first, seriesColour(0), first.height() / 2), 5);

  // Every statistic's row in view, the legend's titles whole.
  auto* table = child<QTableWidget>(chart, "statsTable");
  ASSERT_EQ(table->rowCount(), 7);
  const QHeaderView* rows = table->verticalHeader();
  EXPECT_LE(rows->sectionViewportPosition(6) + rows->sectionSize(6), table->viewport()->height());
  const QList<QCheckBox*> legend = child<QWidget>(chart, "chartLegend")->findChildren<QCheckBox*>();
  for (QCheckBox* entry : legend) EXPECT_GE(entry->width(), entry->sizeHint().width());
  // The notes' labels whole too, each leading to its field.
  for (const QLabel* label : chart->notesPanel().findChildren<QLabel*>()) {
    EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
  }

  // Tab visits the controls, the chart and every legend entry, each one visible.
  QStringList expected{"txtReference", "cboStandard",  "txtFrequency", "txtUncertainty",
                       "cmdResetZoom", "cmdSaveChart", "chartView"};
  for (int k = 0; k < 17; ++k) expected << store::kColTitle[static_cast<std::size_t>(k)].data();
  expected << "statsTable";
  child<QLineEdit>(chart, "txtReference")->setFocus();
  QStringList stops;
  for (qsizetype k = 0; k < expected.size(); ++k) {
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible() && w->width() > 4 && w->height() > 4) << k;
    auto* box = qobject_cast<QCheckBox*>(w);
    stops << (box ? box->text() : w->objectName());
    QTest::keyClick(w, Qt::Key_Tab);
  }
  EXPECT_EQ(stops, expected);

  // +/- zoom about the middle, the arrows pan a quarter (not past either end), Home resets.
  const std::pair<Qt::Key, std::pair<double, double>> steps[] = {
      {Qt::Key_Plus, {4000, 12000}},  {Qt::Key_Right, {6000, 14000}},
      {Qt::Key_Right, {8000, 16000}}, {Qt::Key_Right, {8000, 16000}},
      {Qt::Key_Left, {6000, 14000}},  {Qt::Key_Minus, {0, 16000}},
      {Qt::Key_Plus, {4000, 12000}},  {Qt::Key_Home, {0, 16000}}};
  for (const auto& [key, window] : steps) {
    QTest::keyClick(canvas, key);
    EXPECT_EQ(chart->timeWindow(), window) << key;
  }
  QTest::keyClick(canvas, Qt::Key_Up);
  EXPECT_NE(canvas->grab().toImage(), reset);

  // Space on a legend entry takes its line off the chart (the whole upload shown again first):
  // the first's, and the eleventh's, its colour dashed.
  QTest::keyClick(canvas, Qt::Key_Home);
  QTest::keyClick(legend.value(0), Qt::Key_Space);
  EXPECT_GT(pixelsNear(canvas->grab().toImage(), seriesColour(0)), 20);
  QTest::keyClick(legend.value(10), Qt::Key_Space);
  EXPECT_EQ(pixelsNear(canvas->grab().toImage(), seriesColour(0)), 0);
  EXPECT_GT(pixelsNear(canvas->grab().toImage(), seriesColour(1)), 100);

  // The level is typed as the locale writes numbers, or the C way, and handed on as a number.
  std::vector<std::optional<double>> typed;
  std::vector<std::string> messages;
  chart->onReferenceTyped([&](std::optional<double> level) { typed.push_back(level); });
  chart->onMessage([&](const std::string& text) { messages.push_back(text); });
  auto* input = child<QLineEdit>(chart, "txtReference");
  for (const char* text : {"12,5", "61.4", "abc", "-3", ""}) {
    input->setText(text);
    emit input->editingFinished();
  }
  EXPECT_EQ(typed, (std::vector<std::optional<double>>{12.5, 61.4, std::nullopt}));
  EXPECT_EQ(messages,
            (std::vector<std::string>{"Not a reference level: abc", "Not a reference level: -3"}));
  chart->setReference(0.25);
  EXPECT_EQ(input->text(), "0,25");

  // Seventeen lines told apart: ten colours far from each other and from the reference line,
  // then the same colours dashed. Each legend entry shows its line's pen.
  for (std::size_t a = 0; a < 10; ++a) {
    EXPECT_GT(apart(seriesColour(a), kReferenceColour), 150) << a;
    for (std::size_t b = a + 1; b < 10; ++b)
      EXPECT_GT(apart(seriesColour(a), seriesColour(b)), 100) << a << " " << b;
  }
  for (int k = 0; k < 17; ++k) {
    const QImage swatch = legend.value(k)->icon().pixmap(legend.value(k)->iconSize()).toImage();
    int gaps = 0;
    QColor drawn;
    for (int x = 0; x < swatch.width(); ++x) {
      const QColor c = swatch.pixelColor(x, swatch.height() / 2);
      if (c.alpha() == 0) {
        ++gaps;
      } else {
        drawn = c;
      }
    }
    EXPECT_EQ(gaps > 0, k >= 10) << k;
    EXPECT_LT(apart(drawn, seriesColour(static_cast<std::size_t>(k % 10))), 30) << k;
  }

  // The readout under the pointer names every column, and wraps rather than being cut.
  const QPoint at = canvas->rect().center();
  QMouseEvent move(QEvent::MouseMove, at, canvas->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(canvas, &move);
  QApplication::processEvents();
  auto* readout = child<QLabel>(chart, "lblPointer");
  EXPECT_EQ(readout->text().count("Field"), 2) << readout->text().toStdString();  // 13th, 17th
  // The whole text, wrapped at the label's width, has the label's room; one line would not.
  const QRect room = readout->contentsRect();
  const QRect needs = readout->fontMetrics().boundingRect(room, Qt::TextWordWrap, readout->text());
  EXPECT_GT(needs.height(), readout->fontMetrics().height());
  EXPECT_LE(needs.height(), room.height());
  EXPECT_LE(readout->geometry().right(), chart->width());
  // A standard and a frequency add the assessment's rows, the frequency handed on as typed.
  std::vector<std::string> chosen;
  chart->onAssessmentChosen([&](const view::AssessmentChoice& c) {
    chosen = {c.standard, c.frequency, c.uncertainty};
  });
  view::ChartData inVolts = upload(1000, 2);
  inVolts.units = "V/m";
  chart->setData(std::move(inVolts), "QV.dat");
  chart->setAssessment({"icnirp1998-public", "1GHz", ""});
  child<QLineEdit>(chart, "txtFrequency")->setText("900MHz");
  emit child<QLineEdit>(chart, "txtFrequency")->editingFinished();
  EXPECT_EQ(chosen, (std::vector<std::string>{"icnirp1998-public", "900MHz", ""}));
  ASSERT_EQ(table->rowCount(), 12);
  EXPECT_EQ(table->item(7, 0)->text(), "41.25");
  EXPECT_EQ(table->item(8, 0)->text(), "243.2");  // the spike of 100.3 V/m
  EXPECT_EQ(table->item(11, 0)->text(), "complies (averaged)");
  // An average of 5.299 V/m is 1.65 % of the power limit: within 100 % unless an uncertainty of
  // more than 17.8 dB multiplies it; no uncertainty divides it to above 100 %.
  std::string said;
  chart->onMessage([&said](const std::string& text) { said = text; });
  auto* uncertainty = child<QLineEdit>(chart, "txtUncertainty");
  uncertainty->setText("17.5 dB");
  emit uncertainty->editingFinished();
  EXPECT_EQ(table->item(11, 0)->text(), "complies (averaged)");
  uncertainty->setText("18");
  emit uncertainty->editingFinished();
  EXPECT_EQ(table->item(11, 0)->text(), "inconclusive (averaged)");
  EXPECT_EQ(chosen, (std::vector<std::string>{"icnirp1998-public", "900MHz", "18"}));
  EXPECT_EQ(said, "");
  // One that is no number of dB is kept as typed and said to be wrong; nothing is assessed.
  uncertainty->setText("-2");
  emit uncertainty->editingFinished();
  EXPECT_EQ(said, "The uncertainty -2 is no number of dB of 0 or more (such as 2 or 1.5 dB)");
  EXPECT_EQ(chosen.back(), "-2");
  EXPECT_EQ(table->rowCount(), 7);
}

}  // namespace
}  // namespace kestrand::adapters::qt
