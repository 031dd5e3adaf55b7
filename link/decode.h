#pragma once
// Decoding of the meter's messages, after their stuffing has been removed: the checksum, the
// header fields and the records of a data message, as plain values.

#include <cstdint>
#include <optional>
#include <vector>

#include "link/receive_path.h"

namespace kestrand::link {

// The sum of the body bytes modulo 256 against the checksum byte.
bool checksumMatches(const Message& m);

// The message type: byte 1 (SOH header, STX data).
std::int16_t messageType(const Message& m);

struct HeaderMsg {
  std::uint32_t stamp = 0;  // start of the logging run, or a file number in elapsed-time mode
  std::int16_t ProbeType = 0;
  std::int16_t LogMode = 0;  // the 2-bit mode field
  std::int16_t LogRate = 0;
  bool elapsed = false;  // bit 4 of the mode word
  std::int32_t DataFormat = 0;
  std::int32_t MoveAve = 0;
  bool longForm = false;  // carries the period fields
  std::uint32_t PeriodOn = 0;
  std::uint32_t PeriodOff = 0;
};

HeaderMsg decodeHeader(const Message& m);

struct DataRecord {
  std::int16_t RecordTag = 0;
  std::int16_t UnitsCode = 0;
  std::optional<std::uint32_t> stamp;   // present when the logging mode is 0
  std::optional<double> movingAverage;  // present when the header has one and bytes are left
  std::vector<double> values;           // one per data column present, unrounded
};

// The records of a data message under the header's mode field, moving average and columns.
std::vector<DataRecord> decodeRecords(const Message& m, std::int16_t logMode, std::int32_t moveAve,
                                      std::int32_t dataFormat);

// A 16-bit value of the link: exponent in bits 13-15, mantissa in bits 0-12.
double decodeValue(std::int16_t hi, std::int16_t lo);

}  // namespace kestrand::link
