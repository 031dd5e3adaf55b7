#pragma once
// Feeds the "Chart" tab the chart of the table on display. The chart (its series, reduction and
// statistics, a few milliseconds for a full upload) is made once the window has painted what the
// change showed, not before: a "View" paints its grid within a frame. A tab shown before then is
// fed first.

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

#include "view/chart.h"

namespace kestrand::adapters::qt {

class ChartWidget;

class ChartFeed : public QObject {
 public:
  explicit ChartFeed(ChartWidget& chart);

  // The chart to show from now on, made by `make` when it is needed; `name` titles it.
  void set(std::function<view::ChartData()> make, std::string name);
  // Makes and shows a chart still waiting.
  void flush();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ChartWidget& chart_;
  std::function<view::ChartData()> make_;
  std::string name_;
  // A zero timer runs once the events waiting are handled, the window's paint among them.
  QTimer afterPaint_;
};

}  // namespace kestrand::adapters::qt
