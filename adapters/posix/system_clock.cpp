#include "adapters/posix/system_clock.h"

#include <chrono>
#include <ctime>

namespace kestrand::adapters::posix {

ports::LocalTime SystemClock::now() const {
  using namespace std::chrono;
  auto t = system_clock::now();
  std::time_t secs = system_clock::to_time_t(t);
  std::tm tm{};
  ::localtime_r(&secs, &tm);
  double frac = duration<double>(t.time_since_epoch()).count() - static_cast<double>(secs);
  if (frac < 0) frac = 0;
  ports::LocalTime lt;
  lt.year = tm.tm_year + 1900;
  lt.month = tm.tm_mon + 1;
  lt.day = tm.tm_mday;
  lt.hour = tm.tm_hour;
  lt.minute = tm.tm_min;
  lt.second = tm.tm_sec;
  lt.secondsSinceMidnight = tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec + frac;
  return lt;
}

}  // namespace kestrand::adapters::posix
