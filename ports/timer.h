#pragma once
// A timer with a millisecond interval. It ticks on the user-interface thread every `interval`
// milliseconds while it is enabled and its interval is above 0. Enabling a stopped timer or
// changing the interval starts the count anew.

#include <functional>
#include <memory>

namespace kestrand::ports {

class Timer {
 public:
  virtual ~Timer() = default;
  virtual void setInterval(int ms) = 0;
  virtual int interval() const = 0;
  virtual void setEnabled(bool on) = 0;
  virtual bool enabled() const = 0;
  virtual void onTick(std::function<void()> handler) = 0;

  bool running() const { return enabled() && interval() > 0; }
};

class TimerFactory {
 public:
  virtual ~TimerFactory() = default;
  virtual std::unique_ptr<Timer> createTimer() = 0;
};

}  // namespace kestrand::ports
