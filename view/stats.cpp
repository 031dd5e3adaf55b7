#include "view/stats.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

#include "datetime/datetime.h"

namespace kestrand::view {

std::vector<ColumnStats> columnStats(const ChartData& chart) {
  StatsAccumulator sums;
  sums.add(chart);
  return sums.result(chart);
}

void StatsAccumulator::add(const ChartData& part, std::span<const std::string> times) {
  if (times.empty()) times = part.timeTexts;
  if (columns_.size() < part.series.size()) columns_.resize(part.series.size());
  for (std::size_t k = 0; k < part.series.size(); ++k) {
    const ChartSeries& s = part.series[k];
    Column& c = columns_[k];
    ColumnStats& st = c.stats;
    st.title = s.title;
    // The samples whose saved text was no number are no readings.
    auto unread = s.unread.begin();
    for (std::size_t j = 0; j < s.y.size(); ++j) {
      if (unread != s.unread.end() && *unread == j) {
        ++unread;
        continue;
      }
      const double v = s.y[j];
      if (st.count == 0 || v < st.minimum) st.minimum = v;
      if (st.count == 0 || v > st.maximum) {
        st.maximum = v;
        st.maxTime = j < times.size() ? times[j] : std::string();
        c.timed = j < part.at.size();
        c.maxAt = c.timed ? part.at[j] : 0;
      }
      c.sum += v;
      c.squares += v * v;
      ++st.count;
    }
  }
}

std::vector<ColumnStats> StatsAccumulator::result(const ChartData& details) const {
  std::vector<ColumnStats> out;
  for (const Column& c : columns_) {
    ColumnStats st = c.stats;
    if (st.count > 0) {
      if (c.timed) {
        st.maxWhen = instantText(details, c.maxAt);
        st.maxIso = datetime::isoText(c.maxAt, details.elapsed);
      }
      st.mean = c.sum / static_cast<double>(st.count);
      st.rms = std::sqrt(c.squares / static_cast<double>(st.count));
    }
    out.push_back(std::move(st));
  }
  return out;
}

std::string shortNumber(double v) {
  char buf[40];
  const int n = std::snprintf(buf, sizeof buf, "%.7g", v);
  return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::vector<std::string> statsCells(const ColumnStats& s) {
  return {s.title,   std::to_string(s.count), shortNumber(s.minimum), shortNumber(s.maximum),
          s.maxWhen, shortNumber(s.mean),     shortNumber(s.rms)};
}

std::string statsLine(const ColumnStats& s) {
  std::vector<std::string> cells = statsCells(s);
  cells[4] = s.maxTime;
  cells.push_back(s.maxIso);
  std::string line = cells[0];
  for (std::size_t k = 1; k < cells.size(); ++k) line += '\t' + cells[k];
  return line;
}

std::optional<double> parseReferenceLevel(std::string_view text) {
  text = text.substr(0, text.find_first_of(",\r\n"));
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  // strtod on a copy: the text must be one number and nothing more.
  const std::string copy(text);
  char* end = nullptr;
  const double v = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !isReferenceLevel(v)) return std::nullopt;
  return v;
}

}  // namespace kestrand::view
