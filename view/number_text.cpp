#include "view/number_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kestrand::view {
namespace {

// A GCC and Clang extension; `__extension__` keeps -Wpedantic quiet about it.
__extension__ typedef unsigned __int128 U128;  // NOLINT(modernize-use-using)

constexpr std::uint32_t kSevenDigits = 10'000'000;  // the first number of eight digits
constexpr std::uint32_t kSixDigits = 1'000'000;     // the first number of seven digits

// "00" to "99", two characters each.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// A value's seven significant digits: 1'000'000 <= digits < 10'000'000, the first digit
// standing for 10^exponent.
struct Significant {
  std::uint32_t digits = 0;
  int exponent = 0;
};

constexpr U128 powerOfTen(int n) {
  U128 p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

constexpr std::array<U128, 39> kPowersOfTen = [] {
  std::array<U128, 39> p{};
  for (int i = 0; i < 39; ++i) p[static_cast<std::size_t>(i)] = powerOfTen(i);
  return p;
}();

constexpr std::array<std::uint64_t, 13> kPowersOfTen64 = [] {
  std::array<std::uint64_t, 13> p{};
  p[0] = 1;
  for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
  return p;
}();

// The seven significant digits of mantissa * 2^e2 at the usual magnitudes, about 1E-06 to
// 8E+06, in 64 bits: mantissa * 10^k < 2^64 for the scale k = 6 - exponent that puts seven
// digits before the point, `exponent` being the first guess at the decimal exponent.
Significant sevenDigitsIn64Bits(std::uint64_t mantissa, int e2, int k, int exponent) {
  const std::uint64_t scaled = mantissa * kPowersOfTen64[static_cast<std::size_t>(k)];
  std::uint64_t unit = std::uint64_t{1} << -e2;
  std::uint64_t whole = scaled >> -e2;
  std::uint64_t rest = scaled & (unit - 1);
  if (whole >= kSevenDigits) {  // the exponent is one more: a digit less before the point
    rest += (whole % 10) * unit;
    unit *= 10;
    whole /= 10;
    ++exponent;
  }
  auto digits = static_cast<std::uint32_t>(whole);
  if (rest * 2 > unit || (rest * 2 == unit && digits % 2 == 1)) ++digits;
  if (digits == kSevenDigits) {
    digits = kSixDigits;
    ++exponent;
  }
  return {digits, exponent};
}

// The same for any magnitude in 128 bits, trying the exponents from the first guess on until
// seven digits stand before the point. False when mantissa * 10^k would not fit.
bool sevenDigitsIn128Bits(std::uint64_t mantissa, int e2, int exponent, Significant& out) {
  for (;;) {
    const int k = 6 - exponent;  // the scale that puts seven digits before the point
    U128 whole = 0;
    U128 rest = 0;  // the fraction left over, as `rest` of `unit`
    U128 unit = 1;
    if (k >= 0) {
      // mantissa * 10^k stays below 2^128, and so does the shift.
      if (k > 31 || e2 < -120) return false;
      const U128 scaled = static_cast<U128>(mantissa) * kPowersOfTen[static_cast<std::size_t>(k)];
      if (e2 >= 0) {
        whole = scaled << e2;
      } else {
        unit = static_cast<U128>(1) << -e2;
        whole = scaled >> -e2;
        rest = scaled & (unit - 1);
      }
    } else {
      if (-k >= static_cast<int>(kPowersOfTen.size()) || e2 < 0 || e2 > 100) return false;
      unit = kPowersOfTen[static_cast<std::size_t>(-k)];
      const U128 exact = static_cast<U128>(mantissa) << e2;
      whole = exact / unit;
      rest = exact % unit;
    }
    if (whole < kSixDigits) {
      --exponent;
      continue;
    }
    if (whole >= kSevenDigits) {
      ++exponent;
      continue;
    }
    auto digits = static_cast<std::uint32_t>(whole);
    const U128 twice = rest * 2;
    if (twice > unit || (twice == unit && digits % 2 == 1)) ++digits;
    if (digits == kSevenDigits) {
      digits = kSixDigits;
      ++exponent;
    }
    out = {digits, exponent};
    return true;
  }
}

// The seven significant digits of a finite, non-zero |v|, rounded to the nearest with ties to
// the even neighbour, from the value's exact binary form in 128-bit integers. Written by hand
// because std::to_chars with a precision (which rounds the same way) costs more than the rest
// of a CSV line; the grid and the CSV file ask for some 280,000 of these at once. False for
// magnitudes outside about 1E-25 to 1E+38, which take std::to_chars.
bool sevenDigits(float v, Significant& out) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(v) & 0x7FFF'FFFFu;
  const int biased = static_cast<int>(bits >> 23);
  std::uint64_t mantissa = bits & 0x7F'FFFFu;
  int e2 = -149;  // v = mantissa * 2^e2
  if (biased != 0) {
    mantissa |= 0x80'0000u;
    e2 = biased - 150;
  }
  // floor(log10(2^k)) for k = floor(log2 |v|); the decimal exponent is this or one more.
  const int log2 = e2 + static_cast<int>(std::bit_width(mantissa)) - 1;
  const int exponent = (log2 * 78913) >> 18;
  if (const int k = 6 - exponent; k >= 0 && k <= 12 && e2 < 0 && e2 > -60) {
    out = sevenDigitsIn64Bits(mantissa, e2, k, exponent);
    return true;
  }
  return sevenDigitsIn128Bits(mantissa, e2, exponent, out);
}

// The same through std::to_chars ("d.dddddde+XX").
Significant sevenDigitsByToChars(float v) {
  std::array<char, 32> buf{};
  const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(v),
                                 std::chars_format::scientific, 6);
  Significant s;
  for (const char* p = buf.data(); p != res.ptr && *p != 'e'; ++p) {
    if (*p != '.') s.digits = s.digits * 10 + static_cast<std::uint32_t>(*p - '0');
  }
  const char* e = std::find(buf.data(), res.ptr, 'e') + 1;
  if (*e == '+') ++e;
  std::from_chars(e, res.ptr, s.exponent);
  return s;
}

char* put(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// Character c as byte i (0..7) of an 8-byte word, counted as memory holds the word.
std::uint64_t byteAt(char c, int i) {
  const int shift = std::endian::native == std::endian::little ? 8 * i : 56 - 8 * i;
  return std::uint64_t{static_cast<unsigned char>(c)} << shift;
}

// The word's bytes from byte k (1..6) on, moved to its front.
std::uint64_t dropFront(std::uint64_t word, int k) {
  return std::endian::native == std::endian::little ? word >> (8 * k) : word << (8 * k);
}

// ".0000000" as a word.
const std::uint64_t kPointAndZeros = [] {
  std::uint64_t word = byteAt('.', 0);
  for (int i = 1; i < 8; ++i) word |= byteAt('0', i);
  return word;
}();

void store8(char* at, std::uint64_t word) {
  std::memcpy(at, &word, 8);
}

// The seven digits of `d` (the first never 0) as the first seven bytes of a word, which goes out
// in whole 8-byte stores. Nothing is stored in pieces and read back whole: a load waiting on the
// stores of its single bytes took a third of the time.
std::uint64_t digitWord(std::uint32_t d) {
  const std::uint32_t rest = d % kSixDigits;
  const std::uint32_t pairs[] = {rest / 10'000, rest / 100 % 100, rest % 100};
  std::uint64_t word = byteAt(static_cast<char>('0' + d / kSixDigits), 0);
  for (int i = 0; i < 3; ++i) {
    const char* pair = &kDigitPairs[std::size_t{2} * pairs[i]];
    if constexpr (std::endian::native == std::endian::little) {
      std::uint16_t two = 0;  // both characters in one load
      std::memcpy(&two, pair, 2);
      word |= std::uint64_t{two} << (8 + 16 * i);
    } else {
      word |= byteAt(pair[0], 1 + 2 * i) | byteAt(pair[1], 2 + 2 * i);
    }
  }
  return word;
}

// The digits of the seven of `d` before its trailing zeros; each test of divisibility is a
// multiplication, where a loop over the digits would mispredict its end at every other value.
int significantDigits(std::uint32_t d) {
  return 7 - (d % 10 == 0) - (d % 100 == 0) - (d % 1'000 == 0) - (d % 10'000 == 0) -
         (d % 100'000 == 0) - (d % 1'000'000 == 0);
}

}  // namespace

char* numberText(char* out, float v, PlusSign plus) {
  const bool blank = plus == PlusSign::kBlank;
  if (std::isnan(v)) return put(out, "NaN");
  if (std::isinf(v)) return put(out, v < 0 ? "-Inf" : blank ? " Inf" : "Inf");
  if (v == 0.0f) return put(out, blank ? " 0" : "0");

  Significant s;
  if (!sevenDigits(v, s)) s = sevenDigitsByToChars(v);
  const std::uint32_t d = s.digits;
  const std::uint64_t word = digitWord(d);
  const int n = significantDigits(d);

  *out = v < 0 ? '-' : ' ';
  out += v < 0 || blank ? 1 : 0;
  // Every store below stays within the caller's kNumberTextRoom bytes; what lies past the
  // text's end is of no account.
  const int exponent = s.exponent;
  if (exponent >= 7 || exponent < -5) {
    *out = static_cast<char>('0' + d / kSixDigits);
    if (n > 1) {
      out[1] = '.';
      store8(out + 2, dropFront(word, 1));
      out += n;
    }
    ++out;
    const int mag = exponent < 0 ? -exponent : exponent;
    out = put(out, exponent < 0 ? "E-" : "E+");
    *out++ = static_cast<char>('0' + mag / 10);
    *out++ = static_cast<char>('0' + mag % 10);
  } else if (exponent < 0) {
    store8(out, kPointAndZeros);
    out += -exponent;  // the point and the zeros after it
    store8(out, word);
    out += n;
  } else if (exponent + 1 >= n) {  // a whole number: its trailing zeros are among the digits
    store8(out, word);
    out += exponent + 1;
  } else {
    store8(out, word);
    out[exponent + 1] = '.';
    store8(out + exponent + 2, dropFront(word, exponent + 1));
    out += n + 1;
  }
  return out;
}

void appendNumberText(std::string& out, float v, PlusSign plus) {
  const std::size_t at = out.size();
  out.resize(at + kNumberTextRoom);
  const char* end = numberText(out.data() + at, v, plus);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

std::string numberText(float v) {
  std::array<char, kNumberTextRoom> buf{};
  return {buf.data(), numberText(buf.data(), v)};
}

}  // namespace kestrand::view
