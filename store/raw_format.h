#pragma once
// Writing the raw data file format: comma-separated fields, text fields in double quotes,
// numbers with a point as decimal separator, CR LF line ends. The upload writes with these;
// store/field_reader.h reads them back.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "store/header.h"

namespace kestrand::store {

inline constexpr int kMaxRecordsPerFile = 16300;

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

}  // namespace kestrand::store
