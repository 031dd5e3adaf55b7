#include "store/field_reader.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "core/error.h"

namespace kestrand::store {
namespace {

[[noreturn]] void typeMismatch(std::string_view field) {
  throw Error(ErrorKind::kTypeMismatch, "Type mismatch: \"" + std::string(field) + "\"");
}

[[noreturn]] void overflow(std::string_view field) {
  throw Error(ErrorKind::kOverflow, "Overflow: \"" + std::string(field) + "\"");
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
bool isLineEnd(char c) {
  return c == '\r' || c == '\n';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Checks the decimal form [sign] digits [. digits] [E [sign] digits] with at least one mantissa
// digit. Returns the decimal order of the leading non-zero digit (0 for 1..9.99, -1 for
// 0.1..0.99, ...) in `order`, or a very small value when all mantissa digits are zero.
bool checkDecimal(std::string_view t, long& order) {
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  long intDigits = 0;
  long leadPos = std::numeric_limits<long>::min();  // position of the first non-zero digit
  long pos = 0;  // digits seen so far (integer part counts up, fraction continues)
  size_t mantissaDigits = 0;
  while (i < t.size() && isDigit(t[i])) {
    if (t[i] != '0' && leadPos == std::numeric_limits<long>::min()) leadPos = pos;
    ++pos;
    ++intDigits;
    ++mantissaDigits;
    ++i;
  }
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && isDigit(t[i])) {
      if (t[i] != '0' && leadPos == std::numeric_limits<long>::min()) leadPos = pos;
      ++pos;
      ++mantissaDigits;
      ++i;
    }
  }
  if (mantissaDigits == 0) return false;
  long exponent = 0;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    bool negExp = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negExp = t[i++] == '-';
    if (i >= t.size() || !isDigit(t[i])) return false;
    while (i < t.size() && isDigit(t[i])) {
      if (exponent < 100000) exponent = exponent * 10 + (t[i] - '0');
      ++i;
    }
    if (negExp) exponent = -exponent;
  }
  if (i != t.size()) return false;
  order = leadPos == std::numeric_limits<long>::min() ? std::numeric_limits<long>::min()
                                                      : intDigits - leadPos - 1 + exponent;
  return true;
}

// Converts a checked decimal text; an underflow gives zero, an overflow fails.
template <typename F>
F convertDecimal(std::string_view t) {
  long order = 0;
  if (!checkDecimal(t, order)) typeMismatch(t);
  std::string_view body = t;
  if (!body.empty() && body.front() == '+') body.remove_prefix(1);
  F value{};
  auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
  if (ec == std::errc::result_out_of_range) {
    if (order < 0) return F{0};
    overflow(t);
  }
  if (ec != std::errc() || ptr != body.data() + body.size()) typeMismatch(t);
  return value;
}

// Whole-number conversion: the nearest integer, halves to the even integer.
template <typename I>
I toInteger(double v, std::string_view field) {
  const double r = std::nearbyint(v);
  if (!(r >= static_cast<double>(std::numeric_limits<I>::min()) &&
        r <= static_cast<double>(std::numeric_limits<I>::max()))) {
    overflow(field);
  }
  return static_cast<I>(r);
}

}  // namespace

bool FieldReader::atEnd() const {
  for (size_t i = pos_; i < s_.size(); ++i) {
    if (!isBlank(s_[i]) && !isLineEnd(s_[i])) return false;
  }
  return true;
}

std::string_view FieldReader::rawField() {
  if (atEnd()) throw Error(ErrorKind::kEndOfFile, "Input past end of file");
  while (pos_ < s_.size() && isBlank(s_[pos_])) ++pos_;

  std::string_view value;
  if (pos_ < s_.size() && s_[pos_] == '"') {
    const size_t start = pos_ + 1;
    size_t close = s_.find('"', start);
    if (close == std::string_view::npos) close = s_.size();
    value = s_.substr(start, close - start);
    pos_ = close < s_.size() ? close + 1 : close;
    // Whatever follows the closing quote up to the field's end is ignored.
    while (pos_ < s_.size() && s_[pos_] != ',' && !isLineEnd(s_[pos_])) ++pos_;
  } else {
    const size_t start = pos_;
    while (pos_ < s_.size() && s_[pos_] != ',' && !isLineEnd(s_[pos_])) ++pos_;
    size_t end = pos_;
    while (end > start && isBlank(s_[end - 1])) --end;
    value = s_.substr(start, end - start);
  }

  // The field's end: a comma, or a line end (CR, LF or CR LF), consumed with the field.
  if (pos_ < s_.size()) {
    // NOLINTNEXTLINE(bugprone-branch-clone): a comma and a lone LF end the field alike.
    if (s_[pos_] == ',') {
      ++pos_;
    } else if (s_[pos_] == '\r') {
      ++pos_;
      if (pos_ < s_.size() && s_[pos_] == '\n') ++pos_;
    } else if (s_[pos_] == '\n') {
      ++pos_;
    }
  }
  return value;
}

double FieldReader::readNumber() {
  const std::string_view field = rawField();
  if (field.empty()) return 0.0;
  return convertDecimal<double>(field);
}

std::string FieldReader::readText() {
  return std::string(rawField());
}

std::int16_t FieldReader::readInt16() {
  const std::string_view field = rawField();
  return field.empty() ? std::int16_t{0}
                       : toInteger<std::int16_t>(convertDecimal<double>(field), field);
}

std::int32_t FieldReader::readInt32() {
  const std::string_view field = rawField();
  return field.empty() ? 0 : toInteger<std::int32_t>(convertDecimal<double>(field), field);
}

float FieldReader::readSingle() {
  const std::string_view field = rawField();
  if (field.empty()) return 0.0f;
  return convertDecimal<float>(field);
}

double FieldReader::readDouble() {
  return readNumber();
}

}  // namespace kestrand::store
