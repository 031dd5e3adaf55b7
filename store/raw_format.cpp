#include "store/raw_format.h"

#include <charconv>
#include <cmath>

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

}  // namespace

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

}  // namespace kestrand::store
