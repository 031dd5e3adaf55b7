#include "view/number_text.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace kestrand::view {

// Written by hand: printf's "%.7G" and std::format put a "0" before the point, give no blank for
// the sign and change to an exponent at other magnitudes. std::to_chars supplies the correctly
// rounded seven digits; the layout around them is done here.
std::string numberText(float v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-Inf" : " Inf";
  if (v == 0.0f) return " 0";

  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific,
                                 6);  // d.dddddde+XX
  const std::string_view sci(buf, static_cast<size_t>(res.ptr - buf));
  const size_t e = sci.find('e');
  std::string digits;  // the seven digits without trailing zeros
  for (char c : sci.substr(0, e)) {
    if (c != '.') digits += c;
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int exponent = 0;
  std::string_view ex = sci.substr(e + 1);
  if (ex.front() == '+') ex.remove_prefix(1);
  std::from_chars(ex.data(), ex.data() + ex.size(), exponent);

  std::string out(1, v < 0 ? '-' : ' ');
  const int n = static_cast<int>(digits.size());
  if (exponent >= 7 || exponent < -5) {
    out += digits[0];
    if (n > 1) out += '.' + digits.substr(1);
    const int mag = exponent < 0 ? -exponent : exponent;
    out += exponent < 0 ? "E-" : "E+";
    if (mag < 10) out += '0';
    out += std::to_string(mag);
  } else if (exponent < 0) {
    out += '.';
    out.append(static_cast<size_t>(-exponent - 1), '0');
    out += digits;
  } else if (exponent + 1 >= n) {
    out += digits;
    out.append(static_cast<size_t>(exponent + 1 - n), '0');
  } else {
    out += digits.substr(0, static_cast<size_t>(exponent + 1));
    out += '.';
    out += digits.substr(static_cast<size_t>(exponent + 1));
  }
  return out;
}

}  // namespace kestrand::view
