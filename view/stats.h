#pragma once
// Statistics of the readings per value column of the grid, and the reference level they are
// compared with.

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/sample_table.h"
#include "view/chart.h"
#include "view/grid.h"

namespace kestrand::view {

struct ColumnStats {
  std::string title;
  std::size_t count = 0;
  double minimum = 0.0;
  double maximum = 0.0;
  std::string maxTime;  // time text of the maximum's first sample, as the grid shows it
  std::string maxWhen;  // its date and time in the chosen formats (view::instantText)
  std::string maxIso;   // its instant in ISO 8601 (datetime::isoText)
  double mean = 0.0;
  double rms = 0.0;  // square root of the mean of the squares
};

// One entry per series of the chart, in grid order, over its readings (the samples a series
// marks unread are left out); a table without samples gives count 0.
std::vector<ColumnStats> columnStats(const ChartData& chart);
// The same of a table as its grid shows it, without making its chart.
std::vector<ColumnStats> columnStats(const GridLayout& grid, const store::SampleTable& table,
                                     const store::HeaderFields& header, int dateChoice,
                                     int timeChoice);

// The same of a chart given in parts (ChartBuilder::takePart), keeping only the running sums,
// the extremes and where the maximum was first reached.
class StatsAccumulator {
 public:
  // The time text of a table's row, for a table whose texts were not all written.
  using TimeOfRow = std::function<std::string(std::size_t row)>;

  // A part's samples, the maximum's time text from the part's own texts.
  void add(const ChartData& part);
  // The same straight from a table and its grid, with the series a chart of them would have,
  // without copying them out; the maximum's time text from `timeOf` when given, otherwise from
  // the table's texts.
  void add(const GridLayout& grid, const store::SampleTable& table, const TimeOfRow& timeOf = {});
  // The statistics so far; `details` gives the formats of the maximum's date and time.
  std::vector<ColumnStats> result(const ChartData& details) const;

 private:
  struct Column {
    ColumnStats stats;
    double sum = 0.0, squares = 0.0;
    std::int64_t maxAt = 0;
    bool timed = false;  // the maximum's sample has an instant
  };
  // The samples' time texts as far as known (`texts`), or worked out (`timeOf`) when given.
  struct TimeTexts {
    std::span<const std::string> texts;
    const TimeOfRow* timeOf = nullptr;
    std::string of(std::size_t row) const;
  };
  // Adds one series' values `y`, leaving out the samples `unread` (ascending); `times` and `at`
  // are the samples' time texts and instants, as far as known.
  static void addSeries(Column& c, const std::string& title, std::span<const float> y,
                        std::span<const std::size_t> unread, const TimeTexts& times,
                        std::span<const std::int64_t> at);
  // Adds to each of N columns `cs` its `n` samples `ys` that stand at `first` on in `times` and
  // `at`, all of them readings; the columns side by side in one pass.
  template <std::size_t N>
  static void addRuns(const std::array<Column*, N>& cs, const std::array<const float*, N>& ys,
                      std::size_t n, std::size_t first, const TimeTexts& times,
                      std::span<const std::int64_t> at);
  std::vector<Column> columns_;
};

// "%.7g" of a number, as the statistics and the reference level are written.
std::string shortNumber(double v);

// The texts of a column's statistics: title, count, minimum, maximum, date and time of the
// maximum, mean, RMS mean.
std::vector<std::string> statsCells(const ColumnStats& s);
// One line of `kestrand-cli stats`, fields separated by one TAB (no line end): title, count,
// minimum, maximum, the grid's time text of the maximum, mean, RMS mean, and the maximum's
// instant in ISO 8601.
std::string statsLine(const ColumnStats& s);

// Whether `v` can be a reference level: a normal number above 0 (not 0, not subnormal, whose
// percentages would overflow, not infinite or NaN).
inline bool isReferenceLevel(double v) {
  return std::isnormal(v) && v > 0.0;
}

// The level a text holds: its first item (up to a comma or the line's end), a reference level
// (isReferenceLevel), blanks around it allowed; nullopt otherwise.
std::optional<double> parseReferenceLevel(std::string_view text);

// `value` as a percentage of `level`.
inline double percentOf(double value, double level) {
  return value / level * 100.0;
}

}  // namespace kestrand::view
