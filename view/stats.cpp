#include "view/stats.h"

#include <algorithm>
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

std::vector<ColumnStats> columnStats(const GridLayout& grid, const store::SampleTable& table,
                                     const store::HeaderFields& header, int dateChoice,
                                     int timeChoice) {
  StatsAccumulator sums;
  sums.add(grid, table);
  return sums.result(ChartBuilder(grid, table, header, dateChoice, timeChoice).details());
}

std::string StatsAccumulator::TimeTexts::of(std::size_t row) const {
  if (timeOf != nullptr && *timeOf) return (*timeOf)(row);
  return row < texts.size() ? texts[row] : std::string();
}

void StatsAccumulator::addSeries(Column& c, const std::string& title, std::span<const float> y,
                                 std::span<const std::size_t> unread, const TimeTexts& times,
                                 std::span<const std::int64_t> at) {
  c.stats.title = title;
  // The samples whose saved text was no number are no readings: the runs between them are
  // added whole.
  std::size_t from = 0;
  for (std::size_t k = 0; k <= unread.size(); ++k) {
    const std::size_t to = k < unread.size() ? std::min(unread[k], y.size()) : y.size();
    if (from < to) addRun(c, y.subspan(from, to - from), from, times, at);
    from = std::max(from, to + 1);
  }
}

void StatsAccumulator::addRun(Column& c, std::span<const float> y, std::size_t first,
                              const TimeTexts& times, std::span<const std::int64_t> at) {
  ColumnStats& st = c.stats;
  // One pass with nothing but the sums depending on the sample before: the least, the first
  // greatest (only its place; its time is looked up once), the sums in the samples' order.
  const bool none = st.count == 0;
  auto least = none ? y[0] : static_cast<float>(st.minimum);
  auto most = none ? y[0] : static_cast<float>(st.maximum);
  std::size_t mostAt = none ? 0 : y.size();
  double sum = c.sum;
  double squares = c.squares;
  for (std::size_t j = 0; j < y.size(); ++j) {
    const float v = y[j];
    least = std::min(least, v);
    if (v > most) {
      most = v;
      mostAt = j;
    }
    const double d = v;
    sum += d;
    squares += d * d;
  }
  c.sum = sum;
  c.squares = squares;
  st.minimum = least;
  if (mostAt < y.size()) {
    const std::size_t j = first + mostAt;
    st.maximum = most;
    st.maxTime = times.of(j);
    c.timed = j < at.size();
    c.maxAt = c.timed ? at[j] : 0;
  }
  st.count += y.size();
}

void StatsAccumulator::add(const ChartData& part) {
  if (columns_.size() < part.series.size()) columns_.resize(part.series.size());
  for (std::size_t k = 0; k < part.series.size(); ++k) {
    const ChartSeries& s = part.series[k];
    addSeries(columns_[k], s.title, s.y, s.unread, {part.timeTexts}, part.at);
  }
}

void StatsAccumulator::add(const GridLayout& grid, const store::SampleTable& table,
                           const TimeOfRow& timeOf) {
  const auto n = static_cast<std::size_t>(std::max<int>(table.NumSamples, 0));
  std::size_t k = 0;
  std::vector<std::size_t> unread;
  for (int col = 0; col < grid.cols(); ++col) {
    const int source = grid.sources[static_cast<std::size_t>(col)];
    if (source == kTimeSource) continue;
    if (columns_.size() <= k) columns_.resize(k + 1);
    // The unread cells as a chart's series keeps them: in the table's order, each after the last.
    unread.clear();
    for (const auto& [row, column] : table.unreadCells) {
      const auto sample = static_cast<std::size_t>(row);
      if (column == source && row >= 0 && sample < n && (unread.empty() || unread.back() < sample))
        unread.push_back(sample);
    }
    const float* y =
        source == store::kMoveAvgColumn ? table.MoveAvgData.data() : table.column(source);
    addSeries(columns_[k], grid.titles[static_cast<std::size_t>(col)], std::span(y, n), unread,
              {std::span(table.SampleTime).first(n), &timeOf}, std::span(table.instants).first(n));
    ++k;
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
