#include "store/field_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

#include "core/bytes.h"
#include "core/error.h"

namespace kestrand::store {
namespace {

// At most a field's worth, control characters (of a file full of NULs, say) shown as '?'.
std::string quoted(std::string_view field) {
  std::string q = "\"";
  for (const char c : field.substr(0, kMaxFieldBytes)) {
    q += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
  }
  return q + "\"";
}

[[noreturn]] void typeMismatch(std::string_view field) {
  throw Error(ErrorKind::kTypeMismatch, "Type mismatch: " + quoted(field));
}

[[noreturn]] void overflow(std::string_view field) {
  throw Error(ErrorKind::kOverflow, "Overflow: " + quoted(field));
}

[[noreturn]] void tooLong(std::string_view from) {
  throw Error(ErrorKind::kGeneral, "Field longer than " + std::to_string(kMaxFieldBytes) +
                                       " characters: " + quoted(from));
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
bool isLineEnd(char c) {
  return c == '\r' || c == '\n';
}
// A comma or a line end: what ends a field.
bool isFieldEnd(char c) {
  return c == ',' || isLineEnd(c);
}
// Where the field ending at `p` (a comma or a line end) is followed: past that end, CR LF taken
// as one line end.
std::size_t pastFieldEnd(std::string_view s, std::size_t p) {
  return p + (s[p] == '\r' && p + 1 < s.size() && s[p + 1] == '\n' ? 2 : 1);
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

// The plain number at the start of `t` (a minus or not, digits with at most one point among
// them), read up to its first other character or one digit past `most`: with at most 7 (15)
// digits the digits and the power of ten are exact in a float (double), and one division rounds
// as std::from_chars does.
template <typename F>
constexpr std::size_t kExactDigits = sizeof(F) == 4 ? 7 : 15;

struct PlainNumber {
  std::uint64_t digits = 0;
  std::size_t count = 0;  // digits read
  std::size_t point = 0;  // digits after the point
  std::size_t end = 0;    // where the reading stopped
  bool negative = false;

  // The value as std::from_chars gives it, when the digits settle it; none otherwise. A float
  // of eight to fifteen digits is the double quotient, rounded once more: the same unless that
  // quotient falls just half way between two floats.
  template <typename F>
  std::optional<F> exactValue() const {
    if (count == 0 || count > kExactDigits<double>) return std::nullopt;
    if (count <= kExactDigits<F>) return value<F>();
    const double wide = value<double>();
    constexpr std::uint64_t kBelowFloat = (std::uint64_t{1} << 29) - 1;  // bits a float lacks
    if ((std::bit_cast<std::uint64_t>(wide) & kBelowFloat) == (kBelowFloat + 1) / 2)
      return std::nullopt;
    return static_cast<F>(wide);
  }

 private:
  template <typename F>
  F value() const {
    static constexpr std::array<double, 16> kTens = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const F v = static_cast<F>(digits) / static_cast<F>(kTens[point]);
    return negative ? -v : v;
  }
};

// Eight bytes of a field sorted out at once: each byte less '0' (a digit's value), and 0x80 in
// each byte that is the point, or neither a digit nor the point.
struct EightBytes {
  std::uint64_t values = 0;
  std::uint64_t points = 0;
  std::uint64_t others = 0;
};

[[gnu::always_inline]] inline EightBytes sortOut(std::uint64_t word) {
  constexpr std::uint64_t kLow7 = 0x7F * kEveryByte;
  EightBytes b;
  b.values = word ^ ('0' * kEveryByte);
  // A byte less '0' is 10 or more, no digit, when its low seven bits with 0x76 added reach the
  // high bit, or it has that bit already; no sum carries into the next byte.
  const std::uint64_t notDigits = (((b.values & kLow7) + 0x76 * kEveryByte) | b.values) & kHighBits;
  b.points = zeroBytes(word ^ ('.' * kEveryByte));
  b.others = notDigits & ~b.points;
  return b;
}

// 0x80 in the first byte of `word` below the point, the first where a number's field can end
// (a comma or a line end), and maybe in some after it; none when there is none. Three steps, as
// the place of the next field waits on it: a byte subtracted from without a borrow from the one
// before sets its high bit only when it is below, and a byte with that bit already is not.
[[gnu::always_inline]] inline std::uint64_t belowPoint(std::uint64_t word) {
  return (word - '.' * kEveryByte) & ~word & kHighBits;
}

// The bytes before the first of `others`, as a mask (all of them when there is none).
inline std::uint64_t beforeFirst(std::uint64_t others) {
  return (others & (0 - others)) - 1;
}

// `values` without the byte of `point` (0x80 in its byte, or 0 for none): the bytes after it
// move down one.
[[gnu::always_inline]] inline std::uint64_t withoutPoint(std::uint64_t values,
                                                         std::uint64_t point) {
  const std::uint64_t before = (point >> 7) - 1;  // all bytes when there is no point
  return (values & before) | ((values >> 8) & ~before);
}

// The number the first `n` (0 to 8) digit values of `values` make, the first the most
// significant: moved up to the highest bytes, then summed pairwise, in fours, in eights.
[[gnu::always_inline]] inline std::uint64_t digitsValue(std::uint64_t values, std::size_t n) {
  if (n == 0) return 0;
  std::uint64_t v = values << (8 * (8 - n));
  v = (v * 2561) >> 8 & 0x00FF'00FF'00FF'00FFu;
  v = (v * 6553601) >> 16 & 0x0000'FFFF'0000'FFFFu;
  return ((v * 42949672960001u) >> 32) & 0xFFFF'FFFFu;
}

// The place (0 to 7) of the first byte marked in `mark`.
inline std::size_t placeOf(std::uint64_t mark) {
  return static_cast<unsigned>(std::countr_zero(mark)) / 8;  // unsigned: no sign to extend
}

PlainNumber plainNumber(std::string_view t, std::size_t most) {
  PlainNumber n;
  n.negative = !t.empty() && t.front() == '-';
  bool seenPoint = false;
  std::size_t i = n.negative ? 1 : 0;
  for (; i < t.size() && n.count <= most; ++i) {
    if (isDigit(t[i])) {
      n.digits = n.digits * 10 + static_cast<std::uint64_t>(t[i] - '0');
      ++n.count;
      n.point += seenPoint ? 1 : 0;
    } else if (t[i] == '.' && !seenPoint) {
      seenPoint = true;
    } else {
      break;
    }
  }
  n.end = i;
  return n;
}

// Converts a decimal text; an underflow gives zero, an overflow fails. The usual form, an
// optional minus and then a digit or the point, goes straight to std::from_chars: when that
// takes the whole field it is a number of the form above ("inf" and "nan" never start so).
// Every other text (a plus sign, a value out of range, no number at all) gets the full check.
template <typename F>
F convertDecimal(std::string_view t) {
  const size_t first = !t.empty() && t.front() == '-' ? 1 : 0;
  // Shorter still, the values an upload writes: a few digits and a point.
  const PlainNumber plain = plainNumber(t, kExactDigits<double>);
  if (plain.end == t.size()) {
    if (const std::optional<F> v = plain.exactValue<F>()) return *v;
  }
  if (first < t.size() && (isDigit(t[first]) || t[first] == '.')) {
    F value{};
    const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (ec == std::errc() && ptr == t.data() + t.size()) return value;
  }
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

// A number's value and the bytes it takes, as far as read eight bytes at a time.
struct UsualNumber {
  float value = 0.0f;
  std::size_t bytes = 0;
  bool read = false;
};

// A number (past any minus) with no field end in its first eight bytes, with `room` bytes
// readable from `at`: up to fifteen digits with at most one point.
[[gnu::always_inline]] inline UsualNumber longUsualNumber(const char* at, std::size_t room) {
  static constexpr std::array<std::uint64_t, 8> kPowers = {1,      10,      100,       1000,
                                                           10'000, 100'000, 1'000'000, 10'000'000};
  if (room < 17) return {};  // 16 bytes, then a line end's second byte
  const EightBytes first = sortOut(eightBytes(at));
  const std::uint64_t next = eightBytes(at + 8), end = belowPoint(next);
  const EightBytes second = sortOut(next);
  if (first.others != 0 || end == 0) return {};  // not a number, or sixteen bytes of one
  const std::uint64_t before = beforeFirst(end);
  const std::uint64_t p1 = first.points, p2 = second.points & before;
  if ((second.others & before) != 0 || (p1 & (p1 - 1)) != 0 || (p2 & (p2 - 1)) != 0 ||
      (p1 != 0 && p2 != 0))
    return {};
  const std::size_t length2 = placeOf(end);
  const std::size_t n1 = 8 - (p1 != 0 ? 1 : 0), n2 = length2 - (p2 != 0 ? 1 : 0);
  PlainNumber n;
  n.digits = digitsValue(withoutPoint(first.values, p1), n1) * kPowers[n2] +
             digitsValue(withoutPoint(second.values, p2), n2);
  n.count = n1 + n2;
  n.point = p1 != 0 ? n1 - placeOf(p1) + n2 : (p2 != 0 ? n2 - placeOf(p2) : 0);
  const std::optional<float> v = n.exactValue<float>();
  return {v.value_or(0.0f), 8 + length2, v.has_value()};
}

// The usual number at `at` (past any minus), with `room` bytes readable from it: up to fifteen
// digits with at most one point among them, followed by a byte below the point.
[[gnu::always_inline]] inline UsualNumber usualNumber(const char* at, std::size_t room) {
  static constexpr std::array<float, 8> kTens = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};
  if (room < 9) return {};  // eight bytes, then a line end's second byte
  const std::uint64_t word = eightBytes(at), end = belowPoint(word);
  if (end == 0) return longUsualNumber(at, room);
  const EightBytes b = sortOut(word);
  const std::uint64_t before = beforeFirst(end);
  const std::uint64_t point = b.points & before;
  const std::size_t bytes = placeOf(end);
  const std::size_t count = bytes - (point != 0 ? 1 : 0);
  // Digits and one point at most, one digit at least.
  if ((b.others & before) != 0 || (point & (point - 1)) != 0 || count == 0) return {};
  // Seven digits at most: their number and the power of ten are exact in a float, and one
  // division rounds as std::from_chars does.
  const std::uint64_t number = digitsValue(withoutPoint(b.values, point), count);
  const float v = static_cast<float>(static_cast<std::int32_t>(number)) /
                  kTens[point != 0 ? count - placeOf(point) : 0];
  return {v, bytes, true};
}

// The field that follows a number of `bytes` at `at`: past its comma or line end (CR LF as one);
// 0 when the number's field goes on. pastFieldEnd's rule, without its check of the data's end
// (the room is known here) and with the LF a branch rather than a step to add: the next field's
// place waits on it.
[[gnu::always_inline]] inline std::size_t pastUsualNumber(const char* at, std::size_t bytes) {
  const char* const end = at + bytes;
  if (*end == '\r' && end[1] == '\n') return bytes + 2;
  return isFieldEnd(*end) ? bytes + 1 : 0;
}

// A minus and the usual number after it, as readUsualValue reads them.
bool readUsualNegative(const char* at, std::size_t room, float& value, std::size_t& length) {
  const UsualNumber n = usualNumber(at + 1, room - 1);
  const std::size_t past = n.read ? pastUsualNumber(at + 1, n.bytes) : 0;
  if (past == 0) return false;
  value = -n.value;
  length = 1 + past;
  return true;
}

// The value field nearly every value is, read eight bytes at a time: a minus or not, up to
// fifteen digits with at most one point among them, then a comma or a line end; `room` (at
// least 1) bytes are readable from `at`. Its value, and in `length` its bytes with the field's
// end (CR LF as one). False for whatever else (blanks, signs, exponents, more digits, the end of
// the data), which goes the whole way to the same value. Always inlined, and the next field's
// place worked out along the shortest path (a minus on another): reading a file waits on it from
// one field to the next.
[[gnu::always_inline]] inline bool readUsualValue(const char* at, std::size_t room, float& value,
                                                  std::size_t& length) {
  if constexpr (std::endian::native != std::endian::little) return false;
  if (at[0] == '-') return readUsualNegative(at, room, value, length);
  const UsualNumber n = usualNumber(at, room);
  const std::size_t past = n.read ? pastUsualNumber(at, n.bytes) : 0;
  if (past == 0) return false;
  value = n.value;
  length = past;
  return true;
}

// The same near the end of the data, or for a number of more digits, read a character at a time.
bool readPlainSingle(std::string_view s, std::size_t& pos, float& value) {
  const PlainNumber plain = plainNumber(s.substr(std::min(pos, s.size())), kExactDigits<double>);
  const std::size_t p = pos + plain.end;
  if (p >= s.size() || !isFieldEnd(s[p])) return false;
  const std::optional<float> v = plain.exactValue<float>();
  if (!v) return false;
  pos = pastFieldEnd(s, p);
  value = *v;
  return true;
}

}  // namespace

std::size_t FieldReader::nextNonBlank() const {
  if (pos_ >= scanFrom_ && pos_ <= scanHit_) return scanHit_;
  std::size_t p = pos_;
  while (p < s_.size() && (isBlank(s_[p]) || isLineEnd(s_[p]))) ++p;
  scanFrom_ = pos_;
  scanHit_ = p;
  return p;
}

bool FieldReader::atEnd() const {
  return !cut_ && nextNonBlank() == s_.size();
}

std::string_view FieldReader::rawField() {
  if (atEnd()) throw Error(ErrorKind::kEndOfFile, "Input past end of file");
  const std::size_t start = pos_;
  const std::size_t end = s_.size();
  // The field's end must begin here at the latest, so that a CR LF still fits its bytes.
  const std::size_t reach = std::min(end, start + kMaxFieldBytes - 1);
  // Running into `reach` is the field's end only at the end of a whole file.
  const auto runsOn = [&] { return reach < end || cut_; };

  std::size_t p = start;
  while (p < reach && isBlank(s_[p])) ++p;
  std::string_view value;
  if (p < reach && s_[p] == '"') {
    const std::size_t open = p + 1;
    p = open;
    while (p < reach && s_[p] != '"') ++p;
    if (p == reach && runsOn()) tooLong(s_.substr(start));
    value = s_.substr(open, p - open);
    if (p < reach) ++p;  // the closing quote
    // Whatever follows the closing quote up to the field's end is ignored.
    while (p < reach && !isFieldEnd(s_[p])) ++p;
  } else {
    const std::size_t first = p;
    while (p < reach && !isFieldEnd(s_[p])) ++p;
    std::size_t last = p;
    while (last > first && isBlank(s_[last - 1])) --last;
    value = s_.substr(first, last - first);
  }
  if (p == reach && runsOn()) tooLong(s_.substr(start));

  // The field's end: a comma, or a line end (CR, LF or CR LF), consumed with the field.
  pos_ = p < end ? pastFieldEnd(s_, p) : p;
  return value;
}

std::string_view FieldReader::readText() {
  return rawField();
}

std::int64_t FieldReader::readWhole(std::int64_t lowest, std::int64_t highest) {
  // The usual field, a minus or not and up to 18 digits, then its comma or line end: read in the
  // one pass that finds its end. Whatever else goes the whole way below.
  const std::size_t end = s_.size();
  const bool negative = pos_ < end && s_[pos_] == '-';
  const std::size_t digits = pos_ + (negative ? 1 : 0);
  std::size_t p = digits;
  std::int64_t whole = 0;
  while (p < end && p - digits < 18 && isDigit(s_[p])) whole = whole * 10 + (s_[p++] - '0');
  if (p > digits && p < end && isFieldEnd(s_[p])) {
    const std::string_view number = s_.substr(pos_, p - pos_);
    pos_ = pastFieldEnd(s_, p);
    if (negative) whole = -whole;
    if (whole < lowest || whole > highest) overflow(number);
    return whole;
  }
  const std::string_view field = rawField();
  if (field.empty()) return 0;
  // A plain whole number, the usual case, directly; anything else as a decimal, rounded to the
  // nearest whole number with halves to the even neighbour.
  const size_t first = field.front() == '-' ? 1 : 0;
  if (first < field.size() && isDigit(field[first])) {
    std::int64_t n = 0;
    const auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), n);
    if (ec == std::errc() && ptr == field.data() + field.size()) {
      if (n < lowest || n > highest) overflow(field);
      return n;
    }
  }
  const double r = std::nearbyint(convertDecimal<double>(field));
  if (!(r >= static_cast<double>(lowest) && r <= static_cast<double>(highest))) overflow(field);
  return static_cast<std::int64_t>(r);
}

std::int16_t FieldReader::readInt16() {
  return static_cast<std::int16_t>(readWhole(std::numeric_limits<std::int16_t>::min(),
                                             std::numeric_limits<std::int16_t>::max()));
}

std::int32_t FieldReader::readInt32() {
  return static_cast<std::int32_t>(readWhole(std::numeric_limits<std::int32_t>::min(),
                                             std::numeric_limits<std::int32_t>::max()));
}

float FieldReader::readSingle() {
  float value = 0.0f;
  std::size_t length = 0;
  if (pos_ < s_.size() && readUsualValue(s_.data() + pos_, s_.size() - pos_, value, length)) {
    pos_ += length;
    return value;
  }
  if (readPlainSingle(s_, pos_, value)) return value;
  const std::string_view field = rawField();
  return field.empty() ? 0.0f : convertDecimal<float>(field);
}

void FieldReader::readSingles(std::span<float* const> into, std::size_t row) {
  // The position in a register while the usual values come.
  const char* const data = s_.data();
  const std::size_t size = s_.size();
  std::size_t pos = pos_;
  for (float* column : into) {
    std::size_t length = 0;
    if (pos < size && readUsualValue(data + pos, size - pos, column[row], length)) {
      pos += length;
    } else {
      pos_ = pos;
      column[row] = readSingle();
      pos = pos_;
    }
  }
  pos_ = pos;
}

}  // namespace kestrand::store
