#include "view/grid.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "view/number_text.h"

namespace kestrand::view {
namespace {

TEST(NumberText, SevenDigitsBlankForTheSignNoLeadingZero) {
  const std::pair<float, const char*> rows[] = {{12.5f, " 12.5"},
                                                {0.5f, " .5"},
                                                {-0.25f, "-.25"},
                                                {0.0f, " 0"},
                                                {-3.0f, "-3"},
                                                {12.345f, " 12.345"},
                                                {100.0f, " 100"},
                                                {1.0f / 3, " .3333333"},
                                                {-2.0f / 3, "-.6666667"},
                                                {1234567.0f, " 1234567"},
                                                {9999999.0f, " 9999999"},
                                                {12345678.0f, " 1.234568E+07"},
                                                {0.0001f, " .0001"},
                                                {0.00001f, " .00001"},
                                                {-2.5e-6f, "-2.5E-06"},
                                                {3.4e38f, " 3.4E+38"},
                                                {1.0e7f, " 1E+07"},
                                                {0.007f, " .007"}};
  for (const auto& [v, text] : rows) EXPECT_EQ(numberText(v), text) << v;
}

// A table of `n` samples with value columns `cols` (value k + j / 2) and, when `mavg` is given,
// a moving-average column holding it.
store::SampleTable table(int n, std::initializer_list<int> cols, const float* mavg = nullptr) {
  store::SampleTable t;
  t.NumSamples = static_cast<std::int16_t>(n);
  for (int k : cols) {
    t.ColUsed[k] = 1;
    for (int j = 0; j < n; ++j) t.SampleData(k, j) = static_cast<float>(k + j / 2.0);
  }
  if (mavg) {
    t.ColUsed[23] = 1;
    for (int j = 0; j < n; ++j) t.MoveAvgData[j] = *mavg;
  }
  return t;
}

TEST(UpdateDataTable, WidthsFollowTheColumnCount) {
  const float shown = 2.5f;
  const float zero = 0.0f;
  const struct {
    store::SampleTable t;
    const char* format;
    std::vector<int> widths;
  } rows[] = {
      {table(3, {0, 4}), "^ Time     |^X-Point|^Y-Point", {1200, 900, 900}},
      {table(3, {0, 4, 8}), "^ Time     |^X-Point|^Y-Point|^Z-Point", {1200, 900, 900, 1200}},
      {table(3, {0, 4, 8, 12}),
       "^ Time     |^X-Point|^Y-Point|^Z-Point|^Field",
       {1200, 900, 900, 900, 1200}},
      {table(3, {0}, &shown), "^ Time     |^X-Point|^Move-Avg", {1200, 900, 1200}},
      {table(3, {0, 4}, &zero), "^ Time     |^X-Point|^Y-Point", {1200, 900, 1200}},
      {table(3, {15}, &zero), "^ Time     |^Avg", {1200, kWidgetWidth}},
  };
  for (auto row : rows) {
    SCOPED_TRACE(row.format);
    store::HeaderFields h;
    const GridLayout g = UpdateDataTable(row.t, h, {}).grid;
    EXPECT_EQ(g.formatString, row.format);
    EXPECT_EQ(g.widthsTwips, row.widths);
    EXPECT_EQ(g.rows, 4);
    EXPECT_EQ(row.t.ColUsed[23], row.format == std::string(rows[3].format) ? 1 : 0);
  }
}

TEST(UpdateDataTable, CellsAndLabels) {
  const float mavg = 0.5f;
  store::SampleTable t = table(2, {0, 3}, &mavg);
  t.SampleTime = {"02:05:09 PM", "02:05:10 PM"};
  t.SampleTime.resize(store::kSampleRows);
  t.SampleDate[0] = "01/15/2006";
  t.SampleDate[1] = "01/16/2006";
  t.SampleProbe[0] = "QV-1100";
  t.SampleUnits[0] = "mW/cm\xB2";
  store::HeaderFields h;
  h.MoveAveText = " 720";
  const DataTableView v = UpdateDataTable(t, h, {0, 8, 3, {}});
  const GridLayout& g = v.grid;
  const std::vector<std::vector<std::string>> cells = {
      {" Time     ", "X-Point", "X-Avg", "Move-Avg"},
      {"02:05:09 PM", " 0", " 3", " .5"},
      {"02:05:10 PM", " .5", " 3.5", " .5"},
      {"", "", "", ""}};
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(cellText(g, t, r, c), cells[r][c]) << r << ',' << c;
  }
  const InfoLabels want = {"Start Date - 15/01/2006", "End Date - 16/01/2006",
                           "Start Time -  14:05:09",  "End Time -  14:05:10",
                           "Number of Samples -  2",  "Probe Model Number - QV-1100",
                           "Units - mW/cm\xB2",       "Move Average =  720"};
  EXPECT_EQ(v.labels, want);
  EXPECT_EQ(h.UnitsName, "mW/cm\xB2");

  // An elapsed-time upload shows its stored date as the upload date.
  h.ProbeType = 16;
  h.SampDate = "01/20/2006";
  h.MoveAveText.clear();
  const InfoLabels elapsed = UpdateDataTable(t, h, {0, 3, 1, {}}).labels;
  EXPECT_EQ(elapsed.lblStartDate, "Upload Date - 01/20/2006");
  EXPECT_EQ(elapsed.lblEndDate, "");
  EXPECT_EQ(elapsed.MAVG_mess, "");
  // Under the elapsed-time flag the time column says so.
  EXPECT_EQ(UpdateDataTable(t, h, {1, 3, 1, {}}).grid.titles[0], " Elasped  ");
}

TEST(UpdateDataTable, EmptyTableAndStartUpLayout) {
  store::SampleTable t;
  store::HeaderFields h;
  const DataTableView v = UpdateDataTable(t, h, {});
  EXPECT_EQ(v.grid.rows, 2);
  EXPECT_EQ(v.grid.formatString, "^ Time     ");
  EXPECT_EQ(cellText(v.grid, t, 1, 0), "");
  EXPECT_EQ(v.labels,
            (InfoLabels{"Start Date - ", "End Date - ", "Start Time - ", "End Time - ",
                        "Number of Samples - ", "Probe Model Number - ", "Units - ", ""}));
  EXPECT_EQ(t.NumSamples, 0);

  for (int elapsed : {0, 1}) {
    const GridLayout g = UpdateDataTable2(elapsed);
    ASSERT_EQ(g.cols(), 18);
    EXPECT_EQ(g.rows, 1);
    EXPECT_EQ(g.formatString.substr(0, 18), elapsed ? "^Elased |^X-Point|" : "^Time   |^X-Point|");
    EXPECT_EQ(g.titles[16] + g.titles[17], "AvgMove-Avg");
    std::vector<int> widths(18, 900);
    widths.front() = widths.back() = 1200;
    EXPECT_EQ(g.widthsTwips, widths);
  }
}

}  // namespace
}  // namespace kestrand::view
