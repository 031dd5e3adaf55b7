#pragma once
// Small text helpers shared by every part of the program. Texts are Windows-1252 bytes.

#include <array>
#include <cctype>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrand {

// Written out by hand rather than with std::format or a stream: the blank in the sign's place
// is the program's own convention, which no standard format gives.
// A number as the program shows it inside messages: a blank stands where the sign of a
// non-negative number would go (" 100", "-5").
inline std::string signedText(std::int64_t n) {
  return n < 0 ? std::to_string(n) : " " + std::to_string(n);
}

// `text` without the spaces before and after it.
inline std::string_view withoutSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// The line break placed inside message texts: line feed, then carriage return.
inline const std::string kLineBreak = std::string("\n\r");

// `value` in decimal with zeros in front up to `width` digits; a minus sign goes before the
// zeros ("07", "-0042" for -42 at width 4).
inline std::string zeroPadded(std::int64_t value, std::size_t width) {
  const bool negative = value < 0;
  // Through unsigned arithmetic, so that the most negative value has a magnitude too.
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return negative ? "-" + digits : digits;
}

// Upper-case hexadecimal with zeros in front up to `width` digits; with no width, without
// leading zeros ("10" for DLE, "5" for ENQ, "0A" at width 2).
inline std::string hexText(std::uint64_t value, std::size_t width = 0) {
  std::array<char, 16> buffer{};
  const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, 16).ptr;
  std::string s(buffer.data(), end);
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (s.size() < width) s.insert(0, width - s.size(), '0');
  return s;
}

// A text as a console or a one-line label shows it: control characters as \xHH, so that one
// text is one line, and a backslash as \\, so that the escapes are never ambiguous.
inline std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) {
      out += "\\x" + hexText(c, 2);
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace kestrand
