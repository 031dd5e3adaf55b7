#pragma once
// The desktop window's "Chart" tab wired to the program: the chart and statistics of the upload
// on display, the reference level kept in its settings file, the notes, the "Whole upload"
// check box, and File > "Save report as PDF..." writing the survey report.

#include <memory>

#include "adapters/qt/chart_feed.h"
#include "adapters/qt/chart_widget.h"
#include "adapters/qt/qt_main_view.h"
#include "app/main_window.h"
#include "app/survey.h"

namespace kestrand::desktop {

class ChartTab {
 public:
  // Adds the tab to `view` after the window's own two; `fs` and `dialogs` as the window has them.
  ChartTab(app::MainWindow& window, adapters::qt::QtMainView& view, ports::FileSystem& fs,
           ports::Dialogs& dialogs);

  adapters::qt::ChartWidget& widget() { return *chart_; }
  app::Survey& survey() { return *survey_; }

 private:
  adapters::qt::ChartWidget* chart_;  // owned by the window
  // Makes the chart once the window has painted what a change showed.
  std::unique_ptr<adapters::qt::ChartFeed> feed_;
  std::unique_ptr<app::Survey> survey_;
};

}  // namespace kestrand::desktop
