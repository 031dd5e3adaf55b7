#include "view/assessment.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

#include "core/text.h"

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
  units = withoutSpaces(units);
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

void WindowAverager::add(double time, std::span<const double> ratios) {
  const std::size_t n = columns_;
  double* s = held_.push();
  s[0] = time;
  if (held_.size() == 1) {
    s[1] = 0.0;
    std::fill_n(s + 2 + n, n, 0.0);
  } else {
    const double* last = held_[held_.size() - 2];
    const double stand = std::clamp(time - last[0], 0.0, interval_);
    s[1] = last[1] + stand;
    for (std::size_t c = 0; c < n; ++c) s[2 + n + c] = last[2 + n + c] + stand * last[2 + c];
  }
  std::copy_n(ratios.begin(), std::min(n, ratios.size()), s + 2);
  // A window closes once a sample reaches its end: the samples it holds are all known.
  while (held_.size() >= 2) {
    const double closes = held_[0][0] + window_;
    if (reach(closes) == held_.size()) break;
    close(past_, closes);
  }
}

std::size_t WindowAverager::reach(double closes) {
  past_ = std::max<std::size_t>(past_, 1);
  while (past_ < held_.size() && held_[past_][0] < closes) ++past_;
  return past_;
}

inline double WindowAverager::stands(std::size_t k) const {
  return k + 1 < held_.size() ? std::clamp(held_[k + 1][0] - held_[k][0], 0.0, interval_)
                              : interval_;
}

void WindowAverager::close(std::size_t past, double closes) {
  const std::size_t n = columns_;
  const double* first = held_[0];
  // The sums up to `past`: a held sample's, or at the end those of the last sample and its time.
  const double* lastHeld = held_[held_.size() - 1];
  const bool within = past < held_.size();
  const double* to = within ? held_[past] : lastHeld;
  const double covered = within ? to[1] : lastHeld[1] + interval_;
  // Only the window's last sample can reach beyond its end: the samples' times do not overlap.
  const std::size_t last = past - 1;
  const double* lastIn = held_[last];
  const double over = std::max(0.0, lastIn[0] + stands(last) - closes);
  const double time = covered - first[1] - over;
  if (time > 0.0) {
    const double coverage = std::min(1.0, time / window_);
    for (std::size_t c = 0; c < n; ++c) {
      const double weighted = within ? to[2 + n + c] : to[2 + n + c] + interval_ * to[2 + c];
      const double mean = (weighted - first[2 + n + c] - over * lastIn[2 + c]) / time;
      // Of windows equal but for rounding, the first is kept.
      std::optional<WindowAverage>& best = best_[c];
      if (!best || mean > best->ratio + 1e-12 * std::abs(best->ratio))
        best = WindowAverage{mean, closed_, first[0], coverage};
    }
  }
  held_.pop_front();
  ++closed_;
  if (past_ > 0) --past_;
}

std::vector<std::optional<WindowAverage>> WindowAverager::finishAll() {
  if (held_.empty() || !(window_ > 0.0) || !(interval_ > 0.0))
    return std::vector<std::optional<WindowAverage>>(columns_);
  const double end = held_[held_.size() - 1][0] + interval_;
  // A window ending within a nanosecond of the end still ends by it.
  const double slack = 1e-9 * std::max(1.0, std::abs(end));
  while (!held_.empty()) {
    const double closes = held_[0][0] + window_;
    if (closes > end + slack) break;
    close(reach(closes), closes);
  }
  held_.clear();
  return best_;
}

WindowAverager WindowAverager::split(std::size_t column) const {
  WindowAverager one(interval_, window_);
  for (std::size_t k = 0; k < held_.size(); ++k) {
    const double* from = held_[k];
    double* to = one.held_.push();
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2 + column];
    to[3] = from[2 + columns_ + column];
  }
  one.closed_ = closed_;
  one.past_ = past_;
  one.best_[0] = best_[column];
  return one;
}

std::optional<WindowAverage> highestAverage(std::span<const double> times,
                                            std::span<const double> ratio, double interval,
                                            double window) {
  WindowAverager averager(interval, window);
  const std::size_t n = std::min(times.size(), ratio.size());
  for (std::size_t k = 0; k < n; ++k) averager.add(times[k], ratio[k]);
  return averager.finish();
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

namespace {

// A column's assessment from its maximum and its highest time average.
ColumnAssessment columnAssessment(const std::string& title, std::string_view units,
                                  const ReadingUnit& unit, double limit, double maximum,
                                  const std::optional<WindowAverage>& best, double uncertaintyDb) {
  ColumnAssessment a;
  a.title = title;
  a.units = std::string(units);
  a.limit = limit;
  a.maximum = maximum;
  const double maxPower = powerRatio(unit, a.maximum, a.limit);
  a.maxPowerPercent = maxPower * 100.0;
  a.maxFieldPercent = unit.kind == ReadingUnit::kField ? percentOf(a.maximum, a.limit)
                                                       : std::sqrt(std::max(0.0, maxPower)) * 100.0;
  if (!best) {
    a.verdict = verdictOf(maxPower, uncertaintyDb);
    return a;
  }
  const double value =
      unit.kind == ReadingUnit::kField ? a.limit * std::sqrt(best->ratio) : a.limit * best->ratio;
  a.average =
      ColumnAssessment::Average{value, best->ratio * 100.0, best->startTime, best->coverage};
  a.verdict = verdictOf(best->ratio, uncertaintyDb);
  return a;
}

}  // namespace

ColumnAssessment assessColumn(const std::string& title, std::string_view units,
                              const ReadingUnit& unit, const Limits& limits,
                              std::span<const double> times, std::span<const float> values,
                              double interval, double uncertaintyDb) {
  const double limit = limitIn(unit, limits);
  WindowAverager window(interval, limits.averagingSeconds);
  double maximum = 0.0;
  const std::size_t n = std::min(times.size(), values.size());
  for (std::size_t k = 0; k < n; ++k) {
    window.add(times[k], powerRatio(unit, values[k], limit));
    if (k == 0 || values[k] > maximum) maximum = values[k];
  }
  return columnAssessment(title, units, unit, limit, maximum, window.finish(), uncertaintyDb);
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
  Assessor assessor(chart, limits, uncertaintyDb);
  assessor.add(chart);
  return std::move(assessor).finish();
}

Assessor::Assessor(const ChartData& details, const Limits& limits, double uncertaintyDb)
    : unit_(readingUnit(details.units)),
      units_(details.units),
      limits_(limits),
      uncertaintyDb_(uncertaintyDb),
      interval_(details.logInterval) {
  if (unit_) limit_ = limitIn(*unit_, limits_);
  for (const ChartSeries& s : details.series) columns_.push_back({s.title, 0, 0.0, std::nullopt});
}

void Assessor::add(const ChartData& part) {
  if (!unit_) return;
  if (!(interval_ > 0.0)) interval_ = loggingInterval(part);
  if (!shared_) shared_.emplace(interval_, limits_.averagingSeconds, columns_.size());
  const std::size_t columns = std::min(part.series.size(), columns_.size());
  // A column with a sample that was no number, or fewer samples than the part, leaves the shared
  // windows for good: its windows start at its own samples.
  for (std::size_t k = 0; k < columns; ++k) {
    const ChartSeries& s = part.series[k];
    Column& c = columns_[k];
    if (!c.own && (!s.unread.empty() || s.y.size() < part.x.size())) c.own = shared_->split(k);
    if (c.own) addOwn(c, s, part);
  }
  addShared(part);
}

void Assessor::addShared(const ChartData& part) {
  if (std::all_of(columns_.begin(), columns_.end(), [](const Column& c) { return c.own; })) return;
  const std::size_t columns = std::min(part.series.size(), columns_.size());
  std::vector<double> ratios(columns_.size(), 0.0);
  for (std::size_t j = 0; j < part.x.size(); ++j) {
    for (std::size_t k = 0; k < columns; ++k) {
      Column& c = columns_[k];
      if (c.own) continue;
      const float v = part.series[k].y[j];
      ratios[k] = powerRatio(*unit_, v, limit_);
      if (c.count == 0 || v > c.maximum) c.maximum = v;
      ++c.count;
    }
    shared_->add(part.x[j], ratios);
  }
}

void Assessor::addOwn(Column& c, const ChartSeries& s, const ChartData& part) {
  // The samples whose saved text was no number are no readings.
  auto unread = s.unread.begin();
  const std::size_t n = std::min(part.x.size(), s.y.size());
  for (std::size_t j = 0; j < n; ++j) {
    if (unread != s.unread.end() && *unread == j) {
      ++unread;
      continue;
    }
    const float v = s.y[j];
    c.own->add(part.x[j], powerRatio(*unit_, v, limit_));
    if (c.count == 0 || v > c.maximum) c.maximum = v;
    ++c.count;
  }
}

Assessment Assessor::finish() && {
  Assessment out;
  const std::vector<std::optional<WindowAverage>> shared =
      shared_ ? shared_->finishAll() : std::vector<std::optional<WindowAverage>>();
  for (std::size_t k = 0; k < columns_.size(); ++k) {
    Column& c = columns_[k];
    if (!unit_ || c.count == 0) {
      out.skipped.push_back(c.title);
      continue;
    }
    out.columns.push_back(columnAssessment(c.title, units_, *unit_, limit_, c.maximum,
                                           c.own ? c.own->finish() : shared.at(k), uncertaintyDb_));
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
