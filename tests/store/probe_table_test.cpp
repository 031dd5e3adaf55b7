#include "store/probe_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/error.h"

namespace kestrand::store {
namespace {

const std::string kSq = "\xB2";  // superscript two, one byte

ProbeTable filledTable() {
  ProbeTable t;
  t.InitProbeTable();
  return t;
}

TEST(ProbeTable, RowsHoldTheModelNamesAndUnitsOfEveryFilledProbe) {
  const ProbeTable t = filledTable();
  struct Expected {
    int row;
    std::string model;
    std::vector<std::string> units;  // codes 0.. in order; the rest are empty
  };
  const std::vector<Expected> rows = {
      {0, "QV-1100", {"V/m", "mW/cm\xB2", "[V/m]\xB2"}},
      {1, "QV-1200ABA", {"mA/m", "m[A/m]\xB2", "mW/cm\xB2"}},
      {2, "QV-1200BCB", {"V/m", "k[V/m]\xB2", "mW/cm\xB2"}},
      {3, "QV-1200CDC", {"V/m", "[V/m]\xB2"}},
      {4, "QV-1200DED", {"V/m", "k[V/m]\xB2", "mW/cm\xB2"}},
      {5, "QV-1200EFE", {"A/m", "[A/m]\xB2", "mW/cm\xB2"}},
      {6, "QV-1200FGF", {"V/m", "[V/m]\xB2", "mW/cm\xB2"}},
      {7, "QV-1300", {"V/m"}},
      {8, "QV-1400", {"mA"}},
      {9, "QV-1200GH", {"mA/m", "m[A/m]\xB2", "mW/cm\xB2"}},
      {10, "QV-1500", {"V/m", "mW/cm\xB2", "[V/m]\xB2"}},
      {11, "QV-1510", {"V/m", "[V/m]\xB2", "mW/cm\xB2"}},
      {12, "QV-1520", {"V/m", "mW/cm\xB2", "k[V/m]\xB2", "N/A"}},
      {13, "QV-1530", {"mA/m", "mW/cm\xB2", "m[A/m]\xB2"}},
      {14, "QV-1600", {"V/m", "mW/cm\xB2", "[V/m]\xB2"}},
      {15, "QV-1540", {"V/m", "mW/cm\xB2", "[V/m]\xB2"}},
      {16, "R510", {"V/m", "mW/cm\xB2", "W/m\xB2", "uW/cm\xB2"}},
      {17, "R520", {"V/m", "mW/cm\xB2", "W/m\xB2", "uW/cm\xB2", "A/m", "mA/m"}},
      {18, "R530 FCC", {"", "", "", "", "", "", "%"}},
      {19, "R531 ICNIRP", {"", "", "", "", "", "", "%"}},
  };
  for (const Expected& e : rows) {
    SCOPED_TRACE(e.row);
    EXPECT_EQ(t.ModelName(e.row), e.model);
    for (int u = 0; u < 7; ++u) {
      const std::string want = u < static_cast<int>(e.units.size()) ? e.units[u] : "";
      EXPECT_EQ(t.UnitsText(e.row, u), want) << "units " << u;
      // Used units codes carry factors of 1, unused ones 0.
      for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(t.row(e.row).ScaleFactor[u][k], want.empty() ? 0 : 1) << u << "," << k;
      }
    }
  }
  // The superscript is the single byte 178, directly after the base text.
  EXPECT_EQ(t.UnitsText(0, 1).size(), 6u);
  EXPECT_EQ(static_cast<unsigned char>(t.UnitsText(0, 1).back()), 178u);
  EXPECT_EQ(t.UnitsText(16, 2), "W/m" + kSq);
}

TEST(ProbeTable, RowsAboveNineteenStayEmptyAndIndexesOutsideTheTableFail) {
  const ProbeTable t = filledTable();
  for (int r = 20; r <= 32; ++r) {
    EXPECT_EQ(t.ModelName(r), "") << r;
    for (int u = 0; u <= 6; ++u) EXPECT_EQ(t.UnitsText(r, u), "") << r;
    for (const auto& factors : t.row(r).ScaleFactor)
      for (auto f : factors) EXPECT_EQ(f, 0);
  }
  // Boundary cases named by the table: row 18 code 6 is percent, row 0 code 3 is unused.
  EXPECT_EQ(t.UnitsText(18, 6), "%");
  EXPECT_EQ(t.UnitsText(0, 3), "");

  for (int bad : {-1, 33, 1000}) {
    try {
      (void)t.row(bad);
      ADD_FAILURE() << "row " << bad << " did not fail";
    } catch (const Error& e) {
      EXPECT_TRUE(e.is(ErrorKind::kIndexOutOfRange)) << bad;
    }
  }
  for (int bad : {-1, 7, 9}) {
    try {
      (void)t.UnitsText(0, bad);
      ADD_FAILURE() << "units " << bad << " did not fail";
    } catch (const Error& e) {
      EXPECT_TRUE(e.is(ErrorKind::kIndexOutOfRange)) << bad;
    }
  }
  EXPECT_THROW((void)t.UnitsText(33, 0), Error);
}

// A header that passes; each check changes one field.
bool verify(std::int16_t probe, std::int16_t mode, std::int16_t rate, std::int32_t format,
            std::int32_t moveAve) {
  return VerifyHeader("not a date", "", probe, mode, rate, format, moveAve);
}

TEST(VerifyHeader, AcceptsExactlyTheDocumentedRanges) {
  EXPECT_TRUE(verify(0, 1, 2, 9, 60));

  EXPECT_TRUE(verify(31, 0, 0, 1, 0));   // row 31 is empty but passes
  EXPECT_FALSE(verify(32, 0, 0, 1, 0));  // row 32 exists but fails
  EXPECT_FALSE(verify(-1, 0, 0, 1, 0));

  EXPECT_TRUE(verify(0, 5, 0, 1, 0));
  EXPECT_FALSE(verify(0, 6, 0, 1, 0));
  EXPECT_FALSE(verify(0, -1, 0, 1, 0));

  EXPECT_TRUE(verify(0, 0, 15, 1, 0));
  EXPECT_FALSE(verify(0, 0, 16, 1, 0));
  EXPECT_FALSE(verify(0, 0, -1, 1, 0));

  EXPECT_TRUE(verify(0, 0, 0, 65535, 0));
  EXPECT_FALSE(verify(0, 0, 0, 65536, 0));
  EXPECT_FALSE(verify(0, 0, 0, 0, 0));
  EXPECT_FALSE(verify(0, 0, 0, -1, 0));

  EXPECT_TRUE(verify(0, 0, 0, 1, 65534));
  EXPECT_FALSE(verify(0, 0, 0, 1, 65535));
  EXPECT_FALSE(verify(0, 0, 0, 1, -1));
}

TEST(LogModeNames, KeepTheirTrailingBlanks) {
  EXPECT_EQ(logModeListName(0, 0), "Single Pt.");
  EXPECT_EQ(logModeListName(0, 1), "Continuous");
  EXPECT_EQ(logModeListName(0, 2), "Spatial");
  EXPECT_EQ(logModeListName(0, 3), "Single Pt.");
  EXPECT_EQ(logModeListName(1, 0), "Continuous");
  EXPECT_EQ(logModeListName(2, 0), "Periodic  ");
  EXPECT_EQ(logModeListName(3, 0), "Scheduled ");
  EXPECT_EQ(logModeListName(4, 0), "Continuous");
  EXPECT_EQ(logModeListName(5, 0), "Spatial");
  EXPECT_EQ(logModeListName(6, 0), "Unknown   ");
  EXPECT_EQ(logModeListName(-1, 1), "Unknown   ");
  // The elapsed-time flag names code 0 only.
  EXPECT_EQ(logModeListName(2, 1), "Periodic  ");

  EXPECT_EQ(logModeText(0), "Logging Mode - Single Pt.");
  EXPECT_EQ(logModeText(1), "Logging Mode - Continuous");
  EXPECT_EQ(logModeText(2), "Logging Mode - Periodic  ");
  EXPECT_EQ(logModeText(3), "Logging Mode - Scheduled ");
  EXPECT_EQ(logModeText(4), "Logging Mode - Continuous");
  EXPECT_EQ(logModeText(5), "Logging Mode - Spatial ");
  EXPECT_EQ(logModeText(9), "Logging Mode - Unknown   ");
}

}  // namespace
}  // namespace kestrand::store
