#include "view/chart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/fakes/memory_file_system.h"
#include "view/csv.h"
#include "view/stats.h"

namespace kestrand::view {
namespace {

struct Row {
  const char* date;
  const char* time;
  float x;  // X-Point
  float y;  // Y-Point
};

ChartData chartOf(const std::vector<Row>& rows, int probeType = 0) {
  store::SampleTable t;
  t.NumSamples = static_cast<std::int16_t>(rows.size());
  t.ColUsed[0] = t.ColUsed[4] = 1;
  for (size_t j = 0; j < rows.size(); ++j) {
    t.SampleDate[j] = rows[j].date;
    t.SampleTime[j] = rows[j].time;
    t.SampleData(0, static_cast<int>(j)) = rows[j].x;
    t.SampleData(4, static_cast<int>(j)) = rows[j].y;
  }
  store::HeaderFields h;
  h.ProbeType = static_cast<std::int16_t>(probeType);
  stampCsvSamples(t, probeType >= 16, 3);  // the instants, as an opened file gets them
  return chartData(UpdateDataTable(t, h, {}).grid, t, h);
}

TEST(ColumnStats, HandComputedColumns) {
  const ChartData c = chartOf({{"01/15/2006", "02:05:09 PM", -2, 0},
                               {"01/15/2006", "02:05:10 PM", 4, 0},
                               {"01/15/2006", "02:05:11 PM", 1, 0},
                               {"01/15/2006", "02:05:12 PM", 4, 0}});
  const auto s = columnStats(c);
  ASSERT_EQ(s.size(), 2u);
  // The maximum 4 first occurs at 02:05:10 PM; mean 7/4; RMS sqrt(37/4).
  EXPECT_EQ(statsLine(s[0]), "X-Point\t4\t-2\t4\t02:05:10 PM\t1.75\t3.041381\t2006-01-15T14:05:10");
  EXPECT_EQ(statsLine(s[1]), "Y-Point\t4\t0\t0\t02:05:09 PM\t0\t0\t2006-01-15T14:05:09");
}

TEST(ColumnStats, CellsOfAnOpenedFileThatWereNoNumberAreNoReadings) {
  // The cell keeps its value (the grid shows 0), but the statistics leave it out, until the
  // table is emptied for the next file.
  const std::string titles = "\"Date\",\"Time\",\"X-Point\",\"Move-Avg\",\"Probe\"\r\n";
  const std::string rows[] = {"\"01/15/2006\",\"02:05:09 PM\",12.5,",
                              "\"01/15/2006\",\"02:05:10 PM\",",
                              "\"01/15/2006\",\"02:05:11 PM\",3,1,\"QV-1100\"\r\n"};
  store::SampleTable t;
  store::HeaderFields h;
  const auto stats = [&] {
    stampCsvSamples(t, false, 3);
    const GridLayout grid = UpdateDataTable(t, h, {}).grid;
    const std::vector<ColumnStats> s = columnStats(chartData(grid, t, h));
    // Read straight from the table, without a chart, the same.
    const std::vector<ColumnStats> direct = columnStats(grid, t, h, 3, 1);
    EXPECT_EQ(statsLine(direct[0]) + "|" + statsLine(direct[1]),
              statsLine(s[0]) + "|" + statsLine(s[1]));
    return statsLine(s[0]) + "|" + statsLine(s[1]);
  };
  OpenCsvContent(
      titles + rows[0] + "abc,\"QV-1100\"\r\n" + rows[1] + "x2,1e99,\"QV-1100\"\r\n" + rows[2], t,
      h);
  EXPECT_EQ(t.SampleData(0, 1), 0.0f);
  EXPECT_EQ(
      stats(),
      "X-Point\t2\t3\t12.5\t02:05:09 PM\t7.75\t9.089829\t2006-01-15T14:05:09|Move-Avg\t1\t1\t1\t"
      "02:05:11 PM\t1\t1\t2006-01-15T14:05:11");
  store::clear_regs(t, h);
  OpenCsvContent(titles + rows[0] + "2,\"QV-1100\"\r\n" + rows[1] + "0,0,\"QV-1100\"\r\n" + rows[2],
                 t, h);
  EXPECT_EQ(stats(),
            "X-Point\t3\t0\t12.5\t02:05:09 PM\t5.166667\t7.421815\t2006-01-15T14:05:09|"
            "Move-Avg\t3\t0\t2\t02:05:09 PM\t1\t1.290994\t2006-01-15T14:05:09");
}

TEST(ChartData, TimesAcrossMidnightAndPausesAndElapsed) {
  const struct {
    std::vector<Row> rows;
    int probeType;
    std::vector<double> x;
    std::vector<size_t> runs;
    const char* label;  // of x = 2
  } cases[] = {
      // Periodic: 3 s on, 10 s off, across midnight.
      {{{"01/15/2006", "11:59:58 PM", 1, 0},
        {"01/15/2006", "11:59:59 PM", 2, 0},
        {"01/16/2006", "12:00:00 AM", 3, 0},
        {"01/16/2006", "12:00:13 AM", 9, 0},
        {"01/16/2006", "12:00:14 AM", 9, 0}},
       0,
       {0, 1, 2, 15, 16},
       {0, 3},
       "01/16/2006"},  // the date at midnight
      // Elapsed time: hours run on past a day.
      {{{"", "23:59:59", 5, 0},
        {"", "24:00:00", 7, 0},
        {"", "24:00:01", 7, 0},
        {"", "24:00:02", 1, 0}},
       16,
       {0, 1, 2, 3},
       {0},
       "24:00:01"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.label);
    const ChartData c = chartOf(k.rows, k.probeType);
    EXPECT_EQ(c.x, k.x);
    EXPECT_EQ(c.runStarts, k.runs);
    EXPECT_EQ(axisText(c, 2), k.label);
  }
}

TEST(AxisMarks, RoundStepsOfOneTwoOrFiveAndRoundTimesOfTheClock) {
  // The axis of the field report: -499.9 to 10498.9 in at most 8 marks widens to -2000..12000.
  const Ticks wide = widenToTicks(-499.9, 10498.9, 8);
  EXPECT_EQ(wide.step, 2000);
  EXPECT_EQ(wide.at, (std::vector<double>{-2000, 0, 2000, 4000, 6000, 8000, 10000, 12000}));
  // Bounds that are marks are the ends, though 0.3 / 0.1 is a hair under 3.
  const Ticks tight = widenToTicks(0.3, 0.7, 5);
  EXPECT_EQ(tickText(tight.at.front(), 0.1) + ".." + tickText(tight.at.back(), 0.1), "0.3..0.7");
  EXPECT_EQ(ticksWithin(0, 10, 5).at, (std::vector<double>{0, 5, 10}));  // 6 at 2: one too many
  EXPECT_EQ(tickText(-1e-9, 0.05), "0.00");
  // The value axis's margin stops at zero: readings of 0 to 8188 start at 0, not at -2000.
  const ChartData field = chartOf({{"01/15/2006", "02:05:09 PM", 0, 8188}});
  EXPECT_EQ(valueRange(field, {}).lo, 0.0);
  EXPECT_EQ(widenToTicks(valueRange(field, {}).lo, valueRange(field, {}).hi, 8).at.front(), 0.0);
  EXPECT_LT(valueRange(chartOf({{"01/15/2006", "02:05:09 PM", -1, 5}}), {}).lo, -1.0);
  EXPECT_EQ(valueRange(chartOf({{"01/15/2006", "02:05:09 PM", -5, 0}}), {}).hi, 0.0);

  // An upload from 11:55:09 PM: marks on the quarter hours of the clock, past midnight.
  const ChartData night = chartOf({{"01/15/2006", "11:55:09 PM", 1, 0}});
  const std::vector<double> marks = timeTicks(night, 0, 3600, 5);
  EXPECT_EQ(marks, (std::vector<double>{291, 1191, 2091, 2991}));
  EXPECT_EQ(axisText(night, marks[1]), "12:15:00 AM");
  EXPECT_EQ(timeTicks(night, 0, 3600, 4).size(), 2u);  // half hours: 12:00 and 12:30
  EXPECT_EQ(night.start, "01/15/2006 11:55:09 PM");
}

TEST(ReduceForPixels, KeepsEveryPixelsExtremesAndBothEnds) {
  std::vector<double> x;
  std::vector<float> y;
  unsigned seed = 7;
  for (int j = 0; j < 10000; ++j) {
    seed = seed * 1103515245u + 12345u;
    x.push_back(j);
    y.push_back(j == 4321 ? 1000.0f : static_cast<float>(seed >> 20 & 1023) / 10.0f);
  }
  const auto r = reduceForPixels(x, y, 0, 9999, 100);
  ASSERT_LE(r.size(), 400u);
  EXPECT_EQ(r.front(), (ChartPoint{0, y[0]}));
  EXPECT_EQ(r.back(), (ChartPoint{9999, y[9999]}));
  // Every pixel column (100 samples wide) shows its own lowest and highest sample.
  for (int b = 0; b < 100; ++b) {
    double lo = 1e9, hi = -1e9, rlo = 1e9, rhi = -1e9;
    for (int j = b * 100; j < b * 100 + 100; ++j)
      lo = std::min<double>(lo, y[j]), hi = std::max<double>(hi, y[j]);
    for (const auto& p : r) {
      if (p.x >= b * 100 && p.x < b * 100 + 100) rlo = std::min(rlo, p.y), rhi = std::max(rhi, p.y);
    }
    EXPECT_EQ(rlo, lo) << b;
    EXPECT_EQ(rhi, hi) << b;
  }
  // A zoom keeps a sample on either side, so the line reaches both edges.
  const auto z = reduceForPixels(x, y, 2500.5, 7500.5, 100);
  EXPECT_EQ(z.front().x, 2500);
  EXPECT_EQ(z.back().x, 7501);

  const std::vector<float> level(10000, 3.5f);
  EXPECT_EQ(reduceForPixels(x, level, 0, 9999, 100),
            (std::vector<ChartPoint>{{0, 3.5}, {9999, 3.5}}));
  const auto small =
      reduceForPixels(std::span(x).first(50), std::span(level).first(50), 0, 49, 100);
  EXPECT_EQ(small.size(), 50u);
}

// A line from (0.5, 2) rising two rows a column to (3.5, 8), up to (3.9, 1.2), level to (5.2,
// 1.2): each column holds the rows of its own part of the line.
TEST(ChartData, LineColumnsCutTheSegmentsWhereTheyCrossColumns) {
  const std::vector<ChartPoint> line{{0.5, 2}, {3.5, 8}, {3.9, 1.2}, {5.2, 1.2}};
  std::vector<ColumnSpan> out;
  lineColumns(line, 0, 9, 0, 9, out);
  EXPECT_EQ(out, (std::vector<ColumnSpan>{
                     {0, 2, 3}, {1, 3, 5}, {2, 5, 7}, {3, 1, 8}, {4, 1, 1}, {5, 1, 1}}));
  // Kept to columns 1..4 and rows 2..7: column 4's part lies above, so it is left out; a lone
  // point is one pixel, appended after.
  out.clear();
  lineColumns(line, 1, 4, 2, 7, out);
  lineColumns(std::vector<ChartPoint>{{6.7, 4.4}}, 0, 9, 0, 9, out);
  EXPECT_EQ(out, (std::vector<ColumnSpan>{{1, 3, 5}, {2, 5, 7}, {3, 2, 7}, {6, 4, 4}}));
}

TEST(ReferenceLevel, FirstItemAFiniteNumberAboveZero) {
  const std::pair<const char*, std::optional<double>> rows[] = {
      {"", std::nullopt},        {"\r\n", std::nullopt},    {"abc\r\n", std::nullopt},
      {"12x\r\n", std::nullopt}, {"-3\r\n", std::nullopt},  {"0\r\n", std::nullopt},
      {"12.5\r\n", 12.5},        {" 61.4,\r\n", 61.4},      {"1e-310\r\n", std::nullopt},
      {"inf\r\n", std::nullopt}, {"nan\r\n", std::nullopt}, {"2.3e-308\r\n", 2.3e-308}};
  for (const auto& [content, level] : rows)
    EXPECT_EQ(parseReferenceLevel(content), level) << content;
  EXPECT_EQ(percentOf(30, 120), 25);
}

}  // namespace
}  // namespace kestrand::view
