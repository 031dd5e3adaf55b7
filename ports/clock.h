#pragma once
// The computer's clock, as the logic sees it.

namespace kestrand::ports {

struct LocalTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;
  double secondsSinceMidnight = 0.0;  // with the fraction of the running second
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime now() const = 0;
};

}  // namespace kestrand::ports
