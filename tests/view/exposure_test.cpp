// The exposure standards' levels: the worked values, every band edge on both sides, the ranges
// and the frequency texts.

#include "view/exposure.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestrand::view {
namespace {

Limits at(const char* id, double hz) {
  const Standard* s = findStandard(id);
  EXPECT_NE(s, nullptr) << id;
  const auto l = s ? limitsAt(*s, hz) : std::nullopt;
  EXPECT_TRUE(l.has_value()) << id << " " << hz;
  return l.value_or(Limits{});
}

TEST(Exposure, WorkedValuesAndPlaneWaveEquivalents) {
  struct Row {
    const char* id;
    double mhz, e, h, s;
    bool derivedE, derivedS;
  };
  const Row rows[] = {
      {"fcc-general", 900, 47.56, 0.1262, 6, true, false},
      {"fcc-occupational", 100, 61.4, 0.163, 10, false, false},
      {"fcc-occupational", 10, 184.2, 0.489, 90, false, false},
      {"icnirp1998-public", 900, 41.25, 0.111, 4.5, false, false},
      {"icnirp1998-public", 1800, 58.34, 0.157, 9, false, false},
      {"icnirp1998-occupational", 5, 122, 0.32, 39.48, false, true},
      {"icnirp2020-public", 10, 59.86, 0.22, 9.503, false, true},
      {"icnirp2020-public-local", 1800, 118.5, 0.3088, 36.56, false, false},
      {"icnirp2020-occupational-local", 30000, 238.3, 0.6321, 150.6, true, false},
  };
  for (const Row& r : rows) {
    const Limits l = at(r.id, r.mhz * 1e6);
    EXPECT_NEAR(l.e.value, r.e, r.e * 5e-4) << r.id << " " << r.mhz;
    EXPECT_NEAR(l.h.value, r.h, r.h * 5e-4) << r.id << " " << r.mhz;
    EXPECT_NEAR(l.s.value, r.s, r.s * 5e-4) << r.id << " " << r.mhz;
    EXPECT_EQ(l.e.derived, r.derivedE) << r.id;
    EXPECT_EQ(l.h.derived, r.derivedE) << r.id;
    EXPECT_EQ(l.s.derived, r.derivedS) << r.id;
  }
  EXPECT_EQ(at("fcc-general", 900e6).averagingSeconds, 1800);
  EXPECT_EQ(at("icnirp2020-public-local", 1800e6).averagingSeconds, 360);
  EXPECT_NEAR(at("icnirp1998-public", 100e9).averagingSeconds, 32.41, 0.01);
}

// Each standard's edges in MHz as the tables write them, the range's first and last: a band holds
// its upper edge, the next band begins just above it, and nothing lies outside the range.
TEST(Exposure, EveryBandEdgeOnBothSides) {
  const std::pair<const char*, std::vector<double>> edges[] = {
      {"fcc-occupational", {0.3, 3, 30, 300, 1500, 100000}},
      {"fcc-general", {0.3, 1.34, 30, 300, 1500, 100000}},
      {"icnirp1998-occupational", {0.1, 1, 10, 400, 2000, 10000, 300000}},
      {"icnirp1998-public", {0.1, 0.15, 1, 10, 400, 2000, 10000, 300000}},
      {"icnirp2020-occupational", {0.1, 30, 400, 2000, 300000}},
      {"icnirp2020-public", {0.1, 30, 400, 2000, 300000}},
      {"icnirp2020-occupational-local", {0.1, 30, 400, 2000, 6000, 300000}},
      {"icnirp2020-public-local", {0.1, 30, 400, 2000, 6000, 300000}},
  };
  for (const auto& [id, mhz] : edges) {
    const Standard& s = *findStandard(id);
    const double first = mhz.front() * 1e6, last = mhz.back() * 1e6;
    EXPECT_FALSE(limitsAt(s, first * (1 - 1e-9))) << id;
    EXPECT_TRUE(limitsAt(s, first)) << id;
    EXPECT_TRUE(limitsAt(s, last)) << id;
    EXPECT_FALSE(limitsAt(s, last * (1 + 1e-9))) << id;
    for (std::size_t k = 1; k + 1 < mhz.size(); ++k) {
      const double edge = mhz[k] * 1e6;
      EXPECT_EQ(at(id, edge).band->highHz, edge) << id << " " << mhz[k];
      EXPECT_EQ(at(id, edge * (1 + 1e-9)).band->lowHz, edge) << id << " " << mhz[k];
    }
  }
  // ICNIRP 1998 averages over 6 minutes up to 10 GHz, 68 / f_G^1.05 minutes above.
  EXPECT_EQ(at("icnirp1998-occupational", 10e9).averagingSeconds, 360);
  EXPECT_NEAR(at("icnirp1998-occupational", 300e9).averagingSeconds, 10.23, 0.01);
  // ICNIRP 2020's local levels: 300 GHz alone has a band of its own.
  EXPECT_EQ(at("icnirp2020-occupational-local", 300e9).s.value, 100);
  EXPECT_NEAR(at("icnirp2020-occupational-local", 299.999e9).s.value, 100.2, 0.01);
  EXPECT_EQ(at("icnirp2020-public-local", 300e9).s.value, 20);
}

TEST(Exposure, FrequencyTextsAndIds) {
  EXPECT_EQ(parseFrequency("900MHz"), 900e6);
  EXPECT_EQ(parseFrequency("1.8GHz"), 1.8e9);
  EXPECT_EQ(parseFrequency("150kHz"), 150e3);
  EXPECT_EQ(parseFrequency("3e8Hz"), 3e8);
  for (const char* bad : {"", "900", "MHz", "900 MHz", " 900MHz", "900mhz", "900MHz ", "-1GHz",
                          "0GHz", "infGHz", "nanHz", "1,8GHz", "0x10Hz", "+5MHz", "5THz"}) {
    EXPECT_FALSE(parseFrequency(bad)) << bad;
  }
  // The uncertainty as the Chart tab's field or --uncertainty gives it.
  EXPECT_EQ(parseUncertainty(""), 0.0);
  EXPECT_EQ(parseUncertainty("2"), 2.0);
  EXPECT_EQ(parseUncertainty(" 1.5 dB "), 1.5);
  EXPECT_EQ(parseUncertainty("3dB"), 3.0);
  EXPECT_EQ(parseUncertainty("0"), 0.0);
  for (const char* bad : {"dB", "-1", "1,5", "inf", "nan", "2 db", "2 dB dB", "x", "1e999"}) {
    EXPECT_FALSE(parseUncertainty(bad)) << bad;
  }
  EXPECT_EQ(findStandard("icnirp"), nullptr);
  EXPECT_EQ(standards().size(), 8u);
  EXPECT_EQ(frequencyText(900e6), "900 MHz");
  EXPECT_EQ(frequencyText(1.8e9), "1.8 GHz");
  EXPECT_EQ(levelText(47.56048), "47.56");
}

}  // namespace
}  // namespace kestrand::view
