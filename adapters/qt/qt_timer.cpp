#include "adapters/qt/qt_timer.h"

namespace kestrand::adapters::qt {

QtTimer::QtTimer() {
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (handler_) handler_();
  });
}

void QtTimer::setInterval(int ms) {
  interval_ = ms;
  apply();
}

void QtTimer::setEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  apply();
}

void QtTimer::apply() {
  if (running()) {
    timer_.start(interval_);  // (re)starts the count
  } else {
    timer_.stop();
  }
}

}  // namespace kestrand::adapters::qt
