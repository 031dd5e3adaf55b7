#pragma once
// The header block of a raw data file, its two first lines: read by the viewer and by the file
// list alike. What a failure part-way leaves behind is the caller's choice: the block holds the
// fields read before it, and the caller copies them, or not.

#include <cstddef>
#include <cstdint>
#include <string>

#include "store/field_reader.h"
#include "store/header.h"

namespace kestrand::store {

// The fields of the header block, the longest (periodic) form.
inline constexpr int kHeaderBlockFields = 9;
// Bytes that always hold the header block of a file whose fields are all within bounds.
inline constexpr std::size_t kHeaderBlockBytes = kHeaderBlockFields * kMaxFieldBytes;

struct HeaderBlock {
  std::string date;
  std::string time;
  std::int16_t ProbeType = 0;
  std::int16_t LogMode = 0;
  std::int16_t LogRate = 0;
  std::int32_t DataFormat = 0;
  std::int32_t MoveAve = 0;
  float PeriodOn = 0.0f;  // read only when LogMode is 2
  float PeriodOff = 0.0f;
  int fieldsRead = 0;  // how many of the fields above were read, in this order

  // Copies the fields read into `h`, the date and time into `dateTo` and `timeTo`.
  void assignTo(HeaderFields& h, std::string& dateTo, std::string& timeTo) const;
  // The fields of one data record after this header: tag and units code, the date and time
  // in the modes that stamp every record, the moving average when there is one, the values.
  int recordFields() const;
};

// Reads the header block from `in`: date, time, probe type, logging mode, log rate, data
// format, moving average and, in periodic mode (2), the on and off periods. Throws the first
// failure (kestrand::Error); `block` then holds the fields read before it.
void readHeaderBlock(FieldReader& in, HeaderBlock& block);

}  // namespace kestrand::store
