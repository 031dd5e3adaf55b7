#include "view/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrand::view {
namespace {

// `n` samples in value columns `cols`, sample j of column k holding k + j / 2.
store::SampleTable table(int n, std::vector<int> cols, bool moveAvg) {
  store::SampleTable t;
  t.NumSamples = static_cast<std::int16_t>(n);
  for (int k : cols) {
    t.ColUsed[k] = 1;
    for (int j = 0; j < n; ++j) t.SampleData(k, j) = static_cast<float>(k + j / 2.0);
  }
  t.ColUsed[23] = moveAvg;
  for (int j = 0; j < n; ++j) {
    t.MoveAvgData[j] = -12.3454f;
    t.SampleDate[j] = "01/15/2006";
    t.SampleTime[j] = "02:05:09 PM";
  }
  return t;
}

TEST(PrintReport, FiftyThreeSamplesFillAPage) {
  store::HeaderFields h;
  h.MoveAveText = " 720";
  const auto pages = PrintReport(table(53, {0}, true), h);
  ASSERT_EQ(pages.size(), 2u);
  const std::string title = "Date            Time               X-Point    Move-Avg";
  const std::vector<std::string>& p1 = pages[0].lines;
  ASSERT_EQ(p1.size(), 60u);
  EXPECT_EQ(p1[0], "Probe:  " + std::string(30, ' ') + " Units: " + std::string(25, ' ') +
                       "Move Average =  720");
  EXPECT_EQ(p1[2], title);
  // Values start 7 characters before their titles: 25 of date and time against 32.
  EXPECT_EQ(p1[4], "01/15/2006  02:05:09 PM     0.000     -12.345");
  EXPECT_EQ(p1[56], "01/15/2006  02:05:09 PM    26.000     -12.345");
  EXPECT_EQ(std::vector<std::string>(p1.end() - 3, p1.end()),
            (std::vector<std::string>{" \r", " ", "Page  1 of  2\r"}));
  // The second page: its samples ran out at once, 54 lines of a single blank stand for them.
  std::vector<std::string> p2 = {p1[0], title, ""};
  p2.insert(p2.end(), 54, " ");
  p2.insert(p2.end(), {" \r", "Page  2 of  2\r"});
  EXPECT_EQ(pages[1].lines, p2);
}

TEST(PrintReport, TenColumnsPrintInTwoBlocks) {
  const std::vector<int> nine = {0, 1, 2, 4, 5, 6, 8, 12, 19};
  const auto one = PrintReport(table(2, nine, false), {});
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].lines[4].size(), 25u + 9 * 12);

  const auto two = PrintReport(table(2, nine, true), {});
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].lines[2].substr(32 + 7 * 12), "     Field  ");
  EXPECT_EQ(two[1].lines[2].substr(32), "    Z-Data    Move-Avg");
  EXPECT_EQ(two[1].lines[5], "01/15/2006  02:05:09 PM    19.500     -12.345");
  EXPECT_EQ(two[1].lines.back(), "Page  2 of  2\r");
}

TEST(ReportListing, EveryColumnOnTheA4PageInBlocksOfFive) {
  EXPECT_EQ(kReportPageCharacters, 90);  // 7.52 inches of 10-point Courier, 1/12 inch each
  store::HeaderFields h;
  h.ProbeName = "QV-1100";
  h.UnitsName = "V/m";
  h.MoveAveText = " 360";
  std::vector<int> sixteen;
  for (int k = 0; k < 16; ++k) sixteen.push_back(k + (k >= 12 ? 1 : 0));  // all but the 13th
  const auto pages = ReportListing(table(60, sixteen, true), h);
  // Four blocks (5, 5, 5, then 1 and the moving average), two pages each; a probe line of its
  // own for the moving average on every page.
  ASSERT_EQ(pages.size(), 8u);
  EXPECT_EQ(pages[0].lines[1], "Move Average =  360");
  EXPECT_EQ(pages[0].lines[3].substr(32),
            "   X-Point       X-Min       X-Max       X-Avg     Y-Point  ");
  EXPECT_EQ(pages[7].lines[2].substr(32), "     Field    Move-Avg");
  EXPECT_EQ(pages[6].lines[5], "01/15/2006  02:05:09 PM    16.000     -12.345");
  EXPECT_EQ(pages[7].lines.back(), "Page  8 of  8\r");
  for (const ReportPage& page : pages) {
    for (const std::string& line : page.lines) {
      EXPECT_LE(line.find_last_not_of(" \r") + 1, 90u) << line;
    }
  }
  // Five columns fill a line (30 + 5 x 12); with the moving average the fifth goes on.
  const auto five = ReportListing(table(2, {0, 1, 2, 3, 4}, true), h);
  ASSERT_EQ(five.size(), 2u);
  EXPECT_EQ(five[1].lines[3].substr(32), "   Y-Point    Move-Avg");

  // "Print Data" keeps its two blocks of eight columns; 90 characters cut the sixth to eighth
  // of each, and the moving average.
  EXPECT_EQ(PrintReport(table(2, sixteen, true), h).size(), 2u);
  EXPECT_EQ(
      cutColumns(table(2, sixteen, true), 90),
      (std::vector<std::string>{"Y-Min", "Y-Max", "Y-Avg", "Max", "Avg", "Field", "Move-Avg"}));
  EXPECT_TRUE(cutColumns(table(2, sixteen, true), 32 + 8 * 12 + 10).empty());
}

}  // namespace
}  // namespace kestrand::view
