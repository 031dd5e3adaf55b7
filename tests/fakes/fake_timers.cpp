#include "tests/fakes/fake_timers.h"

#include <algorithm>
#include <limits>

namespace kestrand::ports::fake {

FakeTimer::~FakeTimer() {
  auto& list = hub_.timers_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void FakeTimer::setInterval(int ms) {
  interval_ = ms;
  due_ = hub_.now_ms_ + ms;
}

void FakeTimer::setEnabled(bool on) {
  if (on && !enabled_) due_ = hub_.now_ms_ + interval_;
  enabled_ = on;
}

std::unique_ptr<Timer> FakeTimerHub::createTimer() {
  auto timer = std::make_unique<FakeTimer>(*this);
  timers_.push_back(timer.get());
  return timer;
}

void FakeTimerHub::advance(std::int64_t ms) {
  const std::int64_t end = now_ms_ + ms;
  for (;;) {
    FakeTimer* next = nullptr;
    std::int64_t nextDue = std::numeric_limits<std::int64_t>::max();
    for (FakeTimer* t : timers_) {
      if (t->running() && t->due_ <= end && t->due_ < nextDue) {
        next = t;
        nextDue = t->due_;
      }
    }
    if (!next) break;
    if (onTimePassed) onTimePassed(nextDue - now_ms_);
    now_ms_ = nextDue;
    next->due_ = nextDue + next->interval_;
    if (next->handler_) next->handler_();
  }
  if (onTimePassed && end > now_ms_) onTimePassed(end - now_ms_);
  now_ms_ = end;
}

}  // namespace kestrand::ports::fake
