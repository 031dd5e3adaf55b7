#pragma once
// The machine's clock, read in local time.

#include "ports/clock.h"

namespace kestrand::adapters::posix {

class SystemClock : public ports::Clock {
 public:
  ports::LocalTime now() const override;
};

}  // namespace kestrand::adapters::posix
