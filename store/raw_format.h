#pragma once
// The raw data file format: comma-separated fields, text fields in double quotes, numbers with
// a point as decimal separator, CR LF line ends. One writer side (the upload) and one field
// reader (the file list and the file reader) share these rules.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "store/header.h"

namespace kestrand::store {

inline constexpr int kMaxRecordsPerFile = 16300;

// ---- writing ----
std::string textField(std::string_view text);  // "text"
std::string intField(std::int64_t n);          // -12, 0, 345
// At most 15 significant digits, positional notation, "0" before the point when |v| < 1,
// no trailing zeros: 100, 0.124, 81.91, 0.00001.
std::string doubleField(double v);
// The shortest text that reads back as the same single-precision value, same notation.
std::string singleField(float v);
// Fields joined by commas, ended by CR LF.
std::string rawLine(std::initializer_list<std::string> fields);

// The value times 1000 rounded to the nearest integer (ties to even), divided by 1000.
double roundThousandths(double v);

// Header lines as the upload writes them; `modeCode` is the file's mode code (0..5).
std::string headerLine1(const HeaderFields& h, std::int16_t modeCode);
// Long form (with the period fields) when h.LogMode is 2, else the short form.
std::string headerLine2(const HeaderFields& h);

// ---- reading ----
// Reads a file's content as one sequence of fields, whatever the line division. Failures are
// kestrand::Error: kTypeMismatch for text that is not a number, kOverflow for a number outside
// the target type, kEndOfFile for a field asked for after the end.
class FieldReader {
 public:
  explicit FieldReader(std::string_view content) : s_(content) {}
  std::string readText();
  std::int16_t readInt16();
  std::int32_t readInt32();
  float readSingle();
  double readDouble();
  // True when no further field follows (only blanks and line ends remain).
  bool atEnd() const;
  size_t position() const { return pos_; }

 private:
  std::string_view rawField();
  double readNumber();
  std::string_view s_;
  size_t pos_ = 0;
};

}  // namespace kestrand::store
