#pragma once
// Small text helpers shared by every part of the program. Texts are Windows-1252 bytes.

#include <cstdint>
#include <string>

namespace kestrand {

// A number as the program shows it inside messages: a blank stands where the sign of a
// non-negative number would go (" 100", "-5").
inline std::string signedText(std::int64_t n) {
  return n < 0 ? std::to_string(n) : " " + std::to_string(n);
}

// The line break placed inside message texts: line feed, then carriage return.
inline const std::string kLineBreak = std::string("\n\r");

// Upper-case hexadecimal without leading zeros ("10" for DLE, "5" for ENQ).
inline std::string hexText(unsigned value) {
  static const char* kDigits = "0123456789ABCDEF";
  if (value == 0) return "0";
  std::string s;
  while (value) {
    s.insert(s.begin(), kDigits[value & 15u]);
    value >>= 4;
  }
  return s;
}

}  // namespace kestrand
