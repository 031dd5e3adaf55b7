// A long upload taken a file at a time: statistics, assessment and the chart's reduction over
// parts agree with the same taken over the whole series at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "datetime/datetime.h"
#include "view/assessment.h"
#include "view/chart.h"
#include "view/csv.h"
#include "view/stats.h"

namespace kestrand::view {
namespace {

// Samples every 2 s from 08:00:00 with a 10-minute pause after every 500, a walk in V/m with one
// spike; `from`..`to` of them in a table of its own.
store::SampleTable table(int from, int to) {
  store::SampleTable t;
  t.NumSamples = static_cast<std::int16_t>(to - from);
  t.ColUsed[0] = t.ColUsed[4] = 1;
  for (int j = from; j < to; ++j) {
    const int row = j - from;
    t.SampleDate[row] = "01/15/2006";
    t.SampleTime[row] = datetime::formatTime12(8 * 3600 + 2 * j + 600 * (j / 500));
    t.SampleUnits[row] = "V/m";
    t.SampleData(0, row) = static_cast<float>(20 + 10 * std::sin(j * 0.05)) + (j == 1234 ? 90 : 0);
    t.SampleData(4, row) = static_cast<float>(j % 97);
    // Two cells of the second series that held no number (what they hold is no reading): the
    // first after a pause, the last.
    if (j == 1500 || j == 2999) {
      t.unreadCells.emplace_back(row, 4);
      t.SampleData(4, row) = 500;
    }
  }
  stampCsvSamples(t, false, 3);
  return t;
}

TEST(ChartParts, FilesTakenInTurnGiveTheWholeSeriesStatisticsAssessmentAndExtremes) {
  const int bounds[] = {0, 1000, 2200, 3000};
  store::HeaderFields h;
  h.LogInterval = 2;
  store::SampleTable all = table(0, 3000);
  const GridLayout grid = UpdateDataTable(all, h, {}).grid;
  const ChartData whole = chartData(grid, all, h);

  ChartBuilder builder(grid, all, h);
  StatsAccumulator stats;
  const Limits limits = limitsAt(*findStandard("icnirp1998-public"), 900e6).value();
  Assessor assessor(whole, limits, 1.0);
  ChartReduction reduction(20);
  for (int k = 0; k < 3; ++k) {
    store::SampleTable file = table(bounds[k], bounds[k + 1]);
    UpdateDataTable(file, h, {});
    builder.add(file);
    const ChartData& part = builder.takePart();
    stats.add(part);
    assessor.add(part);
    reduction.add(part);
  }
  const ChartData reduced = std::move(reduction).finish(builder.details());

  const auto s = stats.result(builder.details()), once = columnStats(whole);
  ASSERT_EQ(s.size(), 2u);
  for (std::size_t k = 0; k < s.size(); ++k) EXPECT_EQ(statsLine(s[k]), statsLine(once[k]));
  // The spike at sample 1234: 08:00:00 + 2468 s + two pauses of 600 s.
  EXPECT_EQ(statsLine(s[0]).substr(0, 40), "X-Point\t3000\t10.0001\t100.948\t09:01:08 AM");
  const Assessment a = std::move(assessor).finish(), b = assess(whole, limits, 1.0);
  ASSERT_EQ(a.columns.size(), 2u);
  for (std::size_t k = 0; k < 2; ++k)
    EXPECT_EQ(assessmentCells(whole, a.columns[k]), assessmentCells(whole, b.columns[k]));

  // The reduction keeps the ends and every series' extremes, a few points a stretch, and the
  // pauses wider than a stretch.
  EXPECT_EQ(reduced.startSecond, whole.startSecond);
  ASSERT_FALSE(reduced.x.empty());
  EXPECT_EQ(reduced.x.front(), 0.0);
  EXPECT_EQ(reduced.x.back(), whole.x.back());
  // At most twice as many stretches as columns, each with its ends and two series' extremes.
  EXPECT_LE(reduced.samples(), 2u * 20 * 6) << reduced.samples();
  for (std::size_t k = 0; k < 2; ++k) {
    const auto [lo, hi] = std::minmax_element(whole.series[k].y.begin(), whole.series[k].y.end());
    const auto [rlo, rhi] =
        std::minmax_element(reduced.series[k].y.begin(), reduced.series[k].y.end());
    EXPECT_EQ(*rlo, *lo);
    EXPECT_EQ(*rhi, *hi);
  }
  // The unread cells stay marked at their own samples, which the reduction keeps.
  std::vector<double> unreadAt;
  for (const std::size_t u : reduced.series[1].unread) unreadAt.push_back(reduced.x[u]);
  EXPECT_EQ(unreadAt, (std::vector<double>{whole.x[1500], whole.x[2999]}));
  ASSERT_EQ(whole.runStarts.size(), 6u);
  ASSERT_EQ(reduced.runStarts.size(), 6u);
  for (std::size_t r = 1; r < 6; ++r)
    EXPECT_EQ(reduced.x[reduced.runStarts[r]], whole.x[whole.runStarts[r]]);
}

// The reduction of `parts` to `columns`, told beforehand that the chart reaches `expected`.
ChartData reducedInParts(const std::vector<ChartData>& parts, int columns, double expected) {
  ChartReduction reduction(columns);
  if (expected > 0) reduction.expectAtLeast(expected);
  for (const ChartData& part : parts) reduction.add(part);
  return std::move(reduction).finish(parts.front());
}

TEST(ChartParts, AReductionToldTheLengthBeforehandKeepsWhatOneToldNothingKeeps) {
  // Parts of very different lengths, so that the stretches double several times as they come.
  const int bounds[] = {0, 150, 400, 1100, 3000};
  store::HeaderFields h;
  h.LogInterval = 2;
  store::SampleTable all = table(0, 3000);
  const GridLayout grid = UpdateDataTable(all, h, {}).grid;
  ChartBuilder builder(grid, all, h);
  std::vector<ChartData> parts;
  for (int k = 0; k < 4; ++k) {
    store::SampleTable file = table(bounds[k], bounds[k + 1]);
    UpdateDataTable(file, h, {});
    builder.add(file);
    parts.push_back(builder.takePart());
  }
  const double end = parts.back().x.back();
  for (const int columns : {7, 20, 90}) {
    SCOPED_TRACE(columns);
    const ChartData told = reducedInParts(parts, columns, 0);
    // Told the whole length, or less of it (as a whole upload's least length is), or nothing
    // beyond the first part: the same samples, the same pauses.
    for (const double expected : {end, end * 0.6, parts[0].x.back()}) {
      const ChartData r = reducedInParts(parts, columns, expected);
      EXPECT_EQ(r.x, told.x) << expected;
      EXPECT_EQ(r.at, told.at);
      EXPECT_EQ(r.runStarts, told.runStarts);
      for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(r.series[k].y, told.series[k].y);
        EXPECT_EQ(r.series[k].unread, told.series[k].unread);
      }
    }
    // Each stretch's first, lowest, highest and last sample of each series, in at most twice
    // as many stretches as columns.
    EXPECT_LE(told.samples(), 2u * static_cast<std::size_t>(columns) * 6) << told.samples();
    EXPECT_GE(told.samples(), static_cast<std::size_t>(columns));
  }
}

TEST(ChartParts, StatisticsAndAssessmentOfATableTakeEachColumnsOwnSamples) {
  // Six value columns, one with a cell that held no number: the table's columns read whole go
  // four side by side and the rest one by one, the chart's series one at a time.
  store::SampleTable t = table(0, 1200);
  for (const int c : {1, 2, 3, 5}) {
    t.ColUsed[c] = 1;
    for (int row = 0; row < t.NumSamples; ++row)
      t.SampleData(c, row) =
          static_cast<float>((row * (c + 3)) % 101) - 7.5f * static_cast<float>(c);
  }
  t.unreadCells.emplace_back(700, 4);
  t.SampleData(4, 700) = 1000;  // no reading
  t.SampleData(5, 700) = 900;
  store::HeaderFields h;
  h.LogInterval = 2;
  const GridLayout grid = UpdateDataTable(t, h, {}).grid;
  const auto byTable = columnStats(grid, t, h, 3, 1), byChart = columnStats(chartData(grid, t, h));
  ASSERT_EQ(byTable.size(), 6u);
  ASSERT_EQ(byChart.size(), 6u);
  for (std::size_t k = 0; k < byTable.size(); ++k)
    EXPECT_EQ(statsLine(byTable[k]), statsLine(byChart[k])) << k;
  EXPECT_EQ(byTable[4].count, 1199u);  // the cell that held no number left out
  // So does the assessment, which takes the sample beside it in the next column.
  const ChartData chart = chartData(grid, t, h);
  Assessor assessor(chart, limitsAt(*findStandard("icnirp1998-public"), 900e6).value(), 1.0);
  assessor.add(chart);
  const Assessment a = std::move(assessor).finish();
  ASSERT_EQ(a.columns.size(), 6u);
  EXPECT_EQ(a.columns[4].maximum, byTable[4].maximum);
  EXPECT_EQ(a.columns[5].maximum, 900.0);
}

}  // namespace
}  // namespace kestrand::view
