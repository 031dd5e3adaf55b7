#include "view/assessment.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

#include "view/stats.h"

namespace kestrand::view {

namespace {

std::string fixed(const char* format, double v) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, format, v);
  return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

}  // namespace

std::optional<ReadingUnit> readingUnit(std::string_view units) {
  while (!units.empty() && units.front() == ' ') units.remove_prefix(1);
  while (!units.empty() && units.back() == ' ') units.remove_suffix(1);
  using R = ReadingUnit;
  // The superscript two is byte 178 of the single-byte code page.
  static const std::array<std::pair<std::string_view, R>, 10> kUnits = {{
      {"V/m", {R::kField, false, 1.0}},
      {"A/m", {R::kField, true, 1.0}},
      {"mA/m", {R::kField, true, 1e-3}},
      {"[V/m]\xB2", {R::kSquaredField, false, 1.0}},
      {"k[V/m]\xB2", {R::kSquaredField, false, 1e3}},
      {"[A/m]\xB2", {R::kSquaredField, true, 1.0}},
      {"m[A/m]\xB2", {R::kSquaredField, true, 1e-3}},
      {"W/m\xB2", {R::kPowerDensity, false, 1.0}},
      {"mW/cm\xB2", {R::kPowerDensity, false, 10.0}},
      {"uW/cm\xB2", {R::kPowerDensity, false, 0.01}},
  }};
  for (const auto& [text, unit] : kUnits) {
    if (units == text) return unit;
  }
  return std::nullopt;
}

double limitIn(const ReadingUnit& unit, const Limits& limits) {
  const double field = unit.magnetic ? limits.h.value : limits.e.value;
  switch (unit.kind) {
    case ReadingUnit::kField:
      return field / unit.scale;
    case ReadingUnit::kSquaredField:
      return field * field / unit.scale;
    case ReadingUnit::kPowerDensity:
      break;
  }
  return limits.s.value / unit.scale;
}

double powerRatio(const ReadingUnit& unit, double reading, double limit) {
  const double r = reading / limit;
  return unit.kind == ReadingUnit::kField ? r * r : r;
}

std::optional<WindowAverage> highestAverage(std::span<const double> times,
                                            std::span<const double> ratio, double interval,
                                            double window, AverageBuffers& buffers) {
  const std::size_t n = std::min(times.size(), ratio.size());
  if (n == 0 || !(window > 0.0) || !(interval > 0.0)) return std::nullopt;
  // The time each sample stands for, and running sums of it and of the ratio weighted by it.
  const auto stands = [&](std::size_t k) {
    return k + 1 < n ? std::clamp(times[k + 1] - times[k], 0.0, interval) : interval;
  };
  std::vector<double>& covered = buffers.covered;
  std::vector<double>& weighted = buffers.weighted;
  covered.resize(n + 1);
  weighted.resize(n + 1);
  covered[0] = weighted[0] = 0.0;
  for (std::size_t k = 0; k < n; ++k) {
    const double stand = stands(k);
    covered[k + 1] = covered[k] + stand;
    weighted[k + 1] = weighted[k] + stand * ratio[k];
  }
  const double end = times[n - 1] + interval;
  // A window ending within a nanosecond of the end still ends by it.
  const double slack = 1e-9 * std::max(1.0, std::abs(end));
  std::optional<WindowAverage> best;
  std::size_t past = 0;  // the first sample at or after the window's end
  for (std::size_t i = 0; i < n; ++i) {
    const double closes = times[i] + window;
    if (closes > end + slack) break;
    past = std::max(past, i + 1);
    while (past < n && times[past] < closes) ++past;
    // Only the window's last sample can reach beyond its end: the samples' times do not overlap.
    const std::size_t last = past - 1;
    const double over = std::max(0.0, times[last] + stands(last) - closes);
    const double time = covered[past] - covered[i] - over;
    if (!(time > 0.0)) continue;
    const double mean = (weighted[past] - weighted[i] - over * ratio[last]) / time;
    // Of windows equal but for rounding, the first is kept.
    if (!best || mean > best->ratio + 1e-12 * std::abs(best->ratio))
      best = WindowAverage{mean, i, std::min(1.0, time / window)};
  }
  return best;
}

std::optional<WindowAverage> highestAverage(std::span<const double> times,
                                            std::span<const double> ratio, double interval,
                                            double window) {
  AverageBuffers buffers;
  return highestAverage(times, ratio, interval, window, buffers);
}

const char* verdictText(Verdict v) {
  switch (v) {
    case Verdict::kComplies:
      return "complies";
    case Verdict::kExceeds:
      return "exceeds";
    case Verdict::kInconclusive:
      break;
  }
  return "inconclusive";
}

Verdict verdictOf(double ratio, double uncertaintyDb) {
  const double factor = std::pow(10.0, uncertaintyDb / 10.0);
  if (ratio * factor <= 1.0) return Verdict::kComplies;
  if (ratio / factor > 1.0) return Verdict::kExceeds;
  return Verdict::kInconclusive;
}

ColumnAssessment assessColumn(const std::string& title, std::string_view units,
                              const ReadingUnit& unit, const Limits& limits,
                              std::span<const double> times, std::span<const float> values,
                              double interval, double uncertaintyDb, AverageBuffers* buffers) {
  AverageBuffers own;
  AverageBuffers& work = buffers ? *buffers : own;
  ColumnAssessment a;
  a.title = title;
  a.units = std::string(units);
  a.limit = limitIn(unit, limits);
  std::vector<double>& ratios = work.ratio;
  ratios.resize(values.size());
  for (std::size_t k = 0; k < values.size(); ++k) {
    ratios[k] = powerRatio(unit, values[k], a.limit);
    if (k == 0 || values[k] > a.maximum) a.maximum = values[k];
  }
  const double maxPower = powerRatio(unit, a.maximum, a.limit);
  a.maxPowerPercent = maxPower * 100.0;
  a.maxFieldPercent = unit.kind == ReadingUnit::kField ? percentOf(a.maximum, a.limit)
                                                       : std::sqrt(std::max(0.0, maxPower)) * 100.0;
  const auto best = highestAverage(times, ratios, interval, limits.averagingSeconds, work);
  if (!best) {
    a.verdict = verdictOf(maxPower, uncertaintyDb);
    return a;
  }
  const double value =
      unit.kind == ReadingUnit::kField ? a.limit * std::sqrt(best->ratio) : a.limit * best->ratio;
  a.average =
      ColumnAssessment::Average{value, best->ratio * 100.0, times[best->start], best->coverage};
  a.verdict = verdictOf(best->ratio, uncertaintyDb);
  return a;
}

double loggingInterval(const ChartData& chart) {
  if (chart.logInterval > 0.0) return chart.logInterval;
  std::vector<double> steps;
  for (std::size_t j = 1; j < chart.x.size(); ++j) {
    if (chart.x[j] > chart.x[j - 1]) steps.push_back(chart.x[j] - chart.x[j - 1]);
  }
  if (steps.empty()) return 1.0;
  std::nth_element(steps.begin(), steps.begin() + static_cast<long>(steps.size() / 2), steps.end());
  return steps[steps.size() / 2];
}

Assessment assess(const ChartData& chart, const Limits& limits, double uncertaintyDb) {
  Assessment out;
  const std::optional<ReadingUnit> unit = readingUnit(chart.units);
  const double interval = loggingInterval(chart);
  std::vector<double> times;
  std::vector<float> values;
  AverageBuffers buffers;
  for (const ChartSeries& s : chart.series) {
    if (!unit || s.y.size() <= s.unread.size()) {
      out.skipped.push_back(s.title);
      continue;
    }
    std::span<const double> t(chart.x.data(), std::min(chart.x.size(), s.y.size()));
    std::span<const float> y(s.y.data(), t.size());
    if (!s.unread.empty()) {
      // The samples whose saved text was no number are no readings.
      times.clear();
      values.clear();
      auto unread = s.unread.begin();
      for (std::size_t j = 0; j < t.size(); ++j) {
        if (unread != s.unread.end() && *unread == j) {
          ++unread;
          continue;
        }
        times.push_back(t[j]);
        values.push_back(y[j]);
      }
      t = times;
      y = values;
    }
    out.columns.push_back(
        assessColumn(s.title, chart.units, *unit, limits, t, y, interval, uncertaintyDb, &buffers));
  }
  return out;
}

std::vector<std::string> assessmentCells(const ChartData& chart, const ColumnAssessment& a) {
  std::vector<std::string> cells = {a.title,
                                    a.units,
                                    levelText(a.limit),
                                    shortNumber(a.maximum),
                                    fixed("%.1f", a.maxFieldPercent),
                                    fixed("%.1f", a.maxPowerPercent)};
  if (a.average) {
    cells.push_back(shortNumber(a.average->value));
    cells.push_back(fixed("%.1f", a.average->powerPercent));
    cells.push_back(isoInstantText(chart, a.average->startSeconds));
    cells.push_back(fixed("%.0f", a.average->coverage * 100.0));
  } else {
    cells.insert(cells.end(), 4, "-");
  }
  cells.push_back(verdictText(a.verdict));
  cells.push_back(a.average ? "averaged" : "maximum");
  return cells;
}

}  // namespace kestrand::view
