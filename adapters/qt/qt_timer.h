#pragma once
// Timers on the Qt event loop.

#include <QTimer>
#include <functional>
#include <memory>
#include <utility>

#include "ports/timer.h"

namespace kestrand::adapters::qt {

// Ticks every interval while enabled and the interval is above 0. A new timer is enabled with
// interval 0 (so it does not tick). Setting the interval, or enabling a disabled timer, starts
// the count anew; enabling an enabled timer changes nothing.
class QtTimer : public ports::Timer {
 public:
  QtTimer();
  void setInterval(int ms) override;
  int interval() const override { return interval_; }
  void setEnabled(bool on) override;
  bool enabled() const override { return enabled_; }
  void onTick(std::function<void()> handler) override { handler_ = std::move(handler); }

 private:
  void apply();

  QTimer timer_;
  int interval_ = 0;
  bool enabled_ = true;
  std::function<void()> handler_;
};

class QtTimerFactory : public ports::TimerFactory {
 public:
  std::unique_ptr<ports::Timer> createTimer() override { return std::make_unique<QtTimer>(); }
};

}  // namespace kestrand::adapters::qt
