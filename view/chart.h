#pragma once
// The readings as a chart: one series per value column of the grid, plotted against the seconds
// from the first sample, with breaks where periodic logging paused; the reduction of a series to
// what a given number of horizontal pixels can show without losing a peak; and the round numbers
// and times an axis is marked at.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "store/header.h"
#include "store/sample_table.h"
#include "view/grid.h"

namespace kestrand::view {

struct ChartSeries {
  std::string title;     // the grid column's title
  std::vector<float> y;  // one value per sample, as the table holds it
  // The samples, in order, whose saved text was no number: drawn as the grid shows them, left
  // out of the statistics.
  std::vector<std::size_t> unread;
};

struct ChartData {
  // Seconds from the first sample, one per sample, never decreasing.
  std::vector<double> x;
  // When each sample was taken (datetime::Tenths; kNoInstant where its texts could not be read):
  // since 1970, or for an elapsed-time upload since the start of logging.
  std::vector<std::int64_t> at;
  // The grid's time text of every sample.
  std::vector<std::string> timeTexts;
  // Indexes of the samples that start a run; the first is 0. A run ends where the time jumps
  // by far more than the logging interval (a pause between periods): no line crosses it.
  std::vector<std::size_t> runStarts;
  std::vector<ChartSeries> series;
  bool elapsed = false;       // an elapsed-time upload: x labels are elapsed times
  bool twelveHour = true;     // clock-time labels in the 12-hour form ("02:05:09 PM")
  double startSecond = 0.0;   // seconds of day of the first sample (clock-time uploads)
  std::int64_t startDay = 0;  // the first sample's day, in days since 1970 (clock-time uploads)
  double logInterval = 0.0;   // the header's logging interval in seconds; 0 when unknown
  int dateChoice = 3;         // the display formats the dates and times beyond the grid take
  int timeChoice = 1;
  std::string units;  // units text of the first sample
  // When the upload started, as a caption says it: the first sample's date and time, or for an
  // elapsed-time upload the upload's date as the "Information" panel shows it.
  std::string start;

  std::size_t samples() const { return x.size(); }
  // [begin, end) of run r.
  std::size_t runBegin(std::size_t r) const { return runStarts[r]; }
  std::size_t runEnd(std::size_t r) const {
    return r + 1 < runStarts.size() ? runStarts[r + 1] : x.size();
  }
};

// The chart of the table as `grid` shows it (the layout UpdateDataTable made of it).
// `header.ProbeType` of 16 or more marks an elapsed-time upload; `dateChoice` says how to read a
// date that reads both month first and day first.
ChartData chartData(const GridLayout& grid, const store::SampleTable& table,
                    const store::HeaderFields& header, int dateChoice = 3, int timeChoice = 1);

// The chart of an upload made of several tables, one after another (the files of an upload
// read in turn): the columns `grid` shows of the first table, with each added table's samples
// following the ones before, their times on one scale. chartData is the one-table case. The
// samples may be taken as they come, a part at a time, so that a long upload need not be held.
class ChartBuilder {
 public:
  ChartBuilder(const GridLayout& grid, const store::SampleTable& first,
               const store::HeaderFields& header, int dateChoice = 3, int timeChoice = 1);
  // Room for this many samples in all, so that adding never copies what was added before.
  void reserve(std::size_t samples);
  // Whether the samples' time texts are kept (by default they are).
  void keepTimeTexts(bool keep) { texts_ = keep; }
  // Appends the samples of `table`: the values of the first table's columns, the time texts,
  // the times.
  void add(const store::SampleTable& table);
  // The samples added since the part before, as a chart of their own: their seconds counted
  // from the upload's first sample, `unread` and `runStarts` counted within the part. A part
  // that goes on with the run before it has no run start at 0. A pause is a step well beyond
  // the usual one, which the first part with steps settles.
  // The part lasts until the next add.
  const ChartData& takePart();
  // The chart's details as far as the parts taken tell them (start, formats, units, interval),
  // with the series' titles and no samples.
  const ChartData& details() const { return details_; }
  ChartData finish() && {
    takePart();
    return std::move(part_);
  }

 private:
  ChartData c_;                // the samples not yet taken
  ChartData part_;             // the part taken last
  ChartData details_;          // no samples
  std::vector<int> sources_;   // per series: the table column
  bool origin_ = false;        // the first readable instant is known ...
  std::int64_t originAt_ = 0;  // ... and is this one
  double lastX_ = 0.0;         // seconds of the last sample taken
  std::size_t taken_ = 0;      // samples taken
  double runLimit_ = 0.0;      // a step longer than this starts a run; 0 until known
  bool texts_ = true;
};

// A chart given in parts (ChartBuilder::takePart), reduced as it comes to what `columns` pixel
// columns across its whole time can show: in every stretch of time a column covers at most, the
// first, lowest, highest and last sample of every series in each run. The stretches double
// as the time grows, so that what is kept stays within `columns` and twice as many stretches
// whatever the upload's length; a reduced chart keeps no time texts. With 0 columns every
// sample is kept (with its time text), with fewer none.
class ChartReduction {
 public:
  explicit ChartReduction(int columns) : columns_(columns) {}
  // The chart is known to reach at least `seconds` from its first sample: the stretches are as
  // wide as that needs from the first part on, rather than narrower at first and doubled as
  // later parts come, which keeps most of the early parts' samples only to drop them again.
  void expectAtLeast(double seconds) { expected_ = seconds; }
  void add(const ChartData& part);
  // The kept samples with the chart's details (ChartBuilder::details).
  ChartData finish(const ChartData& details) &&;

 private:
  ChartData kept_;
  double stretch_ = 0.0;   // seconds of time a stretch covers
  double expected_ = 0.0;  // the least the chart will reach
  int columns_;
};

// The text of a time axis label `seconds` after the first sample: the time of day in the grid's
// form for clock-time uploads, "hh:mm:ss" elapsed for elapsed-time uploads.
// A mark at midnight of a clock-time upload shows the date instead, in the chosen format.
std::string axisText(const ChartData& chart, double seconds);

// An instant as the pointer readout, the statistics table and the report show it: the date and
// the time in the chosen formats ("05/12/2006 14:05:33"), or "hh:mm:ss" from the start for an
// elapsed-time upload; empty for kNoInstant.
std::string instantText(const ChartData& chart, std::int64_t at);
// The same of the moment `seconds` after the first sample.
std::string pointerText(const ChartData& chart, double seconds);
// The moment `seconds` after the first sample in ISO 8601, as `stats` writes the instant of a
// maximum: "2006-12-05T14:05:33" (".5" for a fraction), "+01:02:03" from the start of logging for
// an elapsed-time upload.
std::string isoInstantText(const ChartData& chart, double seconds);

// The sample nearest to `seconds`, or -1 when there is none.
long nearestSample(const ChartData& chart, double seconds);

// The values of every series and `reference`, widened by a fiftieth of their spread on either
// side (a flat series by 1 or a twentieth of its value, whichever is more); {0, 1} when there
// are none.
struct ValueRange {
  double lo = 0.0;
  double hi = 1.0;
  bool operator==(const ValueRange&) const = default;
};
ValueRange valueRange(const ChartData& chart, std::optional<double> reference);

// Axis marks at round numbers: multiples of a step of 1, 2 or 5 times a power of ten, the
// smallest step that leaves at most `most` marks (at least 2). `ticksWithin` marks [lo, hi] as
// it is; `widenToTicks` first widens it outwards to the nearest marks, so that the axis starts
// and ends on one.
struct Ticks {
  double step = 1.0;
  std::vector<double> at;  // ascending
};
Ticks ticksWithin(double lo, double hi, int most);
Ticks widenToTicks(double lo, double hi, int most);
// A mark's text: as many decimals as the step has, never "-0".
std::string tickText(double value, double step);

// Marks of the time axis between x0 and x1 (seconds after the first sample), at most `most`, on
// round times of the clock (or of the elapsed time): every 1, 2, 5, 10, 15 or 30 seconds,
// 1, 2, 5, 10, 15 or 30 minutes, 1, 2, 3, 6 or 12 hours, or whole days.
std::vector<double> timeTicks(const ChartData& chart, double x0, double x1, int most);

struct ChartPoint {
  double x = 0.0;
  double y = 0.0;
  bool operator==(const ChartPoint&) const = default;
};

// The points of one run (x ascending) between x0 and x1 that a line `pixels` wide needs: in
// every pixel column its first, lowest, highest and last sample, less the middle points of a
// level stretch; the last sample before x0 and the first after x1 are kept so the line reaches
// the edges. A run with no more samples between x0 and x1 than the pixel columns they cover is
// returned whole.
std::vector<ChartPoint> reduceForPixels(std::span<const double> x, std::span<const float> y,
                                        double x0, double x1, int pixels);

// Rows `top` to `bottom` (inclusive) of pixel column `column`.
struct ColumnSpan {
  int column = 0;
  int top = 0;
  int bottom = 0;
  bool operator==(const ColumnSpan&) const = default;
};

// The pixels a one-pixel line through `points` (in pixels, x never decreasing; column c holds
// x from c up to c + 1, row r likewise y) covers, as one span per column it reaches, appended
// to `out` left to right. A segment crossing columns is cut where it crosses them, so each
// column gets the rows of its own part. Only columns `left` to `right` and rows `top` to
// `bottom` are kept.
void lineColumns(std::span<const ChartPoint> points, int left, int right, int top, int bottom,
                 std::vector<ColumnSpan>& out);

}  // namespace kestrand::view
