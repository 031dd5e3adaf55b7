#include "view/chart.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "core/text.h"
#include "datetime/datetime.h"

namespace kestrand::view {
namespace {

constexpr double kDay = 86400.0;

bool endsInAmPm(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text.size() >= 2 && (text.back() == 'M' || text.back() == 'm');
}

std::string twoDigits(std::int64_t v) {
  return zeroPadded(v, 2);
}

// A date in display format `dateChoice`, as the conversion of the grid's labels writes it.
std::string dateText(const datetime::CivilDate& d, int dateChoice) {
  std::string text = datetime::formatUsDate(d);
  datetime::ChangeDate(text, 1, 0, dateChoice, {});
  return text;
}

// The details of `c` and its series' titles, without samples.
ChartData withoutSamples(const ChartData& c) {
  ChartData empty;
  empty.elapsed = c.elapsed;
  empty.twelveHour = c.twelveHour;
  empty.startSecond = c.startSecond;
  empty.startDay = c.startDay;
  empty.logInterval = c.logInterval;
  empty.dateChoice = c.dateChoice;
  empty.timeChoice = c.timeChoice;
  empty.units = c.units;
  empty.start = c.start;
  for (const ChartSeries& s : c.series) empty.series.push_back({s.title, {}, {}});
  return empty;
}

}  // namespace

ChartBuilder::ChartBuilder(const GridLayout& grid, const store::SampleTable& first,
                           const store::HeaderFields& header, int dateChoice, int timeChoice) {
  c_.dateChoice = dateChoice;
  c_.timeChoice = timeChoice;
  for (int col = 0; col < grid.cols(); ++col) {
    const int source = grid.sources[static_cast<size_t>(col)];
    if (source == kTimeSource) continue;
    sources_.push_back(source);
    c_.series.push_back({grid.titles[static_cast<size_t>(col)], {}, {}});
  }
  if (first.NumSamples >= 1) {
    c_.twelveHour = endsInAmPm(first.SampleTime[0]);
    c_.elapsed = first.elapsedClock;
    c_.units = first.SampleUnits[0];
    c_.logInterval = header.LogInterval;
    c_.start = c_.elapsed ? header.SampDate : first.SampleDate[0] + " " + first.SampleTime[0];
  }
  details_ = withoutSamples(c_);
  part_ = details_;
}

void ChartBuilder::reserve(std::size_t samples) {
  c_.at.reserve(samples);
  if (texts_) c_.timeTexts.reserve(samples);
  for (ChartSeries& s : c_.series) s.y.reserve(samples);
}

void ChartBuilder::add(const store::SampleTable& t) {
  const auto n = static_cast<size_t>(std::max<int>(t.NumSamples, 0));
  const size_t before = c_.timeTexts.size();
  part_ = ChartData();  // the part taken before goes first
  if (c_.at.capacity() < before + n) reserve(before + n);
  for (const auto& [row, column] : t.unreadCells) {
    const auto at = std::find(sources_.begin(), sources_.end(), column);
    if (row < 0 || static_cast<size_t>(row) >= n || at == sources_.end()) continue;
    std::vector<size_t>& unread = c_.series[static_cast<size_t>(at - sources_.begin())].unread;
    const size_t sample = before + static_cast<size_t>(row);
    if (unread.empty() || unread.back() < sample) unread.push_back(sample);
  }
  for (size_t k = 0; k < sources_.size(); ++k) {
    const int source = sources_[k];
    std::vector<float>& y = c_.series[k].y;
    const float* values = source == store::kMoveAvgColumn ? t.MoveAvgData.data() : t.column(source);
    y.insert(y.end(), values, values + n);
  }
  if (texts_)
    c_.timeTexts.insert(c_.timeTexts.end(), t.SampleTime.begin(),
                        t.SampleTime.begin() + static_cast<long>(n));
  c_.at.insert(c_.at.end(), t.instants.begin(), t.instants.begin() + static_cast<long>(n));
}

const ChartData& ChartBuilder::takePart() {
  part_ = std::move(c_);  // the part before goes
  c_ = withoutSamples(details_);
  ChartData& part = part_;
  const size_t n = part.at.size();
  if (!origin_) {
    const auto first = std::find_if(part.at.begin(), part.at.end(),
                                    [](std::int64_t a) { return a != datetime::kNoInstant; });
    if (first != part.at.end()) {
      origin_ = true;
      originAt_ = *first;
      const std::int64_t day = originAt_ >= 0 ? originAt_ / datetime::kTenthsPerDay
                                              : -((-originAt_ - 1) / datetime::kTenthsPerDay) - 1;
      details_.startDay = details_.elapsed ? 0 : day;
      details_.startSecond =
          static_cast<double>(details_.elapsed ? originAt_
                                               : originAt_ - day * datetime::kTenthsPerDay) /
          10.0;
      c_.startDay = details_.startDay;
      c_.startSecond = details_.startSecond;
    }
  }
  part.startDay = details_.startDay;
  part.startSecond = details_.startSecond;
  const double before = lastX_;
  part.x.resize(n);
  for (size_t j = 0; j < n; ++j) {
    // A time that cannot be read, or one before its predecessor, stays with the predecessor.
    if (part.at[j] != datetime::kNoInstant) {
      lastX_ = std::max(lastX_, static_cast<double>(part.at[j] - originAt_) / 10.0);
    }
    part.x[j] = lastX_;
  }
  if (runLimit_ == 0.0) {
    // The usual step is the median of the steps that move; a pause is a step well beyond it. The
    // times are whole seconds, so a step may be up to a second off the logging interval.
    std::vector<double> steps;
    for (size_t j = 1; j < n; ++j) {
      if (part.x[j] > part.x[j - 1]) steps.push_back(part.x[j] - part.x[j - 1]);
    }
    if (!steps.empty()) {
      const auto middle = steps.begin() + static_cast<long>(steps.size() / 2);
      std::nth_element(steps.begin(), middle, steps.end());
      runLimit_ = 1.5 * *middle + 1.0;
    }
  }
  const bool pause = runLimit_ > 0.0 && n > 0 && part.x[0] - before > runLimit_;
  if (taken_ == 0 || pause) part.runStarts.push_back(0);
  for (size_t j = 1; j < n && runLimit_ > 0.0; ++j) {
    if (part.x[j] - part.x[j - 1] > runLimit_) part.runStarts.push_back(j);
  }
  taken_ += n;
  return part;
}

namespace {

// Marks in `keep` the samples of part `in` that a reduction to stretches of `stretch` seconds
// keeps: per series, each stretch's first, lowest, highest and last sample. A pause shorter than
// a stretch is no wider than a pixel column: the stretch is taken whole across it.
void markKept(const ChartData& in, double stretch, std::vector<char>& keep) {
  const size_t n = in.x.size();
  keep.assign(n, 0);
  if (n == 0) return;
  keep[0] = keep[n - 1] = 1;
  // Where each stretch ends: the same for every series.
  std::vector<size_t> ends;
  double stretchOfLast = std::floor(in.x[0] / stretch);
  for (size_t j = 1; j < n; ++j) {
    const double stretchOf = std::floor(in.x[j] / stretch);
    if (stretchOf != stretchOfLast) ends.push_back(j);
    stretchOfLast = stretchOf;
  }
  ends.push_back(n);
  for (const ChartSeries& s : in.series) {
    const float* y = s.y.data();
    size_t begin = 0;
    for (const size_t end : ends) {
      // The first of the lowest and of the highest; their values kept at hand, not read again.
      size_t low = begin, high = begin;
      float lowest = y[begin], highest = y[begin];
      for (size_t j = begin + 1; j < end; ++j) {
        const float v = y[j];
        if (v < lowest) {
          lowest = v;
          low = j;
        }
        if (v > highest) {
          highest = v;
          high = j;
        }
      }
      keep[begin] = keep[low] = keep[high] = keep[end - 1] = 1;
      begin = end;
    }
  }
}

// The samples of `in` that `keep` marks (all when it is empty), in order. The runs that start
// among them go to `runs`, as places counted from `base`: a pause stays where it falls between
// two samples kept (the ends of stretches) and is wider than `wide`; a narrower one is no wider
// than a pixel column, and the line goes on across.
std::vector<size_t> keptSamples(const ChartData& in, const std::vector<char>& keep, double wide,
                                size_t base, std::vector<size_t>& runs) {
  std::vector<size_t> kept;
  kept.reserve(keep.empty() ? in.x.size() : in.x.size() / 4);
  auto run = in.runStarts.begin();
  for (size_t j = 0; j < in.x.size(); ++j) {
    const bool starts = run != in.runStarts.end() && *run == j;
    if (starts) ++run;
    if (!keep.empty() && keep[j] == 0) continue;
    if (starts && (keep.empty() || j == 0 || (keep[j - 1] != 0 && in.x[j] - in.x[j - 1] > wide)))
      runs.push_back(base + kept.size());
    kept.push_back(j);
  }
  return kept;
}

// The values of `from` at the places `kept` put at the end of `to`, which holds `at` before.
// `from` may be `to` itself when `at` is 0: each place kept is at or after the one it goes to.
template <typename Values>
void gather(const Values& from, const std::vector<size_t>& kept, Values& to, size_t at) {
  if (&from == &to) {
    for (size_t i = 0; i < kept.size(); ++i) to[at + i] = from[kept[i]];
    to.resize(at + kept.size());
    return;
  }
  // Appended one by one into the room reserved: growing the vector first would fill it with
  // zeros only to write over them.
  to.resize(at);
  for (const size_t j : kept) to.push_back(from[j]);
}

// The places among `kept` of the samples `unread` (both ascending), counted from `base`.
void gatherUnread(const std::vector<size_t>& unread, const std::vector<size_t>& kept, size_t base,
                  std::vector<size_t>& out) {
  auto next = unread.begin();
  for (size_t i = 0; i < kept.size() && next != unread.end(); ++i) {
    while (next != unread.end() && *next < kept[i]) ++next;
    if (next != unread.end() && *next == kept[i]) out.push_back(base + i);
  }
}

// Appends the samples of `in` that `keep` marks (all when it is empty) to `out`, their time
// texts only when `texts`. The samples kept are listed first, then each series gathers its own:
// a series' values are read and written in one run rather than a value of each in turn.
void appendKept(const ChartData& in, const std::vector<char>& keep, double wide, ChartData& out,
                bool texts) {
  const size_t base = out.x.size();
  const std::vector<size_t> kept = keptSamples(in, keep, wide, base, out.runStarts);
  for (size_t k = 0; k < in.series.size(); ++k) {
    gather(in.series[k].y, kept, out.series[k].y, base);
    gatherUnread(in.series[k].unread, kept, base, out.series[k].unread);
  }
  gather(in.x, kept, out.x, base);
  gather(in.at, kept, out.at, base);
  if (texts) {
    for (const size_t j : kept) {
      if (j < in.timeTexts.size()) out.timeTexts.push_back(in.timeTexts[j]);
    }
  }
}

// Room in `c` for `samples` in all, so that what is kept is never copied as it grows.
void reserve(ChartData& c, size_t samples) {
  if (c.x.capacity() >= samples) return;
  c.x.reserve(samples);
  c.at.reserve(samples);
  for (ChartSeries& s : c.series) s.y.reserve(samples);
}

// Keeps in `c` only the samples `keep` marks, in place (appendKept's rules), without time texts.
void keepOnly(ChartData& c, const std::vector<char>& keep, double wide) {
  std::vector<size_t> runs;
  const std::vector<size_t> kept = keptSamples(c, keep, wide, 0, runs);
  for (ChartSeries& s : c.series) {
    gather(s.y, kept, s.y, 0);
    std::vector<size_t> unread;
    gatherUnread(s.unread, kept, 0, unread);
    s.unread = std::move(unread);
  }
  gather(c.x, kept, c.x, 0);
  gather(c.at, kept, c.at, 0);
  c.timeTexts.clear();
  c.runStarts = std::move(runs);
}

}  // namespace

void ChartReduction::add(const ChartData& part) {
  if (kept_.series.size() != part.series.size()) kept_ = withoutSamples(part);
  if (columns_ < 0) return;
  std::vector<char> keep;
  if (columns_ > 0 && !part.x.empty()) {
    if (stretch_ == 0.0) stretch_ = std::max(part.x.back() / (2.0 * columns_), 1e-3);
    const double end = std::max(part.x.back(), expected_);
    while (end / stretch_ > 2.0 * columns_) stretch_ *= 2.0;
    markKept(part, stretch_, keep);
  }
  if (columns_ > 0 && keep.empty()) return;
  // A stretch keeps at most its first and last sample and each series' lowest and highest.
  const size_t most = (2 + 2 * kept_.series.size()) * 2 * static_cast<size_t>(columns_);
  if (columns_ > 0) reserve(kept_, most + part.x.size());
  appendKept(part, keep, stretch_, kept_, columns_ == 0);
  // The parts, and stretches that have since doubled, leave more: reduced again, in place.
  if (columns_ > 0 && kept_.x.size() > most) {
    markKept(kept_, stretch_, keep);
    keepOnly(kept_, keep, stretch_);
  }
}

ChartData ChartReduction::finish(const ChartData& details) && {
  // The parts taken before the stretches last doubled were kept as finely as they were then,
  // and their pauses judged against narrower stretches: taken once more at the last stretch,
  // what is kept is the same however soon the chart's length was known.
  if (columns_ > 0 && !kept_.x.empty()) {
    std::vector<char> keep;
    markKept(kept_, stretch_, keep);
    keepOnly(kept_, keep, stretch_);
  }
  ChartData out = withoutSamples(details);
  if (!kept_.series.empty()) out.series = std::move(kept_.series);
  out.x = std::move(kept_.x);
  out.at = std::move(kept_.at);
  out.timeTexts = std::move(kept_.timeTexts);
  out.runStarts = std::move(kept_.runStarts);
  return out;
}

ChartData chartData(const GridLayout& grid, const store::SampleTable& table,
                    const store::HeaderFields& header, int dateChoice, int timeChoice) {
  ChartBuilder builder(grid, table, header, dateChoice, timeChoice);
  builder.add(table);
  return std::move(builder).finish();
}

std::string axisText(const ChartData& chart, double seconds) {
  auto s = static_cast<std::int64_t>(std::floor(chart.startSecond + seconds + 0.5));
  if (chart.elapsed) {
    if (s < 0) s = 0;
    return twoDigits(s / 3600) + ":" + twoDigits(s / 60 % 60) + ":" + twoDigits(s % 60);
  }
  const std::int64_t day = chart.startDay + (s >= 0 ? s / 86400 : -((-s - 1) / 86400) - 1);
  s = ((s % 86400) + 86400) % 86400;
  if (s == 0) return dateText(datetime::civilFromDays(day), chart.dateChoice);
  if (chart.twelveHour) return datetime::formatTime12(s);
  return twoDigits(s / 3600) + ":" + twoDigits(s / 60 % 60) + ":" + twoDigits(s % 60);
}

std::string instantText(const ChartData& chart, std::int64_t at) {
  if (at == datetime::kNoInstant) return {};
  if (chart.elapsed) return datetime::isoText(at, true).substr(1);
  const datetime::Instant i = datetime::instantOf(at);
  std::string time = datetime::formatTime12(i.secondsOfDay);
  datetime::ChangeTime(time, 0, chart.timeChoice);
  if (!time.empty() && time.front() == ' ') time.erase(0, 1);
  return dateText(i.date, chart.dateChoice) + " " + time;
}

std::string pointerText(const ChartData& chart, double seconds) {
  const std::int64_t origin = chart.elapsed ? 0 : chart.startDay * datetime::kTenthsPerDay;
  const auto tenths = static_cast<std::int64_t>(std::llround((chart.startSecond + seconds) * 10.0));
  return instantText(chart, origin + tenths);
}

std::string isoInstantText(const ChartData& chart, double seconds) {
  const std::int64_t origin = chart.elapsed ? 0 : chart.startDay * datetime::kTenthsPerDay;
  const auto tenths = static_cast<std::int64_t>(std::llround((chart.startSecond + seconds) * 10.0));
  return datetime::isoText(origin + tenths, chart.elapsed);
}

ValueRange valueRange(const ChartData& chart, std::optional<double> reference) {
  double lo = 0.0, hi = 0.0;
  bool any = false;
  const auto take = [&](double v) {
    if (!std::isfinite(v)) return;
    lo = any ? std::min(lo, v) : v;
    hi = any ? std::max(hi, v) : v;
    any = true;
  };
  for (const auto& series : chart.series) {
    for (const float v : series.y) take(v);
  }
  if (reference) take(*reference);
  if (!any) return {};
  const double pad = hi > lo ? (hi - lo) * 0.02 : std::max(1.0, std::fabs(hi) * 0.05);
  // The margin never crosses zero: readings that are all at or above zero (as field strengths
  // are) keep zero as the floor, rather than a round mark below it that no reading reaches.
  double low = lo - pad, high = hi + pad;
  if (lo >= 0.0 && low < 0.0)
    low = 0.0;
  else if (hi <= 0.0 && high > 0.0)
    high = 0.0;
  return {low, high};
}

namespace {

// Marks of `step` in [lo, hi], or in the range widened to the marks around it. A hair of
// tolerance keeps a bound that is a mark (0.3 as 3 x 0.1) from counting as just past one.
std::pair<double, double> markRange(double lo, double hi, double step, bool widen) {
  constexpr double kHair = 1e-9;
  return widen ? std::pair(std::floor(lo / step + kHair), std::ceil(hi / step - kHair))
               : std::pair(std::ceil(lo / step - kHair), std::floor(hi / step + kHair));
}

Ticks ticks(double lo, double hi, int most, bool widen) {
  most = std::max(most, 2);
  if (!(hi > lo) || !std::isfinite(hi - lo)) return {1.0, {lo}};
  // From a step a little below the even split upwards through 1, 2, 5 x 10^k.
  double decade = std::pow(10.0, std::floor(std::log10((hi - lo) / most)) - 1);
  for (;; decade *= 10) {
    for (const double m : {1.0, 2.0, 5.0}) {
      const double step = m * decade;
      const auto [first, last] = markRange(lo, hi, step, widen);
      if (last - first + 1 > most) continue;
      Ticks t{step, {}};
      for (double k = first; k <= last; ++k) t.at.push_back(k * step);
      return t;
    }
  }
}

}  // namespace

Ticks ticksWithin(double lo, double hi, int most) {
  return ticks(lo, hi, most, false);
}

Ticks widenToTicks(double lo, double hi, int most) {
  return ticks(lo, hi, most, true);
}

std::string tickText(double value, double step) {
  const int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  char buffer[64];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
  std::string text(buffer, end);
  if (text.find_first_not_of("-0.") == std::string::npos && text[0] == '-') text.erase(0, 1);
  return text;
}

std::vector<double> timeTicks(const ChartData& chart, double x0, double x1, int most) {
  static constexpr double kSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                      600, 900, 1800, 3600, 7200, 10800, 21600, 43200, kDay};
  most = std::max(most, 2);
  const double span = x1 - x0;
  std::vector<double> out;
  if (!(span > 0)) return out;
  double step = kDay * std::ceil(span / kDay / (most - 1));
  for (const double s : kSteps) {
    if (std::floor(span / s) + 1 <= most) {
      step = s;
      break;
    }
  }
  const double start = chart.startSecond;
  for (double k = std::ceil((start + x0) / step); k * step - start <= x1; ++k) {
    out.push_back(k * step - start);
  }
  return out;
}

long nearestSample(const ChartData& chart, double seconds) {
  const auto& x = chart.x;
  if (x.empty()) return -1;
  const auto it = std::lower_bound(x.begin(), x.end(), seconds);
  if (it == x.end()) return static_cast<long>(x.size() - 1);
  if (it == x.begin()) return 0;
  const auto before = it - 1;
  return static_cast<long>((seconds - *before <= *it - seconds ? before : it) - x.begin());
}

std::vector<ChartPoint> reduceForPixels(std::span<const double> x, std::span<const float> y,
                                        double x0, double x1, int pixels) {
  const size_t n = std::min(x.size(), y.size());
  const auto lo = static_cast<size_t>(
      std::lower_bound(x.begin(), x.begin() + static_cast<long>(n), x0) - x.begin());
  const auto hi = static_cast<size_t>(
      std::upper_bound(x.begin(), x.begin() + static_cast<long>(n), x1) - x.begin());
  const size_t begin = lo > 0 ? lo - 1 : 0;
  const size_t end = hi < n ? hi + 1 : n;
  std::vector<ChartPoint> out;
  if (begin >= end) return out;
  // Whole when there are no more samples than the pixel columns they cover.
  const double scale = x1 > x0 && pixels > 0 ? pixels / (x1 - x0) : 0.0;
  const double covered = hi > lo ? std::floor((x[hi - 1] - x[lo]) * scale) + 1.0 : 0.0;
  if (scale == 0.0 || static_cast<double>(hi - lo) <= std::min<double>(pixels, covered)) {
    for (size_t i = begin; i < end; ++i) out.push_back({x[i], y[i]});
    return out;
  }

  std::vector<size_t> keep;
  if (begin < lo) keep.push_back(begin);
  size_t i = lo;
  while (i < hi) {
    const auto bucket = std::min<long>(pixels - 1, static_cast<long>((x[i] - x0) * scale));
    size_t low = i, high = i, j = i;
    for (; j < hi && std::min<long>(pixels - 1, static_cast<long>((x[j] - x0) * scale)) == bucket;
         ++j) {
      if (y[j] < y[low]) low = j;
      if (y[j] > y[high]) high = j;
    }
    size_t picks[4] = {i, std::min(low, high), std::max(low, high), j - 1};
    for (size_t p : picks) {
      if (keep.empty() || keep.back() < p) keep.push_back(p);
    }
    i = j;
  }
  if (hi < end) keep.push_back(hi);

  // A level stretch needs only its two ends.
  for (size_t k = 0; k < keep.size(); ++k) {
    const bool level = k > 0 && k + 1 < keep.size() && y[keep[k - 1]] == y[keep[k]] &&
                       y[keep[k]] == y[keep[k + 1]];
    if (!level) out.push_back({x[keep[k]], y[keep[k]]});
  }
  return out;
}

void lineColumns(std::span<const ChartPoint> points, int left, int right, int top, int bottom,
                 std::vector<ColumnSpan>& out) {
  int column = left - 1;
  double lo = 0.0, hi = 0.0;
  const auto flush = [&] {
    // Rows outside the window are left out, not piled up on its edge.
    if (column < left || !(hi >= top && lo < bottom + 1.0)) return;
    out.push_back({column, static_cast<int>(std::floor(std::max<double>(lo, top))),
                   static_cast<int>(std::floor(std::min<double>(hi, bottom)))});
  };
  // The part of the line from y0 to y1 inside column c.
  const auto extend = [&](int c, double y0, double y1) {
    if (c != column) {
      flush();
      column = c;
      lo = hi = y0;
    }
    lo = std::min({lo, y0, y1});
    hi = std::max({hi, y0, y1});
  };
  if (points.size() == 1) {
    const double c = std::floor(points[0].x);
    if (c >= left && c <= right) extend(static_cast<int>(c), points[0].y, points[0].y);
  }
  for (std::size_t k = 1; k < points.size(); ++k) {
    const ChartPoint a = points[k - 1], b = points[k];
    const double ca = std::floor(a.x), cb = std::floor(b.x);
    if (cb < left || ca > right) continue;
    if (ca == cb) {
      extend(static_cast<int>(ca), a.y, b.y);
      continue;
    }
    const double slope = (b.y - a.y) / (b.x - a.x);
    const auto at = [&](double x) { return a.y + (x - a.x) * slope; };
    const int c0 = static_cast<int>(std::max<double>(ca, left));
    const int c1 = static_cast<int>(std::min<double>(cb, right));
    for (int c = c0; c <= c1; ++c)
      extend(c, at(std::max<double>(a.x, c)), at(std::min(b.x, c + 1.0)));
  }
  flush();
}

}  // namespace kestrand::view
