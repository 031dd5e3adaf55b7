#pragma once
// Probe models and their units texts by probe number and units code; the plausibility check of
// a header read back from a raw data file; the names of the logging modes.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrand::store {

struct ProbeRecord {
  std::string ModelName;
  std::array<std::string, 7> UnitsText;
  // Factors of 1 or 1000 per units code; kept with the table, read by nothing.
  std::array<std::array<std::int16_t, 6>, 7> ScaleFactor{};
};

class ProbeTable {
 public:
  static constexpr int kRows = 33;

  // Fills rows 0 to 19; rows 20 to 32 stay empty.
  void InitProbeTable();

  // Throws kestrand::Error (index out of range) for a probe outside 0..32 or units outside 0..6.
  const ProbeRecord& row(int probeType) const;
  const std::string& ModelName(int probeType) const { return row(probeType).ModelName; }
  const std::string& UnitsText(int probeType, int unitsCode) const;

 private:
  std::array<ProbeRecord, kRows> rows_{};
};

// True when the header is plausible (probe 0..31, mode 0..5, rate 0..15, columns 1..65535,
// moving average 0..65534). Date and time are not checked.
bool VerifyHeader(const std::string& SampDate, const std::string& SampTime, std::int16_t ProbeType,
                  std::int16_t LogMode, std::int16_t LogRate, std::int32_t DataFormat,
                  std::int32_t MoveAve);

// Name of a logging-mode code in the file list, trailing blanks included ("Periodic  ").
// Code 0 is named by the elapsed-time flag: 1 "Continuous", 2 "Spatial", else "Single Pt.".
std::string_view logModeListName(std::int16_t logMode, std::int16_t extLogMode);
// Seconds between samples for a log-rate code (0.5 s to 60 s; other codes 1 s).
float logInterval(std::int16_t logRate);

// "Logging Mode - ..." text shown with a viewed file.
std::string logModeText(std::int16_t logMode);

}  // namespace kestrand::store
