#include "adapters/qt/chart_feed.h"

#include <QEvent>

#include "adapters/qt/chart_widget.h"

namespace kestrand::adapters::qt {

ChartFeed::ChartFeed(ChartWidget& chart) : chart_(chart) {
  afterPaint_.setSingleShot(true);
  afterPaint_.setInterval(0);
  connect(&afterPaint_, &QTimer::timeout, this, &ChartFeed::flush);
  chart_.installEventFilter(this);
}

void ChartFeed::set(std::function<view::ChartData()> make, std::string name) {
  make_ = std::move(make);
  name_ = std::move(name);
  if (chart_.isVisible()) {
    flush();
  } else {
    afterPaint_.start();
  }
}

void ChartFeed::flush() {
  afterPaint_.stop();
  if (!make_) return;
  const auto make = std::move(make_);
  make_ = nullptr;
  chart_.setData(make(), name_);
}

bool ChartFeed::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &chart_ && event->type() == QEvent::Show) flush();
  return QObject::eventFilter(watched, event);
}

}  // namespace kestrand::adapters::qt
