#include "store/probe_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/error.h"

namespace kestrand::store {
namespace {

TEST(ProbeTable, RowsOfEachShapeAndEmptyRowsAboveNineteen) {
  ProbeTable t;
  t.InitProbeTable();
  // One row of each shape; the superscript two is the single byte 178 after the base text.
  const struct {
    int row;
    std::string model;
    std::vector<std::string> units;  // codes 0.. in order; the rest are empty
  } rows[] = {
      {12, "QV-1520", {"V/m", "mW/cm\xB2", "k[V/m]\xB2", "N/A"}},
      {17, "R520", {"V/m", "mW/cm\xB2", "W/m\xB2", "uW/cm\xB2", "A/m", "mA/m"}},
      {19, "R531 ICNIRP", {"", "", "", "", "", "", "%"}},
      {20, "", {}},
  };
  for (const auto& e : rows) {
    SCOPED_TRACE(e.row);
    EXPECT_EQ(t.ModelName(e.row), e.model);
    for (int u = 0; u < 7; ++u) {
      EXPECT_EQ(t.UnitsText(e.row, u), u < static_cast<int>(e.units.size()) ? e.units[u] : "");
    }
  }
  for (int bad : {-1, 33}) EXPECT_THROW((void)t.row(bad), Error) << bad;
  for (int bad : {-1, 7}) EXPECT_THROW((void)t.UnitsText(0, bad), Error) << bad;
}

TEST(VerifyHeader, AcceptsExactlyTheDocumentedRanges) {
  // One field at a time at each end of its range; date and time are not checked.
  const struct {
    std::int16_t probe, mode, rate;
    std::int32_t format, moveAve;
    bool ok;
  } rows[] = {
      {0, 1, 2, 9, 60, true},     {31, 0, 0, 1, 0, true},    {32, 0, 0, 1, 0, false},
      {-1, 0, 0, 1, 0, false},    {0, 5, 0, 1, 0, true},     {0, 6, 0, 1, 0, false},
      {0, -1, 0, 1, 0, false},    {0, 0, 15, 1, 0, true},    {0, 0, 16, 1, 0, false},
      {0, 0, -1, 1, 0, false},    {0, 0, 0, 65535, 0, true}, {0, 0, 0, 65536, 0, false},
      {0, 0, 0, 0, 0, false},     {0, 0, 0, -1, 0, false},   {0, 0, 0, 1, 65534, true},
      {0, 0, 0, 1, 65535, false}, {0, 0, 0, 1, -1, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.probe << ',' << r.mode << ',' << r.rate << ','
                                      << r.format << ',' << r.moveAve);
    EXPECT_EQ(VerifyHeader("not a date", "", r.probe, r.mode, r.rate, r.format, r.moveAve), r.ok);
  }
}

}  // namespace
}  // namespace kestrand::store
