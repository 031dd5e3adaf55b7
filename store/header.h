#pragma once
// The current header fields of the main window: written by the upload parser, the raw file
// reader and the file-list loader; read by the list, the grid and the report.

#include <cstdint>
#include <string>

namespace kestrand::store {

struct HeaderFields {
  std::string SampDate;  // also the work string of the date conversion
  std::string SampTime;  // also the work string of the time conversion
  std::int16_t ProbeType = 0;
  std::int16_t LogMode = 0;
  std::int16_t LogRate = 0;
  std::int32_t DataFormat = 0;
  std::int32_t MoveAve = 0;
  float PeriodOn = 0.0f;
  float PeriodOff = 0.0f;
  float LogInterval = 0.0f;
  std::string ProbeName;
  std::string LogModeText;
  std::string MoveAveText;
  std::string UnitsName;  // units of the first sample on display, set with the grid
  // The record being written or read: its tag and units code.
  std::int16_t RecordTag = 0;
  std::int16_t UnitsCode = 0;
};

}  // namespace kestrand::store
