#pragma once
// The exposure standards' reference levels as one table of data: a row per frequency band of
// each standard, with the band's edges, each quantity's level as a * f^b (f in the unit the band
// is written in) or none, the averaging time and where the row comes from. Levels the table does
// not give are the plane-wave equivalents with the impedance of free space taken as 377 ohms.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrand::view {

inline constexpr double kFreeSpaceOhms = 377.0;

// a * (f / scale)^b with f in Hz; a == 0: the table gives no level.
struct Formula {
  double a = 0.0;
  double b = 0.0;
  double scale = 1.0;

  bool given() const { return a != 0.0; }
  double at(double hz) const;
};

struct Band {
  const char* standard;  // the standard's id
  double lowHz;          // the band's edges as the table writes them
  double highHz;
  // The band ends just below highHz (">6-<300 GHz"); otherwise it includes highHz. A band never
  // includes its lower edge but the lowest band of a standard, which begins at the range's start.
  bool endsBelowHigh;
  Formula e;                 // V/m
  Formula h;                 // A/m
  Formula s;                 // W/m^2
  Formula averagingMinutes;  // a constant, or a formula of the frequency
  const char* source;
};

struct Standard {
  const char* id;
  const char* name;  // the full name
  double lowHz;      // the range the standard is applied in, both edges included
  double highHz;
};

// Every standard, and every band of them in order of frequency.
std::span<const Standard> standards();
std::span<const Band> bands();

const Standard* findStandard(std::string_view id);

// The hertz of a frequency text: a number in the C form followed by Hz, kHz, MHz or GHz, with
// nothing around it ("900MHz", "1.8GHz", "3e8Hz"); nullopt for anything else or a frequency
// not above 0.
std::optional<double> parseFrequency(std::string_view text);

// The expanded uncertainty of a measurement in dB, as typed: a number of 0 or more in the C form,
// with "dB" after it or not ("2", "1.5 dB"), spaces around it allowed; an empty text is 0 dB.
// nullopt for anything else.
std::optional<double> parseUncertainty(std::string_view text);

struct Level {
  double value = 0.0;
  bool derived = false;  // the plane-wave equivalent of the level the table gives
};

struct Limits {
  Level e;  // V/m
  Level h;  // A/m
  Level s;  // W/m^2
  double averagingSeconds = 0.0;
  const Band* band = nullptr;
};

// The levels of `standard` at `hz`; nullopt outside the standard's range.
std::optional<Limits> limitsAt(const Standard& standard, double hz);

// A standard, frequency and expanded uncertainty as the user chose and typed them (the Chart
// tab's choice): an id, or empty for none; a frequency text; an uncertainty text.
struct AssessmentChoice {
  std::string standard;
  std::string frequency;
  std::string uncertainty;
};

// What readings are assessed against: the standard, the frequency in hertz, the standard's
// levels there and the expanded uncertainty in dB.
struct AssessmentBasis {
  const Standard* standard = nullptr;
  double hz = 0.0;
  Limits limits;
  double uncertaintyDb = 0.0;
};

// The basis `choice` names; nullopt when it names no standard or no frequency, or (saying why
// in `why`, for the user) a frequency outside the standard's range or an uncertainty that is no
// number of dB.
std::optional<AssessmentBasis> assessmentBasis(const AssessmentChoice& choice, std::string& why);

// "%.4g" of a number, as levels and averaging times are written.
std::string levelText(double v);

// The frequency in the largest unit that keeps it at least 1 ("900 MHz", "1.8 GHz").
std::string frequencyText(double hz);

}  // namespace kestrand::view
