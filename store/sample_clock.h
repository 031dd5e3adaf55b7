#pragma once
// The times of samples whose records carry none: samples `LogInterval` seconds apart from the
// start of the run; in periodic mode `PeriodOn` seconds of samples, then `PeriodOff` seconds of
// pause, again and again. The viewer times every sample of a file with it; the upload times
// the start of a continuation file.

#include <cmath>
#include <cstdint>

namespace kestrand::store {

// Elapsed seconds as the whole seconds added to a start: the nearest, halves to the even
// second. The viewer's steps fix this rule for the samples of a file. They leave the rule open
// for the start of a continuation file, which takes the same one, so that one elapsed time
// always comes to the same second, whoever computes it.
std::int64_t wholeSeconds(double elapsed);

// Where the logging time left in a period starts again after a pause.
enum class PeriodRestart {
  kLessOneInterval,  // every period holds as many samples as the first (the viewer's count)
  kWhole,            // later periods hold one sample more than the first (the upload's count)
};

// Seconds from the first sample, one sample at a time. `Seconds` is what they are added up
// in: single precision for the viewer, as its steps say; double for the upload.
template <typename Seconds>
class SampleClock {
 public:
  SampleClock(float interval, bool periodic, float periodOn, float periodOff, PeriodRestart restart)
      : interval_(interval),
        periodic_(periodic),
        periodOff_(periodOff),
        restart_(restart == PeriodRestart::kWhole ? periodOn : periodOn - interval),
        left_(periodOn - interval),
        intervalTenths_(std::llround(static_cast<double>(interval) * 10.0)),
        offTenths_(std::llround(static_cast<double>(periodOff) * 10.0)) {}

  // Seconds from the first sample to the current one.
  Seconds elapsed() const { return elapsed_; }
  // The same counted exactly, in tenths of a second: the log intervals and pauses are whole
  // tenths, so this never drifts.
  std::int64_t elapsedTenths() const { return tenths_; }
  // On to the next sample: one interval later, and after the last sample of a period the pause
  // as well.
  void next() {
    if (periodic_ && left_ <= 0.0f) {
      left_ = restart_;
      elapsed_ += static_cast<Seconds>(interval_) + static_cast<Seconds>(periodOff_);
      tenths_ += intervalTenths_ + offTenths_;
    } else {
      elapsed_ += static_cast<Seconds>(interval_);
      tenths_ += intervalTenths_;
      left_ -= interval_;
    }
  }

 private:
  float interval_;
  bool periodic_;
  float periodOff_;
  float restart_;
  float left_;  // logging time left in the period after the current sample
  Seconds elapsed_{};
  std::int64_t intervalTenths_;
  std::int64_t offTenths_;
  std::int64_t tenths_ = 0;
};

}  // namespace kestrand::store
