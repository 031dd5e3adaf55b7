#pragma once
// What the simulated meter uploads: the description of one logging run, its header message,
// its records and the sequence of messages that carry them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "tools/meter_sim/meter_time.h"
#include "tools/meter_sim/wire.h"

namespace kestrand::meter_sim {

// 16-bit value code: bits 13-15 a decimal exponent e, bits 0-12 a mantissa m; value m / 10^e.
std::uint16_t valueCode(unsigned exponent, unsigned mantissa);
double decodeValue(std::uint16_t code);

// The codes that the stuffing-heavy upload cycles through: each holds the byte 16, and the
// second byte of most of them is a terminator or enquiry byte.
inline constexpr std::uint16_t kStuffingHeavyCodes[] = {0x1010, 0x1004, 0x1017, 0x1003, 0x1005};
inline constexpr std::uint8_t kStuffingHeavyUnits = 16;

struct UploadDescription {
  int probe = 0;    // 0..15
  int mode = 1;     // mode field 0..3 (0 single point, 1 continuous, 2 periodic, 3 scheduled)
  int logRate = 1;  // log-rate code 0..15
  std::uint16_t columns = 1;  // DataFormat: bit k set = data column k present
  std::uint16_t moveAve = 0;  // moving-average length; 0 = no moving-average value
  std::uint32_t periodOn = 0;
  std::uint32_t periodOff = 0;
  bool longHeader = false;  // long header even when the mode is not periodic
  bool elapsed = false;     // elapsed-time flag; the header's 32-bit field is then fileNumber
  std::uint32_t fileNumber = 7;
  CivilTime start{2006, 12, 5, 14, 5, 33};
  std::uint32_t records = 100;
  std::uint32_t recordsPerMessage = 20;
  std::uint8_t units = 0;
  std::uint64_t seed = 1;
  bool stuffingHeavy = false;
};

// The header message's fields as they go on the wire.
struct HeaderFields {
  std::uint32_t stampOrFileNumber = 0;
  std::uint16_t modeWord = 0;
  std::uint16_t dataFormat = 0;
  std::uint16_t moveAve = 0;
  bool longForm = false;
  std::uint32_t periodOn = 0;
  std::uint32_t periodOff = 0;
};

// Mode word: bits 12-15 probe, 10-11 mode field, 6-9 log-rate code, bit 4 elapsed-time flag.
std::uint16_t modeWord(int probe, int mode, int logRate, bool elapsed);
bool usesLongHeader(const UploadDescription& d);
// Whether each record carries a 4-byte stamp. The receiver reads one whenever its log mode is
// 0: the single-point mode, and in elapsed-time uploads also the continuous and periodic modes
// (which it turns into time-stamped modes).
bool recordsCarryStamp(const UploadDescription& d);
// Throws std::invalid_argument when the start does not fit a stamp.
HeaderFields headerFields(const UploadDescription& d);
Bytes headerBody(const HeaderFields& h);

// Seconds between samples for a log-rate code, as the receiving program tables them.
float logIntervalSeconds(int logRate);
// Seconds between the stamps of consecutive records: the log interval in whole seconds
// (fraction dropped), at least 1.
std::uint32_t stampStepSeconds(int logRate);

struct Record {
  std::uint32_t number = 0;  // 1-based position in the upload
  std::uint8_t tag = 0;      // number mod 128; travels with bit 7 set
  std::uint8_t units = 0;
  std::optional<std::uint32_t> stamp;
  std::optional<std::uint16_t> moveAvg;
  std::vector<std::uint16_t> values;  // one per set bit of DataFormat, rising bit order
};

std::size_t recordSize(const UploadDescription& d);
void appendRecord(Bytes& out, const Record& r);
// Deterministic records for the description and its seed. Throws std::invalid_argument when a
// record stamp does not fit its word.
std::vector<Record> makeRecords(const UploadDescription& d);

struct PlannedMessage {
  MessageType type = MessageType::kData;
  Terminator terminator = Terminator::kLast;
  Bytes body;  // unstuffed
  std::size_t firstRecord = 0;
  std::size_t recordCount = 0;
};

// Message 0 is the header, then the data messages of at most recordsPerMessage records each,
// all ending "more follow" except the last. An upload without records sends one empty last
// data message so that the receiver closes its file.
std::vector<PlannedMessage> planUpload(const UploadDescription& d,
                                       const std::vector<Record>& records);

}  // namespace kestrand::meter_sim
