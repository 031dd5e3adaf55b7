#pragma once
// The machine's clock, read in local time.

#include "ports/clock.h"

namespace kestrand::platform::posix {

class SystemClock : public Clock {
 public:
  LocalTime now() const override;
};

}  // namespace kestrand::platform::posix
