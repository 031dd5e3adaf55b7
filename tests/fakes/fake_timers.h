#pragma once
// Timers driven by hand: advance() moves a shared virtual time and fires the ticks that fall
// due, in time order.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ports/timer.h"

namespace kestrand::ports::fake {

class FakeTimerHub;

class FakeTimer : public Timer {
 public:
  explicit FakeTimer(FakeTimerHub& hub) : hub_(hub) {}
  ~FakeTimer() override;
  FakeTimer(const FakeTimer&) = delete;
  FakeTimer& operator=(const FakeTimer&) = delete;
  void setInterval(int ms) override;
  int interval() const override { return interval_; }
  void setEnabled(bool on) override;
  bool enabled() const override { return enabled_; }
  void onTick(std::function<void()> handler) override { handler_ = std::move(handler); }

 private:
  friend class FakeTimerHub;
  FakeTimerHub& hub_;
  int interval_ = 0;
  bool enabled_ = true;  // a new timer is enabled with interval 0, like a stock timer control
  std::int64_t due_ = 0;
  std::function<void()> handler_;
};

class FakeTimerHub : public TimerFactory {
 public:
  std::unique_ptr<Timer> createTimer() override;
  // Moves virtual time forward by `ms`, firing every tick that falls due on the way.
  void advance(std::int64_t ms);
  std::int64_t now() const { return now_ms_; }
  // Told of every step of virtual time before the ticks at its end fire (a test moves its
  // clock along with it).
  std::function<void(std::int64_t ms)> onTimePassed;

 private:
  friend class FakeTimer;
  std::int64_t now_ms_ = 0;
  std::vector<FakeTimer*> timers_;
};

}  // namespace kestrand::ports::fake
