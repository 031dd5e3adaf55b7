// The assessment of readings against a standard: the units' levels and ratios, the time-weighted
// window average, and the verdict with an uncertainty.

#include "view/assessment.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestrand::view {
namespace {

Limits limits(const char* id, double hz) {
  return limitsAt(*findStandard(id), hz).value();
}

// Samples a second apart at [from, to) seconds, each `value`.
void run(std::vector<double>& t, std::vector<float>& y, int from, int to, float value) {
  for (int s = from; s < to; ++s) {
    t.push_back(s);
    y.push_back(value);
  }
}

TEST(Assessment, FieldAndPowerUnitsAgainstTheirLevels) {
  const Limits l = limits("icnirp1998-public", 900e6);  // 41.25 V/m, 0.111 A/m, 4.5 W/m2
  const std::pair<const char*, double> levels[] = {
      {"V/m", 41.25},           {"A/m", 0.111},          {"mA/m", 111},
      {"[V/m]\xB2", 1701.5625}, {"k[V/m]\xB2", 1.70156}, {"[A/m]\xB2", 0.012321},
      {"m[A/m]\xB2", 12.321},   {"W/m\xB2", 4.5},        {"mW/cm\xB2", 0.45},
      {" uW/cm\xB2 ", 450}};
  for (const auto& [units, level] : levels) {
    const auto unit = readingUnit(units);
    ASSERT_TRUE(unit) << units;
    EXPECT_NEAR(limitIn(*unit, l), level, level * 1e-5) << units;
    // Half the level: a quarter of the power for a field, half of it otherwise.
    EXPECT_NEAR(powerRatio(*unit, level / 2, limitIn(*unit, l)),
                unit->kind == ReadingUnit::kField ? 0.25 : 0.5, 1e-5)
        << units;
  }
  for (const char* other : {"%", "mA", "", "V/m2", "mW/cm2"}) EXPECT_FALSE(readingUnit(other));

  const std::vector<double> t = {0, 1};
  const std::vector<float> field = {10, 20.625f}, power = {0.1f, 0.225f};
  const auto e = assessColumn("X", "V/m", *readingUnit("V/m"), l, t, field, 1, 0);
  EXPECT_DOUBLE_EQ(e.maxFieldPercent, 50.0);
  EXPECT_DOUBLE_EQ(e.maxPowerPercent, 25.0);
  const auto s = assessColumn("X", "mW/cm\xB2", *readingUnit("mW/cm\xB2"), l, t, power, 1, 0);
  EXPECT_NEAR(s.maxFieldPercent, 70.71, 0.01);
  EXPECT_NEAR(s.maxPowerPercent, 50.0, 1e-4);
  // Two seconds are far shorter than six minutes: the maximum decides.
  EXPECT_FALSE(s.average);
  EXPECT_EQ(s.verdict, Verdict::kComplies);
}

// 86.83 V/m for 3 minutes, then 0 for 3 minutes: an rms of 61.40 V/m over 6 minutes, the whole
// of fcc-occupational's 61.4 V/m at 100 MHz.
TEST(Assessment, WorkedSixMinuteAverage) {
  std::vector<double> t;
  std::vector<float> y;
  run(t, y, 0, 180, 86.83f);
  run(t, y, 180, 360, 0);
  const Limits l = limits("fcc-occupational", 100e6);
  const auto a = assessColumn("X", "V/m", *readingUnit("V/m"), l, t, y, 1, 0);
  ASSERT_TRUE(a.average);
  EXPECT_NEAR(a.average->value, 61.40, 0.005);
  EXPECT_NEAR(a.average->powerPercent, 100.0, 0.05);
  EXPECT_EQ(a.average->startSeconds, 0);
  EXPECT_EQ(a.average->coverage, 1.0);
  EXPECT_EQ(a.verdict, Verdict::kComplies);
  EXPECT_NEAR(a.maxFieldPercent, 141.4, 0.05);
  // A second short of six minutes leaves no window: the maximum, 200 % of the power, decides.
  t.pop_back();
  y.pop_back();
  const auto shorter = assessColumn("X", "V/m", *readingUnit("V/m"), l, t, y, 1, 0);
  EXPECT_FALSE(shorter.average);
  EXPECT_EQ(shorter.verdict, Verdict::kExceeds);
}

// Periodic logging, a minute on and four off: a sample stands for one interval at most, so the
// pauses are no readings, and the coverage says how much of the window was measured.
TEST(Assessment, PausesOfPeriodicLoggingAreLeftOut) {
  std::vector<double> t;
  std::vector<float> y;
  run(t, y, 0, 60, 1);
  run(t, y, 300, 360, 3);
  run(t, y, 600, 660, 0.5f);
  const std::vector<double> ratio(y.begin(), y.end());
  const auto best = highestAverage(t, ratio, 1, 360);
  ASSERT_TRUE(best);
  // Windows start at 0..300 s; the one at 59 s holds one second of 1 and the minute of 3.
  EXPECT_NEAR(best->ratio, 181.0 / 61.0, 1e-12);
  EXPECT_EQ(t[best->start], 59);
  EXPECT_NEAR(best->coverage, 61.0 / 360.0, 1e-12);
  // A window that reaches into a sample's time counts only the part inside it.
  const auto half = highestAverage(std::vector<double>{0, 10}, std::vector<double>{2, 1}, 10, 15);
  ASSERT_TRUE(half);
  EXPECT_NEAR(half->ratio, (2 * 10 + 1 * 5) / 15.0, 1e-12);
}

// The highest average the long way: every window that starts at a sample, its samples' times
// cut to it.
std::optional<std::pair<double, std::size_t>> highestTheLongWay(const std::vector<double>& t,
                                                                const std::vector<double>& r,
                                                                double interval, double window) {
  const double end = t.back() + interval;
  std::optional<std::pair<double, std::size_t>> best;
  for (std::size_t i = 0; i < t.size() && t[i] + window <= end; ++i) {
    const double closes = t[i] + window;
    double covered = 0, weighted = 0;
    for (std::size_t k = i; k < t.size() && t[k] < closes; ++k) {
      const double stands =
          k + 1 < t.size() ? std::clamp(t[k + 1] - t[k], 0.0, interval) : interval;
      const double part = std::min(t[k] + stands, closes) - t[k];
      covered += part;
      weighted += part * r[k];
    }
    if (covered > 0 && (!best || weighted / covered > best->first)) best = {weighted / covered, i};
  }
  return best;
}

TEST(Assessment, ALongUploadsHighestAverageIsTheOneEveryWindowGives) {
  // Thousands of samples a second apart, with pauses and repeated times: each six-minute window
  // holds hundreds of them, which are let go one by one as the windows close.
  std::vector<double> t, r;
  std::uint32_t seed = 5;
  double now = 0;
  for (int k = 0; k < 4000; ++k) {
    seed = seed * 1664525u + 1013904223u;
    now += k % 900 == 899 ? 200.0 : (seed >> 28) == 0 ? 0.0 : 1.0;
    t.push_back(now);
    r.push_back(static_cast<double>(seed >> 8 & 0xFFFF) / 65536.0 + (k / 1000 == 2 ? 0.3 : 0.0));
  }
  const auto best = highestAverage(t, r, 1, 360);
  const auto expected = highestTheLongWay(t, r, 1, 360);
  ASSERT_TRUE(best && expected);
  EXPECT_NEAR(best->ratio, expected->first, 1e-9);
  EXPECT_EQ(best->start, expected->second);

  // Columns that share the times, the middle one taken out on its own within the best windows
  // (as a column with a reading that was no number is): each gives what it gives alone.
  WindowAverager three(1, 360, 3);
  std::optional<WindowAverager> own;
  std::vector<double> down, twice;
  for (std::size_t k = 0; k < t.size(); ++k) {
    if (k == 2500) own = three.split(1);
    down.push_back(4.0 - r[k]);
    twice.push_back(2.0 * r[k]);
    three.add(t[k], std::vector<double>{down.back(), r[k], twice.back()});
    if (own) own->add(t[k], r[k]);
  }
  const auto shared = three.finishAll();
  const auto same = [](const std::optional<WindowAverage>& a,
                       const std::optional<WindowAverage>& b) {
    return a && b && a->ratio == b->ratio && a->start == b->start && a->coverage == b->coverage;
  };
  EXPECT_TRUE(same(shared[0], highestAverage(t, down, 1, 360)));
  EXPECT_TRUE(same(own->finish(), best));
  EXPECT_TRUE(same(shared[2], highestAverage(t, twice, 1, 360)));
}

TEST(Assessment, VerdictsWithAnUncertainty) {
  // 1 dB is a factor of 1.2589 in power.
  EXPECT_EQ(verdictOf(1.0, 0), Verdict::kComplies);
  EXPECT_EQ(verdictOf(1.0001, 0), Verdict::kExceeds);
  EXPECT_EQ(verdictOf(0.79, 1), Verdict::kComplies);
  EXPECT_EQ(verdictOf(0.80, 1), Verdict::kInconclusive);
  EXPECT_EQ(verdictOf(1.25, 1), Verdict::kInconclusive);
  EXPECT_EQ(verdictOf(1.26, 1), Verdict::kExceeds);
  EXPECT_STREQ(verdictText(Verdict::kInconclusive), "inconclusive");
}

}  // namespace
}  // namespace kestrand::view
