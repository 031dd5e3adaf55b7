#pragma once
// The readings of an upload assessed against an exposure standard: which level a column's units
// are held against, the ratios of a reading to it, the highest time average over the standard's
// averaging time, and the verdict once the measurement's uncertainty is allowed for.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "view/chart.h"
#include "view/exposure.h"

namespace kestrand::view {

// What a units text measures and by how much a reading is scaled into V/m, A/m, (V/m)^2,
// (A/m)^2 or W/m^2.
struct ReadingUnit {
  enum Kind { kField, kSquaredField, kPowerDensity } kind = kField;
  bool magnetic = false;  // a field or squared field: H rather than E
  double scale = 1.0;
};

// The unit of a column whose units text (Windows-1252, the superscript two as byte 178) is a
// field, squared field or power density; nullopt for any other ("%", "mA", "").
std::optional<ReadingUnit> readingUnit(std::string_view units);

// The level a reading in `unit` is held against, in that unit: E or H for a field, their squares
// for a squared field, S (or E^2/377 where the table gives none) for a power density.
double limitIn(const ReadingUnit& unit, const Limits& limits);

// A reading as a share of the power-density limit: the square of reading / level for a field,
// reading / level otherwise.
double powerRatio(const ReadingUnit& unit, double reading, double limit);

// The highest time average of `ratio` over windows `window` seconds long that start at a sample.
// Each sample stands for the time to the next one (`times`, seconds, never decreasing), at most
// `interval`; the last one for `interval`. A window's average is the time-weighted mean over the
// time its samples cover; only windows that end by the end of the last sample's time count.
struct WindowAverage {
  double ratio = 0.0;      // the highest average
  std::size_t start = 0;   // the sample its window starts at
  double startTime = 0.0;  // and its time
  double coverage = 0.0;   // share of that window covered by samples, 0..1
};
std::optional<WindowAverage> highestAverage(std::span<const double> times,
                                            std::span<const double> ratio, double interval,
                                            double window);

// highestAverage of samples given one at a time: only the samples of the windows not yet closed
// are held, so that the length of the upload costs no memory.
class WindowAverager {
 public:
  WindowAverager(double interval, double window) : interval_(interval), window_(window) {}
  void add(double time, double ratio);
  // The highest average of every window, once the last sample has been added.
  std::optional<WindowAverage> finish();

 private:
  struct Sample {
    double time, ratio;
    double covered, weighted;  // the time the samples before it stand for, and the ratio over it
  };
  // Samples first to last in one vector: the first is let go by moving the start past it, and
  // the held ones are moved down once as many are let go. (A std::deque's indexing and its
  // blocks cost a third of an assessment's time.)
  class Held {
   public:
    std::size_t size() const { return all_.size() - start_; }
    bool empty() const { return size() == 0; }
    const Sample& operator[](std::size_t k) const { return all_[start_ + k]; }
    const Sample& front() const { return all_[start_]; }
    const Sample& back() const { return all_.back(); }
    void push_back(const Sample& s) { all_.push_back(s); }
    void pop_front() {
      if (++start_ >= kMoveAfter && 2 * start_ >= all_.size()) {
        all_.erase(all_.begin(), all_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
      }
    }
    void clear() {
      all_.clear();
      start_ = 0;
    }

   private:
    static constexpr std::size_t kMoveAfter = 256;
    std::vector<Sample> all_;
    std::size_t start_ = 0;
  };
  // Closes the first window held: its samples end before `past`, the held sample its time
  // reaches (held_.size() for the end of the samples).
  void close(std::size_t past, double closes);
  double stands(std::size_t k) const;  // the time held sample k stands for

  double interval_, window_;
  Held held_;               // from the first window not yet closed to the last sample
  std::size_t closed_ = 0;  // windows closed
  std::size_t past_ = 1;    // the first held sample the first window's time reaches, or beyond
  double covered_ = 0.0, weighted_ = 0.0;  // the sums to the end of the last sample
  std::optional<WindowAverage> best_;
};

enum class Verdict { kComplies, kExceeds, kInconclusive };
const char* verdictText(Verdict v);

// The verdict on a power ratio with an expanded uncertainty of `uncertaintyDb`: complies when the
// ratio raised by the uncertainty is at most 1, exceeds when lowered by it it is still above 1.
Verdict verdictOf(double ratio, double uncertaintyDb);

struct ColumnAssessment {
  std::string title;
  std::string units;
  double limit = 0.0;  // in the column's units
  double maximum = 0.0;
  double maxFieldPercent = 0.0;
  double maxPowerPercent = 0.0;
  // The highest average in the column's units (rms for a field), its share of the power limit,
  // the instant its window starts (seconds from the first sample) and its coverage; nullopt when
  // the upload is shorter than the averaging time, and the verdict rests on the maximum.
  struct Average {
    double value = 0.0;
    double powerPercent = 0.0;
    double startSeconds = 0.0;
    double coverage = 0.0;
  };
  std::optional<Average> average;
  Verdict verdict = Verdict::kInconclusive;
};

// One column's readings (`times` and `values` of its samples, the unread ones left out).
ColumnAssessment assessColumn(const std::string& title, std::string_view units,
                              const ReadingUnit& unit, const Limits& limits,
                              std::span<const double> times, std::span<const float> values,
                              double interval, double uncertaintyDb);

struct Assessment {
  std::vector<ColumnAssessment> columns;  // the assessed columns, in grid order
  std::vector<std::string> skipped;       // titles of the columns that could not be assessed
};

// Every series of `chart` (its units are the upload's), its unread samples left out. The logging
// interval is the chart's, else the usual step between samples.
Assessment assess(const ChartData& chart, const Limits& limits, double uncertaintyDb);

// assess of a chart given in parts (ChartBuilder::takePart): the maxima and the time averages
// taken as the samples come. Without an interval in `details` the first part's usual step is it.
class Assessor {
 public:
  Assessor(const ChartData& details, const Limits& limits, double uncertaintyDb);
  void add(const ChartData& part);
  Assessment finish() &&;

 private:
  struct Column {
    std::string title;
    std::size_t count = 0;
    double maximum = 0.0;
    std::optional<WindowAverager> window;
  };
  std::optional<ReadingUnit> unit_;
  std::string units_;
  Limits limits_;
  double limit_ = 0.0;
  double uncertaintyDb_;
  double interval_;
  std::vector<Column> columns_;
};

// The usual logging step of `chart`: its header's interval, else the median of the steps that
// move, else 1 second.
double loggingInterval(const ChartData& chart);

// The texts of a column's assessment as `kestrand-cli assess` prints them.
std::vector<std::string> assessmentCells(const ChartData& chart, const ColumnAssessment& a);

}  // namespace kestrand::view
