#include "view/stats.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

#include "core/text.h"
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
    if (from < to) addRuns<1>({&c}, {y.data() + from}, to - from, from, times, at);
    from = std::max(from, to + 1);
  }
}

namespace {

// One series' pass so far: its least and first greatest value, the greatest's place, its sums.
struct Running {
  float least = 0.0f, most = 0.0f;
  std::size_t mostAt = 0;
  double sum = 0.0, squares = 0.0;
};

inline void take(Running& r, float v, std::size_t j) {
  r.least = std::min(r.least, v);
  if (v > r.most) {
    r.most = v;
    r.mostAt = j;
  }
  const double d = v;
  r.sum += d;
  r.squares += d * d;
}

// Sample j of every series in turn, spelled out, so that each series' pass stays in registers.
template <std::size_t... K>
void takeAll(std::array<Running, sizeof...(K)>& r, const std::array<const float*, sizeof...(K)>& ys,
             std::size_t n, std::index_sequence<K...>) {
  for (std::size_t j = 0; j < n; ++j) (take(r[K], ys[K][j], j), ...);
}

}  // namespace

template <std::size_t N>
void StatsAccumulator::addRuns(const std::array<Column*, N>& cs,
                               const std::array<const float*, N>& ys, std::size_t n,
                               std::size_t first, const TimeTexts& times,
                               std::span<const std::int64_t> at) {
  // One pass with nothing but the sums depending on the sample before: the least, the first
  // greatest (only its place; its time is looked up once), the sums in the samples' order. A
  // series' sums each wait on the addition before; several series side by side add at once.
  std::array<Running, N> r;
  for (std::size_t k = 0; k < N; ++k) {
    const ColumnStats& st = cs[k]->stats;
    const bool none = st.count == 0;
    r[k].least = none ? ys[k][0] : static_cast<float>(st.minimum);
    r[k].most = none ? ys[k][0] : static_cast<float>(st.maximum);
    r[k].mostAt = none ? 0 : n;
    r[k].sum = cs[k]->sum;
    r[k].squares = cs[k]->squares;
  }
  takeAll(r, ys, n, std::make_index_sequence<N>());
  for (std::size_t k = 0; k < N; ++k) {
    Column& c = *cs[k];
    ColumnStats& st = c.stats;
    c.sum = r[k].sum;
    c.squares = r[k].squares;
    st.minimum = r[k].least;
    if (r[k].mostAt < n) {
      const std::size_t j = first + r[k].mostAt;
      st.maximum = r[k].most;
      st.maxTime = times.of(j);
      c.timed = j < at.size();
      c.maxAt = c.timed ? at[j] : 0;
    }
    st.count += n;
  }
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
  const TimeTexts times{std::span(table.SampleTime).first(n), &timeOf};
  const auto at = std::span(table.instants).first(n);
  // The series read whole go four side by side (addRuns); the columns are counted first, so
  // that none moves while they wait.
  std::size_t values = 0;
  for (int col = 0; col < grid.cols(); ++col)
    values += grid.sources[static_cast<std::size_t>(col)] == kTimeSource ? 0 : 1;
  if (columns_.size() < values) columns_.resize(values);
  constexpr std::size_t kSideBySide = 4;
  std::array<Column*, kSideBySide> waiting{};
  std::array<const float*, kSideBySide> waitingY{};
  std::size_t waits = 0;
  const auto addWaiting = [&] {
    if (waits == kSideBySide) {
      addRuns<kSideBySide>(waiting, waitingY, n, 0, times, at);
    } else {
      for (std::size_t w = 0; w < waits; ++w)
        addRuns<1>({waiting[w]}, {waitingY[w]}, n, 0, times, at);
    }
    waits = 0;
  };
  std::size_t k = 0;
  std::vector<std::size_t> unread;
  for (int col = 0; col < grid.cols(); ++col) {
    const int source = grid.sources[static_cast<std::size_t>(col)];
    if (source == kTimeSource) continue;
    // The unread cells as a chart's series keeps them: in the table's order, each after the last.
    unread.clear();
    for (const auto& [row, column] : table.unreadCells) {
      const auto sample = static_cast<std::size_t>(row);
      if (column == source && row >= 0 && sample < n && (unread.empty() || unread.back() < sample))
        unread.push_back(sample);
    }
    const float* y =
        source == store::kMoveAvgColumn ? table.MoveAvgData.data() : table.column(source);
    const std::string& title = grid.titles[static_cast<std::size_t>(col)];
    if (unread.empty() && n > 0) {
      columns_[k].stats.title = title;
      waiting[waits] = &columns_[k];
      waitingY[waits] = y;
      if (++waits == kSideBySide) addWaiting();
    } else {
      addSeries(columns_[k], title, std::span(y, n), unread, times, at);
    }
    ++k;
  }
  addWaiting();
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
  text = withoutSpaces(text);
  if (text.empty()) return std::nullopt;
  // strtod on a copy: the text must be one number and nothing more.
  const std::string copy(text);
  char* end = nullptr;
  const double v = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !isReferenceLevel(v)) return std::nullopt;
  return v;
}

}  // namespace kestrand::view
