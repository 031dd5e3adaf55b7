#include "store/raw_format.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "platform/error.h"

namespace kestrand::store {
namespace {

// Turns the text of std::to_chars in scientific notation ("-1.2345e-05") into positional
// notation without trailing zeros ("-0.000012345"). Zero in any sign gives "0".
std::string positionalFromScientific(std::string_view sci) {
  bool negative = false;
  if (!sci.empty() && sci.front() == '-') {
    negative = true;
    sci.remove_prefix(1);
  }
  const size_t e = sci.find_first_of("eE");
  std::string_view mantissa = sci.substr(0, e);
  int exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view ex = sci.substr(e + 1);
    if (!ex.empty() && ex.front() == '+') ex.remove_prefix(1);
    std::from_chars(ex.data(), ex.data() + ex.size(), exponent);
  }
  std::string digits;
  for (char c : mantissa) {
    if (c >= '0' && c <= '9') digits.push_back(c);
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.empty()) return "0";
  // The mantissa has one digit before its point: `before` digits stand before the point.
  const long before = static_cast<long>(exponent) + 1;
  std::string out = negative ? "-" : "";
  const long n = static_cast<long>(digits.size());
  if (before <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-before), '0');
    out += digits;
  } else if (before >= n) {
    out += digits;
    out.append(static_cast<size_t>(before - n), '0');
  } else {
    out.append(digits, 0, static_cast<size_t>(before));
    out += '.';
    out.append(digits, static_cast<size_t>(before), std::string::npos);
  }
  return out;
}

template <typename F>
std::string nonFiniteText(F v) {
  if (std::isnan(v)) return "NaN";
  return v < 0 ? "-Inf" : "Inf";
}

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

// ---- writing ----

std::string textField(std::string_view text) {
  std::string s;
  s.reserve(text.size() + 2);
  s += '"';
  s += text;
  s += '"';
  return s;
}

std::string intField(std::int64_t n) {
  return std::to_string(n);
}

std::string doubleField(double v) {
  if (!std::isfinite(v)) return nonFiniteText(v);
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
  return positionalFromScientific(std::string_view(buf, static_cast<size_t>(res.ptr - buf)));
}

std::string singleField(float v) {
  if (!std::isfinite(v)) return nonFiniteText(v);
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  return positionalFromScientific(std::string_view(buf, static_cast<size_t>(res.ptr - buf)));
}

std::string rawLine(std::initializer_list<std::string> fields) {
  std::string line;
  bool first = true;
  for (const std::string& f : fields) {
    if (!first) line += ',';
    line += f;
    first = false;
  }
  line += "\r\n";
  return line;
}

double roundThousandths(double v) {
  return std::nearbyint(v * 1000.0) / 1000.0;
}

std::string headerLine1(const HeaderFields& h, std::int16_t modeCode) {
  return rawLine(
      {textField(h.SampDate), textField(h.SampTime), intField(h.ProbeType), intField(modeCode)});
}

std::string headerLine2(const HeaderFields& h) {
  if (h.LogMode == 2) {
    return rawLine({intField(h.LogRate), intField(h.DataFormat), intField(h.MoveAve),
                    singleField(h.PeriodOn), singleField(h.PeriodOff)});
  }
  return rawLine({intField(h.LogRate), intField(h.DataFormat), intField(h.MoveAve)});
}

// ---- reading ----

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
