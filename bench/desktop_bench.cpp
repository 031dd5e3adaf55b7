// The desktop window on the largest upload, offscreen: the window logic on the Qt window and
// dialogs, the POSIX file system in a scratch data directory, a fake clock, timers and port; the
// "Chart" tab wired as the desktop program wires it. Each case aims at one frame at 60 Hz (16 ms).
//
//   view_to_painted:    "View" of the 16300-record file, pressed on the "Incoming Data" tab,
//                       until the window has painted the grid on the "Data" tab (reading the
//                       file, the grid and its column widths, the labels); the chart's series
//                       and statistics are made after that frame, outside the measure;
//   chart_tab_painted:  after a new "View" and the frame after it, the switch to the "Chart" tab
//                       until it has painted (the series reduced for the tab's width and drawn,
//                       the legend, the table);
//   save_chart_png:     "Save chart" once the file is chosen (the dialog answers at once): the
//                       picture drawn at its saved size, encoded and written through the file
//                       system, synced. Aim: under 0.3 s.

#include <benchmark/benchmark.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QMainWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "adapters/posix/posix_file_system.h"
#include "adapters/qt/chart_feed.h"
#include "adapters/qt/chart_widget.h"
#include "adapters/qt/qt_dialogs.h"
#include "adapters/qt/qt_main_view.h"
#include "app/main_window.h"
#include "bench/full_upload.h"
#include "tests/fakes/fake_timers.h"
#include "tests/fakes/fakes.h"

namespace {

using namespace kestrand;

class Desktop {
 public:
  Desktop() {
    std::ofstream(data_ + "/riviriro.inf") << " 1\r\n";
    std::ofstream(data_ + "/riviriro_date.inf") << "3\r\n";
    std::ofstream(data_ + "/riviriro_time.inf") << "1\r\n";
    std::ofstream(data_ + "/qvbig.dat", std::ios::binary) << bench::fullUpload(
        "09:30:00 AM", [](int i, int k) { return k * 1.37 + (i * (k + 3)) % 97 * 0.21; });
    window_ = std::make_unique<app::MainWindow>(
        app::Platform{view_, box_, fs_, clock_, timers_, port_}, dialogs_, data_);
    chart_ = new adapters::qt::ChartWidget(fs_, chartDialogs_, data_);
    view_.addPage(chart_, "Chart");
    feed_ = std::make_unique<adapters::qt::ChartFeed>(*chart_);
    window_->program().doc.showChart = [this](std::function<view::ChartData()> make,
                                              const std::string& name) {
      feed_->set(std::move(make), name);
    };
    timers_.onTimePassed = [this](std::int64_t ms) { clock_.advanceSeconds(double(ms) / 1000); };
    window_->start();
    timers_.advance(3000);
    if (!QTest::qWaitForWindowExposed(view_.window())) throw std::runtime_error("not shown");
    view_.listSelect(0);
    for (const char* name : {"MSFlexGrid1", "chartView"}) {
      auto* w = view_.window()->findChild<QWidget*>(name);
      if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) w = area->viewport();
      w->installEventFilter(&paints_);
    }
  }

  // Paint events of the grid and the chart so far: a case that painted neither measured nothing.
  int paints() const { return paints_.count; }

  // "View" of the selected entry; the window painted.
  void viewFile() {
    view_.window()->findChild<QPushButton*>("cmdView")->click();
    paint();
  }
  // The events that follow a frame: the chart of a new table is made then.
  static void afterFrame() { QCoreApplication::processEvents(); }
  void selectTab(int tab) {
    view_.selectTab(tab);
    paint();
  }
  // "Save chart" as a new PNG file; false when no file came of it.
  void removeChart() { std::remove((data_ + "/chart.png").c_str()); }
  bool saveChart() {
    chartDialogs_.chosenPaths.push_back(data_ + "/chart.png");
    chart_->saveChart();
    return fs_.exists(data_ + "/chart.png");
  }
  static constexpr int kIncomingTab = 1;
  static constexpr int kChartTab = 2;  // after the window's own two

 private:
  // One frame: the events a change left waiting, as the event loop delivers them: its layouts,
  // then the paint of what it changed (painting the whole window again would paint it twice).
  void paint() { QApplication::sendPostedEvents(); }

  struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      count += e->type() == QEvent::Paint;
      return false;
    }
  } paints_;
  QTemporaryDir dir_;
  std::string data_ = dir_.path().toStdString();
  adapters::posix::PosixFileSystem fs_{data_};
  ports::fake::FakeClock clock_;
  ports::fake::FakeSerialPort port_;
  ports::fake::ScriptedMessageBox box_;
  adapters::qt::QtMainView view_;
  adapters::qt::QtDialogs dialogs_{view_.window()};
  ports::fake::FakeDialogs chartDialogs_;  // the save dialog answers without a user
  ports::fake::FakeTimerHub timers_;
  std::unique_ptr<app::MainWindow> window_;
  adapters::qt::ChartWidget* chart_ = nullptr;
  std::unique_ptr<adapters::qt::ChartFeed> feed_;
};

void view_to_painted(benchmark::State& state) {
  Desktop desktop;
  for (auto _ : state) {
    state.PauseTiming();
    Desktop::afterFrame();
    desktop.selectTab(Desktop::kIncomingTab);  // where "View" is pressed
    const int before = desktop.paints();
    state.ResumeTiming();
    desktop.viewFile();
    if (desktop.paints() == before) state.SkipWithError("the grid was not painted");
  }
}

void chart_tab_painted(benchmark::State& state) {
  Desktop desktop;
  for (auto _ : state) {
    state.PauseTiming();
    desktop.viewFile();  // new data: the chart is drawn afresh
    Desktop::afterFrame();
    desktop.selectTab(0);
    const int before = desktop.paints();
    state.ResumeTiming();
    desktop.selectTab(Desktop::kChartTab);
    if (desktop.paints() == before) state.SkipWithError("the chart was not painted");
  }
}

void save_chart_png(benchmark::State& state) {
  Desktop desktop;
  desktop.viewFile();
  desktop.selectTab(Desktop::kChartTab);
  for (auto _ : state) {
    state.PauseTiming();
    desktop.removeChart();
    state.ResumeTiming();
    if (!desktop.saveChart()) state.SkipWithError("no chart file");
  }
}

BENCHMARK(view_to_painted)->Unit(benchmark::kMillisecond);
BENCHMARK(chart_tab_painted)->Unit(benchmark::kMillisecond);
BENCHMARK(save_chart_png)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
