#include "adapters/posix/serial/receive_queue.h"

#include <utility>

#include "ports/serial_port.h"

namespace kestrand::adapters::posix {

void ReceiveQueue::push(std::vector<ReceiveStep> steps) {
  for (ReceiveStep& s : steps) {
    if (s.bytes.empty() && s.lineError == 0) continue;
    steps_.push_back(std::move(s));
  }
}

void ReceiveQueue::deliver() {
  if (delivering_) return;
  delivering_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{delivering_};

  while (!steps_.empty()) {
    ReceiveStep step = std::move(steps_.front());
    steps_.pop_front();
    const auto generation = generation_;
    if (!step.bytes.empty()) {
      readable_ += step.bytes;
      raise(ports::comm_event::kReceive);
    }
    // A handler that closed the port has dropped the rest of this step too.
    if (step.lineError != 0 && generation == generation_) raise(step.lineError);
  }
}

void ReceiveQueue::raise(int code) {
  // A copy, so that a handler that replaces itself is not destroyed while it runs.
  const auto handler = handler_;
  if (handler) handler(code);
}

std::string ReceiveQueue::take() {
  return std::exchange(readable_, {});
}

void ReceiveQueue::clear() {
  steps_.clear();
  readable_.clear();
  ++generation_;
}

}  // namespace kestrand::adapters::posix
