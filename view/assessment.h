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

// highestAverage of samples given one at a time, for one column or several whose samples share
// their times: which windows a sample closes is worked out once for all of them. Only the
// samples of the windows not yet closed are held, so that the length of the upload costs no
// memory.
class WindowAverager {
 public:
  WindowAverager(double interval, double window, std::size_t columns = 1)
      : interval_(interval), window_(window), columns_(columns), held_(columns), best_(columns) {}
  void add(double time, double ratio) { add(time, std::span<const double>(&ratio, 1)); }
  // A sample's time and its ratio in every column.
  void add(double time, std::span<const double> ratios);
  // The highest average of every window of each column, once the last sample has been added.
  std::vector<std::optional<WindowAverage>> finishAll();
  std::optional<WindowAverage> finish() { return finishAll().front(); }
  // Column `column` alone, as far as it has come: for a column whose samples stop sharing the
  // others' times (a reading that was no number), taken on by itself from here.
  WindowAverager split(std::size_t column) const;

 private:
  // The held samples first to last in one vector, each as its time, the time the samples before
  // it stand for, and per column its ratio and the ratio over that time. The first is let go by
  // moving the start past it, and the held ones are moved down once as many are let go. (A
  // std::deque's indexing and its blocks cost a third of an assessment's time.)
  class Held {
   public:
    explicit Held(std::size_t columns) : stride_(2 + 2 * columns) {}
    std::size_t size() const { return (all_.size() - start_) / stride_; }
    bool empty() const { return size() == 0; }
    // Sample k: [0] its time, [1] the time covered before it, [2 + c] column c's ratio,
    // [2 + columns + c] column c's ratio over the time covered.
    const double* operator[](std::size_t k) const { return all_.data() + start_ + k * stride_; }
    // A new last sample, its values to be written.
    double* push() {
      all_.resize(all_.size() + stride_);
      return all_.data() + all_.size() - stride_;
    }
    void pop_front() {
      start_ += stride_;
      if (start_ >= kMoveAfter * stride_ && 2 * start_ >= all_.size()) {
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
    std::size_t stride_;
    std::vector<double> all_;
    std::size_t start_ = 0;  // in doubles
  };
  // Closes the first window held: its samples end before `past`, the held sample its time
  // reaches (held_.size() for the end of the samples).
  void close(std::size_t past, double closes);
  // The first held sample at or past `closes` (held_.size() when none is yet), from past_ on.
  std::size_t reach(double closes);
  double stands(std::size_t k) const;  // the time held sample k stands for

  double interval_, window_;
  std::size_t columns_;
  Held held_;               // from the first window not yet closed to the last sample
  std::size_t closed_ = 0;  // windows closed
  std::size_t past_ = 1;    // the first held sample the first window's time reaches, or beyond
  std::vector<std::optional<WindowAverage>> best_;  // per column
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
    // Its own windows once it has a sample that was no number; till then the shared ones.
    std::optional<WindowAverager> own;
  };
  // The samples of the columns that take them all, in their shared windows.
  void addShared(const ChartData& part);
  // A column's samples, its unread ones left out, in its own windows.
  void addOwn(Column& c, const ChartSeries& s, const ChartData& part);

  std::optional<ReadingUnit> unit_;
  std::string units_;
  Limits limits_;
  double limit_ = 0.0;
  double uncertaintyDb_;
  double interval_;
  std::vector<Column> columns_;
  std::optional<WindowAverager> shared_;  // every column's samples; made with the first part
};

// The usual logging step of `chart`: its header's interval, else the median of the steps that
// move, else 1 second.
double loggingInterval(const ChartData& chart);

// The texts of a column's assessment as `kestrand-cli assess` prints them.
std::vector<std::string> assessmentCells(const ChartData& chart, const ColumnAssessment& a);

}  // namespace kestrand::view
