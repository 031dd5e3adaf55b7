#pragma once
// The serial port's notifications in order, one at a time, never inside another handler.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "adapters/posix/serial/line_marks.h"

namespace kestrand::adapters::posix {

class ReceiveQueue {
 public:
  void setHandler(std::function<void(int code)> handler) { handler_ = std::move(handler); }

  void push(std::vector<ReceiveStep> steps);

  // Delivers the queued steps in order: a step's bytes join the readable bytes and raise a
  // receive notification, then its line error (if any) is raised. Bytes that came after a
  // line error become readable only after that error has been delivered. A call made while
  // a handler runs (a nested event loop) returns at once; the running delivery goes on with
  // whatever was pushed meanwhile once the handler has returned.
  void deliver();

  // The readable bytes, which are then gone.
  std::string take();
  // Forgets the queued steps and the readable bytes (the port was closed); a delivery under
  // way raises nothing more of what was queued before.
  void clear();
  bool delivering() const { return delivering_; }
  bool empty() const { return steps_.empty(); }

 private:
  void raise(int code);

  std::function<void(int)> handler_;
  std::deque<ReceiveStep> steps_;
  std::string readable_;
  bool delivering_ = false;
  unsigned long generation_ = 0;  // counts clear()
};

}  // namespace kestrand::adapters::posix
