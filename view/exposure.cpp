#include "view/exposure.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "core/text.h"

namespace kestrand::view {

namespace {

constexpr double kKHz = 1e3;
constexpr double kMHz = 1e6;
constexpr double kGHz = 1e9;

// Levels and times: a constant, or a * f^b with f in MHz or GHz.
constexpr Formula c(double a) {
  return {a, 0.0, 1.0};
}
constexpr Formula mhz(double a, double b) {
  return {a, b, kMHz};
}
constexpr Formula ghz(double a, double b) {
  return {a, b, kGHz};
}
constexpr Formula kNone{};
constexpr Formula kSix = c(6.0);
constexpr Formula kThirty = c(30.0);
// ICNIRP 1998 above 10 GHz: 68 / f_G^1.05 minutes.
constexpr Formula kIcnirp98High = ghz(68.0, -1.05);

constexpr const char* kFccOcc = "47 CFR 1.1310 Table 1 (A), occupational/controlled";
constexpr const char* kFccGen = "47 CFR 1.1310 Table 1 (B), general population/uncontrolled";
constexpr const char* kI98Occ = "ICNIRP 1998 Table 6";
constexpr const char* kI98Pub = "ICNIRP 1998 Table 7";
constexpr const char* kI20Body = "ICNIRP 2020 Table 5";
constexpr const char* kI20Local = "ICNIRP 2020 Table 6";

// clang-format off
constexpr std::array kStandards = {
    Standard{"fcc-occupational", "FCC 47 CFR 1.1310, occupational/controlled exposure", 0.3 * kMHz, 100 * kGHz},
    Standard{"fcc-general", "FCC 47 CFR 1.1310, general population/uncontrolled exposure", 0.3 * kMHz, 100 * kGHz},
    Standard{"icnirp1998-occupational", "ICNIRP 1998, occupational exposure", 100 * kKHz, 300 * kGHz},
    Standard{"icnirp1998-public", "ICNIRP 1998, general public exposure", 100 * kKHz, 300 * kGHz},
    Standard{"icnirp2020-occupational", "ICNIRP 2020, occupational whole-body exposure", 100 * kKHz, 300 * kGHz},
    Standard{"icnirp2020-public", "ICNIRP 2020, general public whole-body exposure", 100 * kKHz, 300 * kGHz},
    Standard{"icnirp2020-occupational-local", "ICNIRP 2020, occupational local exposure", 100 * kKHz, 300 * kGHz},
    Standard{"icnirp2020-public-local", "ICNIRP 2020, general public local exposure", 100 * kKHz, 300 * kGHz},
};

// standard, low, high, ends below high, E, H, S, averaging (minutes), source.
constexpr std::array kBands = {
    Band{"fcc-occupational", 0.3 * kMHz, 3 * kMHz, false, c(614), c(1.63), c(1000), kSix, kFccOcc},
    Band{"fcc-occupational", 3 * kMHz, 30 * kMHz, false, mhz(1842, -1), mhz(4.89, -1), mhz(9000, -2), kSix, kFccOcc},
    Band{"fcc-occupational", 30 * kMHz, 300 * kMHz, false, c(61.4), c(0.163), c(10), kSix, kFccOcc},
    Band{"fcc-occupational", 300 * kMHz, 1500 * kMHz, false, kNone, kNone, mhz(1.0 / 30, 1), kSix, kFccOcc},
    Band{"fcc-occupational", 1500 * kMHz, 100 * kGHz, false, kNone, kNone, c(50), kSix, kFccOcc},

    Band{"fcc-general", 0.3 * kMHz, 1.34 * kMHz, false, c(614), c(1.63), c(1000), kThirty, kFccGen},
    Band{"fcc-general", 1.34 * kMHz, 30 * kMHz, false, mhz(824, -1), mhz(2.19, -1), mhz(1800, -2), kThirty, kFccGen},
    Band{"fcc-general", 30 * kMHz, 300 * kMHz, false, c(27.5), c(0.073), c(2), kThirty, kFccGen},
    Band{"fcc-general", 300 * kMHz, 1500 * kMHz, false, kNone, kNone, mhz(1.0 / 150, 1), kThirty, kFccGen},
    Band{"fcc-general", 1500 * kMHz, 100 * kGHz, false, kNone, kNone, c(10), kThirty, kFccGen},

    Band{"icnirp1998-occupational", 0.065 * kMHz, 1 * kMHz, false, c(610), mhz(1.6, -1), kNone, kSix, kI98Occ},
    Band{"icnirp1998-occupational", 1 * kMHz, 10 * kMHz, false, mhz(610, -1), mhz(1.6, -1), kNone, kSix, kI98Occ},
    Band{"icnirp1998-occupational", 10 * kMHz, 400 * kMHz, false, c(61), c(0.16), c(10), kSix, kI98Occ},
    Band{"icnirp1998-occupational", 400 * kMHz, 2000 * kMHz, false, mhz(3, 0.5), mhz(0.008, 0.5), mhz(1.0 / 40, 1), kSix, kI98Occ},
    Band{"icnirp1998-occupational", 2 * kGHz, 10 * kGHz, false, c(137), c(0.36), c(50), kSix, kI98Occ},
    Band{"icnirp1998-occupational", 10 * kGHz, 300 * kGHz, false, c(137), c(0.36), c(50), kIcnirp98High, kI98Occ},

    Band{"icnirp1998-public", 3 * kKHz, 150 * kKHz, false, c(87), c(5), kNone, kSix, kI98Pub},
    Band{"icnirp1998-public", 0.15 * kMHz, 1 * kMHz, false, c(87), mhz(0.73, -1), kNone, kSix, kI98Pub},
    Band{"icnirp1998-public", 1 * kMHz, 10 * kMHz, false, mhz(87, -0.5), mhz(0.73, -1), kNone, kSix, kI98Pub},
    Band{"icnirp1998-public", 10 * kMHz, 400 * kMHz, false, c(28), c(0.073), c(2), kSix, kI98Pub},
    Band{"icnirp1998-public", 400 * kMHz, 2000 * kMHz, false, mhz(1.375, 0.5), mhz(0.0037, 0.5), mhz(1.0 / 200, 1), kSix, kI98Pub},
    Band{"icnirp1998-public", 2 * kGHz, 10 * kGHz, false, c(61), c(0.16), c(10), kSix, kI98Pub},
    Band{"icnirp1998-public", 10 * kGHz, 300 * kGHz, false, c(61), c(0.16), c(10), kIcnirp98High, kI98Pub},

    Band{"icnirp2020-occupational", 0.1 * kMHz, 30 * kMHz, false, mhz(660, -0.7), mhz(4.9, -1), kNone, kThirty, kI20Body},
    Band{"icnirp2020-occupational", 30 * kMHz, 400 * kMHz, false, c(61), c(0.16), c(10), kThirty, kI20Body},
    Band{"icnirp2020-occupational", 400 * kMHz, 2000 * kMHz, false, mhz(3, 0.5), mhz(0.008, 0.5), mhz(1.0 / 40, 1), kThirty, kI20Body},
    Band{"icnirp2020-occupational", 2 * kGHz, 300 * kGHz, false, kNone, kNone, c(50), kThirty, kI20Body},

    Band{"icnirp2020-public", 0.1 * kMHz, 30 * kMHz, false, mhz(300, -0.7), mhz(2.2, -1), kNone, kThirty, kI20Body},
    Band{"icnirp2020-public", 30 * kMHz, 400 * kMHz, false, c(27.7), c(0.073), c(2), kThirty, kI20Body},
    Band{"icnirp2020-public", 400 * kMHz, 2000 * kMHz, false, mhz(1.375, 0.5), mhz(0.0037, 0.5), mhz(1.0 / 200, 1), kThirty, kI20Body},
    Band{"icnirp2020-public", 2 * kGHz, 300 * kGHz, false, kNone, kNone, c(10), kThirty, kI20Body},

    Band{"icnirp2020-occupational-local", 0.1 * kMHz, 30 * kMHz, false, mhz(1504, -0.7), mhz(10.8, -1), kNone, kSix, kI20Local},
    Band{"icnirp2020-occupational-local", 30 * kMHz, 400 * kMHz, false, c(139), c(0.36), c(50), kSix, kI20Local},
    Band{"icnirp2020-occupational-local", 400 * kMHz, 2000 * kMHz, false, mhz(10.58, 0.43), mhz(0.0274, 0.43), mhz(0.29, 0.86), kSix, kI20Local},
    Band{"icnirp2020-occupational-local", 2 * kGHz, 6 * kGHz, false, kNone, kNone, c(200), kSix, kI20Local},
    Band{"icnirp2020-occupational-local", 6 * kGHz, 300 * kGHz, true, kNone, kNone, ghz(275, -0.177), kSix, kI20Local},
    Band{"icnirp2020-occupational-local", 300 * kGHz, 300 * kGHz, false, kNone, kNone, c(100), kSix, kI20Local},

    Band{"icnirp2020-public-local", 0.1 * kMHz, 30 * kMHz, false, mhz(671, -0.7), mhz(4.9, -1), kNone, kSix, kI20Local},
    Band{"icnirp2020-public-local", 30 * kMHz, 400 * kMHz, false, c(62), c(0.163), c(10), kSix, kI20Local},
    Band{"icnirp2020-public-local", 400 * kMHz, 2000 * kMHz, false, mhz(4.72, 0.43), mhz(0.0123, 0.43), mhz(0.058, 0.86), kSix, kI20Local},
    Band{"icnirp2020-public-local", 2 * kGHz, 6 * kGHz, false, kNone, kNone, c(40), kSix, kI20Local},
    Band{"icnirp2020-public-local", 6 * kGHz, 300 * kGHz, true, kNone, kNone, ghz(55, -0.177), kSix, kI20Local},
    Band{"icnirp2020-public-local", 300 * kGHz, 300 * kGHz, false, kNone, kNone, c(20), kSix, kI20Local},
};
// clang-format on

// The table's level, or the plane-wave equivalent of the one it gives.
Level tableOr(const Formula& f, double hz, double derived) {
  if (f.given()) return {f.at(hz), false};
  return {derived, true};
}

}  // namespace

double Formula::at(double hz) const {
  return b == 0.0 ? a : a * std::pow(hz / scale, b);
}

std::span<const Standard> standards() {
  return kStandards;
}

std::span<const Band> bands() {
  return kBands;
}

const Standard* findStandard(std::string_view id) {
  for (const Standard& s : kStandards) {
    if (id == s.id) return &s;
  }
  return nullptr;
}

std::optional<double> parseFrequency(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, double>, 4> kUnits = {
      {{"GHz", kGHz}, {"MHz", kMHz}, {"kHz", kKHz}, {"Hz", 1.0}}};
  for (const auto& [unit, scale] : kUnits) {
    if (!text.ends_with(unit)) continue;
    const std::string_view number = text.substr(0, text.size() - unit.size());
    double v = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), v);
    if (number.empty() || error != std::errc() || end != number.data() + number.size() ||
        !std::isfinite(v) || v <= 0.0)
      return std::nullopt;
    return v * scale;
  }
  return std::nullopt;
}

std::optional<double> parseUncertainty(std::string_view text) {
  text = withoutSpaces(text);
  if (text.empty()) return 0.0;
  if (text.ends_with("dB")) text = withoutSpaces(text.substr(0, text.size() - 2));
  double db = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), db);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(db) || db < 0.0)
    return std::nullopt;
  return db + 0.0;  // -0 is 0
}

std::optional<AssessmentBasis> assessmentBasis(const AssessmentChoice& choice, std::string& why) {
  why.clear();
  const Standard* standard = findStandard(choice.standard);
  if (!standard || choice.frequency.empty()) return std::nullopt;
  const auto hz = parseFrequency(choice.frequency);
  const auto limits = hz ? limitsAt(*standard, *hz) : std::nullopt;
  if (!limits) {
    why = "The frequency " + choice.frequency + " is no frequency within the range of " +
          standard->id + " (such as 900MHz)";
    return std::nullopt;
  }
  const auto db = parseUncertainty(choice.uncertainty);
  if (!db) {
    why = "The uncertainty " + choice.uncertainty +
          " is no number of dB of 0 or more (such as 2 or 1.5 dB)";
    return std::nullopt;
  }
  return AssessmentBasis{standard, *hz, *limits, *db};
}

std::optional<Limits> limitsAt(const Standard& standard, double hz) {
  if (!(hz >= standard.lowHz && hz <= standard.highHz)) return std::nullopt;
  // The bands follow one another: the first that reaches hz holds it.
  for (const Band& b : kBands) {
    if (std::string_view(b.standard) != standard.id) continue;
    if (b.endsBelowHigh ? hz >= b.highHz : hz > b.highHz) continue;
    Limits l;
    l.band = &b;
    l.averagingSeconds = b.averagingMinutes.at(hz) * 60.0;
    const double e = b.e.given() ? b.e.at(hz) : 0.0;
    const double h = b.h.given() ? b.h.at(hz) : 0.0;
    const double s = b.s.given()   ? b.s.at(hz)
                     : b.e.given() ? e * e / kFreeSpaceOhms
                                   : kFreeSpaceOhms * h * h;
    l.s = {s, !b.s.given()};
    l.e = tableOr(b.e, hz, std::sqrt(kFreeSpaceOhms * s));
    l.h = tableOr(b.h, hz, std::sqrt(s / kFreeSpaceOhms));
    return l;
  }
  return std::nullopt;
}

std::string levelText(double v) {
  char buf[40];
  const int n = std::snprintf(buf, sizeof buf, "%.4g", v);
  return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string frequencyText(double hz) {
  static constexpr std::array<std::pair<const char*, double>, 3> kUnits = {
      {{"GHz", kGHz}, {"MHz", kMHz}, {"kHz", kKHz}}};
  const char* unit = "Hz";
  double scale = 1.0;
  for (const auto& [name, size] : kUnits) {
    if (hz >= size) {
      unit = name;
      scale = size;
      break;
    }
  }
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, "%.10g %s", hz / scale, unit);
  return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

}  // namespace kestrand::view
