#include "view/grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "view/number_text.h"

namespace kestrand::view {
namespace {

// The oracle of the number text: printf's "% .7G" (seven digits rounded ties to even, a blank
// for the sign, no trailing zeros, an exponent of two digits at least), which only puts a "0"
// before the point and takes an exponent from 1E-05 down where the grid writes zeros out.
// Chosen over a golden table because it covers any value, the ties and carries included.
std::string oracleText(float v) {
  if (v == 0 || !std::isfinite(v))
    return v == 0 ? " 0" : std::isnan(v) ? "NaN" : v < 0 ? "-Inf" : " Inf";
  char g[32];
  std::snprintf(g, sizeof g, "% .7G", static_cast<double>(v));
  std::string s = g;
  if (const auto e = s.find("E-05"); e != std::string::npos) {
    s.erase(e);
    s.erase(std::remove(s.begin(), s.end(), '.'), s.end());
    s.insert(1, ".0000");
  }
  if (s.compare(1, 2, "0.") == 0) s.erase(1, 1);
  return s;
}

TEST(NumberText, SevenDigitsAsTheFirstImplementationWroteThem) {
  EXPECT_EQ(numberText(0.5f) + numberText(-0.25f) + numberText(0) + numberText(-3), " .5-.25 0-3");
  // The extremes, ties and a carry at the seventh digit, the ends of the written-out range,
  // every binary exponent, and a day's worth of readings.
  std::vector<float> values = {FLT_MIN,     FLT_MAX,     FLT_TRUE_MIN, -FLT_MAX,   NAN,
                               -INFINITY,   -0.0f,       1000000.5f,   1000001.5f, 123456.25f,
                               0.01f,       12345678.0f, 9999999.0f,   0.00001f,   9.999999e-6f,
                               12345665.0f, 1e-6f};
  std::mt19937 gen(20061215);
  std::uniform_int_distribution<std::uint32_t> bits;
  std::uniform_int_distribution<int> thousandths(-9'999'999, 9'999'999);
  for (int i = 0; i < 4000; ++i) {
    values.push_back(std::bit_cast<float>(bits(gen)));
    values.push_back(static_cast<float>(thousandths(gen)) / 1000.0f);
  }
  for (const float v : values) ASSERT_EQ(numberText(v), oracleText(v)) << std::hexfloat << v;
}

// `n` samples in value columns `cols` (value k + j / 2); a moving average of `mavg` when >= 0.
store::SampleTable table(int n, std::initializer_list<int> cols, float mavg = -1.0f) {
  store::SampleTable t;
  t.NumSamples = static_cast<std::int16_t>(n);
  for (int k : cols) {
    t.ColUsed[k] = 1;
    for (int j = 0; j < n; ++j) t.SampleData(k, j) = static_cast<float>(k + j / 2.0);
  }
  t.ColUsed[23] = mavg >= 0.0f;
  for (int j = 0; j < n; ++j) t.MoveAvgData[j] = mavg;
  return t;
}

TEST(UpdateDataTable, WidthsFollowTheColumnCount) {
  const struct {
    store::SampleTable t;
    const char* titles;  // after the time column
    std::vector<int> widths;
  } rows[] = {
      {table(3, {0, 4}), "|^X-Point|^Y-Point", {1200, 900, 900}},
      {table(3, {0, 4, 8}), "|^X-Point|^Y-Point|^Z-Point", {1200, 900, 900, 1200}},
      {table(3, {0, 4, 8, 12}), "|^X-Point|^Y-Point|^Z-Point|^Field", {1200, 900, 900, 900, 1200}},
      {table(3, {0}, 2.5f), "|^X-Point|^Move-Avg", {1200, 900, 1200}},
      {table(3, {0, 4}, 0.0f), "|^X-Point|^Y-Point", {1200, 900, 1200}},
      {table(3, {15}, 0.0f), "|^Avg", {1200, kWidgetWidth}},
  };
  for (auto row : rows) {
    SCOPED_TRACE(row.titles);
    store::HeaderFields h;
    const GridLayout g = UpdateDataTable(row.t, h, {}).grid;
    EXPECT_EQ(g.formatString, std::string("^ Time     ") + row.titles);
    EXPECT_EQ(g.widthsTwips, row.widths);
    EXPECT_EQ(g.rows, 4);
    EXPECT_EQ(row.t.ColUsed[23], g.titles.back() == "Move-Avg");  // a zero column is dropped
  }
}

TEST(UpdateDataTable, CellsAndLabels) {
  store::SampleTable t = table(2, {0, 3}, 0.5f);
  t.SampleTime[0] = "02:05:09 PM";
  t.SampleTime[1] = "02:05:10 PM";
  t.SampleDate[0] = "01/15/2006";
  t.SampleDate[1] = "01/16/2006";
  t.SampleProbe[0] = "QV-1100";
  t.SampleUnits[0] = "mW/cm\xB2";
  store::HeaderFields h;
  h.MoveAveText = " 720";
  const DataTableView v = UpdateDataTable(t, h, {0, 8, 3, {}});
  const char* rows[] = {" Time     |X-Point|X-Avg|Move-Avg|", "02:05:09 PM| 0| 3| .5|",
                        "02:05:10 PM| .5| 3.5| .5|", "||||"};
  for (int r = 0; r < 4; ++r) {
    std::string cells;
    for (int c = 0; c < 4; ++c) cells += cellText(v.grid, t, r, c) + "|";
    EXPECT_EQ(cells, rows[r]);
    // A row as one text, as the console writes it: the same cells, separated.
    std::string row = "before:";
    appendRowText(v.grid, t, r, '|', row);
    EXPECT_EQ(row + "|", "before:" + cells);
  }
  // Numbers of every form, each written into the row where a longer one stood before.
  t.SampleData(0, 1) = -1.234568e+07f;
  t.SampleData(3, 1) = 0.00001f;
  t.MoveAvgData[1] = -0.25f;
  std::string row;
  appendRowText(v.grid, t, 2, ',', row);
  EXPECT_EQ(row, "02:05:10 PM,-1.234568E+07, .00001,-.25");
  row.clear();
  appendRowText(v.grid, t, -1, ',', row);
  EXPECT_EQ(row, ",,,");
  EXPECT_EQ(v.labels, (InfoLabels{"Start Date - 15/01/2006", "End Date - 16/01/2006",
                                  "Start Time -  14:05:09", "End Time -  14:05:10",
                                  "Number of Samples -  2", "Probe Model Number - QV-1100",
                                  "Units - mW/cm\xB2", "Move Average =  720"}));

  // An elapsed-time upload shows its stored date as the upload date; the flag renames the time.
  h.ProbeType = 16;
  h.SampDate = "01/20/2006";
  const DataTableView elapsed = UpdateDataTable(t, h, {0, 3, 1, {}});
  EXPECT_EQ(elapsed.labels.lblStartDate + "|" + elapsed.labels.lblEndDate,
            "Upload Date - 01/20/2006|");
  EXPECT_EQ(UpdateDataTable(t, h, {1, 3, 1, {}}).grid.titles[0], " Elasped  ");
}

TEST(UpdateDataTable, EmptyTableAndStartUpLayout) {
  store::SampleTable t;
  store::HeaderFields h;
  const DataTableView v = UpdateDataTable(t, h, {});
  EXPECT_EQ(v.grid.formatString + "|" + cellText(v.grid, t, 1, 0), "^ Time     |");
  EXPECT_EQ(v.grid.rows, 2);
  EXPECT_EQ(v.labels.lblStartDate + v.labels.MAVG_mess, "Start Date - ");

  for (int elapsed : {0, 1}) {
    const GridLayout g = UpdateDataTable2(elapsed);
    EXPECT_EQ(g.rows, 1);
    EXPECT_EQ(g.formatString.substr(0, 18), elapsed ? "^Elased |^X-Point|" : "^Time   |^X-Point|");
    EXPECT_EQ(g.formatString.substr(g.formatString.size() - 15), "|^Avg|^Move-Avg");
    std::vector<int> widths(18, 900);
    widths.front() = widths.back() = 1200;
    EXPECT_EQ(g.widthsTwips, widths);
  }
}

}  // namespace
}  // namespace kestrand::view
