#include "store/field_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "core/error.h"

namespace kestrand::store {
namespace {

// The code of the error `f` throws, or 0 when it throws none.
template <typename F>
std::int32_t errorCode(F f) {
  try {
    f();
  } catch (const Error& e) {
    return e.code();
  }
  return 0;
}

constexpr std::int32_t kMismatch = static_cast<std::int32_t>(ErrorKind::kTypeMismatch);
constexpr std::int32_t kOverflow = static_cast<std::int32_t>(ErrorKind::kOverflow);
constexpr std::int32_t kEof = static_cast<std::int32_t>(ErrorKind::kEndOfFile);
constexpr std::int32_t kTooLong = static_cast<std::int32_t>(ErrorKind::kGeneral);

TEST(FieldReader, BlanksQuotesAndEmptyFields) {
  FieldReader in(
      "  \t 42 ,\t\"a b\"  ,x y \t \r"        // blanks and tabs around fields are dropped
      "\"abc\"def ,\"a,b\r\nc\",\" lead\"\n"  // after the closing quote nothing counts
      ",,5,\r\n\"\",\"12\",\"open");          // empty fields; a quote never closed
  EXPECT_EQ(in.readInt16(), 42);
  EXPECT_EQ(in.readText(), "a b");
  EXPECT_EQ(in.readText(), "x y");
  EXPECT_EQ(in.readText(), "abc");
  EXPECT_EQ(in.readText(), "a,b\r\nc");  // commas and line ends inside quotes are text
  EXPECT_EQ(in.readText(), " lead");     // blanks inside quotes are kept
  EXPECT_EQ(in.readInt16(), 0);
  EXPECT_EQ(in.readInt32(), 0);
  EXPECT_EQ(in.readInt16(), 5);
  EXPECT_EQ(in.readSingle(), 0.0f);  // the line end after a comma ends an empty field
  EXPECT_EQ(in.readText(), "");
  EXPECT_EQ(in.readInt16(), 12);
  EXPECT_EQ(in.readText(), "open");
  EXPECT_TRUE(in.atEnd());
  EXPECT_EQ(errorCode([&] { in.readText(); }), kEof);
  // Nothing but blanks and line ends is no field at all.
  EXPECT_EQ(errorCode([&] { FieldReader(" \t\r\n\r\n ").readInt16(); }), kEof);
}

TEST(FieldReader, AFieldTakesAtMostSixtyFourBytesWithItsLineEnd) {
  const std::string blanks(59, ' ');
  EXPECT_EQ(FieldReader(blanks + "123\r\n").readInt16(), 123);
  EXPECT_EQ(errorCode([&] { FieldReader(blanks + "1234\r\n").readInt16(); }), kTooLong);
  EXPECT_EQ(errorCode([&] { FieldReader("\"" + blanks + "abc\"").readText(); }), kTooLong);
  // In a read cut short of the file, a field that runs into the cut may go on past it.
  FieldReader cut("7,12", true);
  EXPECT_EQ(cut.readInt16(), 7);
  EXPECT_EQ(errorCode([&] { cut.readInt16(); }), kTooLong);
  EXPECT_FALSE(FieldReader("7,\r\n  ", true).atEnd());
}

// Reads `text` as one field of kind 'h' (16-bit), 'i' (32-bit) or 'f' (single).
double readAs(char kind, const char* text) {
  FieldReader in(text);
  if (kind == 'h') return in.readInt16();
  if (kind == 'i') return in.readInt32();
  return in.readSingle();
}

TEST(FieldReader, NumberFormsRoundingAndRanges) {
  // Whole numbers: the nearest, halves to the even neighbour, within the type. Floating numbers:
  // too small is zero, too large overflows.
  const struct {
    const char* text;
    char kind;
    double value;
    std::int32_t error = 0;
  } rows[] = {
      // clang-format off
      {".5", 'f', 0.5}, {"-.25", 'f', -0.25}, {"1E-04", 'f', 1E-04f}, {"+3", 'h', 3},
      {"-0", 'h', 0}, {"007", 'i', 7}, {"12.", 'f', 12}, {"2.5E+2", 'h', 250}, {"\"12\"", 'h', 12},
      {"0.5", 'h', 0}, {"1.5", 'h', 2}, {"2.5", 'h', 2}, {"-2.5", 'h', -2}, {"2.51", 'h', 3},
      {"60.49", 'i', 60}, {"-32768.5", 'h', -32768}, {"1e-50", 'f', 0}, {"1e-400", 'f', 0},
      {"0e99999", 'f', 0}, {"32767", 'h', 32767}, {"-2147483648", 'i', -2147483648.0},
      {"3.4028235e38", 'f', FLT_MAX}, {"32767.5", 'h', 0, kOverflow},
      {"-32769", 'h', 0, kOverflow}, {"65535", 'h', 0, kOverflow},
      {"2147483648", 'i', 0, kOverflow}, {"1e400", 'i', 0, kOverflow},
      {"3.5e38", 'f', 0, kOverflow}, {"-1e39", 'f', 0, kOverflow},
      {"-123456e400", 'f', 0, kOverflow},
      // clang-format on
  };
  for (const auto& r : rows) {
    double got = 0;
    EXPECT_EQ(errorCode([&] { got = readAs(r.kind, r.text); }), r.error) << r.text;
    EXPECT_EQ(got, r.value) << r.text << " as " << r.kind;
  }
  for (const char* bad : {"abc", "1.2.3", "12abc", "E5", ".", "-", "1e", "1e+", "1 2", "inf", "nan",
                          "-inf", "0x10", "--1", "\"x\"", "1d3"}) {
    for (char kind : {'h', 'i', 'f'}) {
      EXPECT_EQ(errorCode([&] { readAs(kind, bad); }), kMismatch) << bad << " as " << kind;
    }
  }
}

TEST(FieldReader, AWholeNumberReadAsItsEndIsFoundIsTheNumberTheWholeWayGives) {
  // As for values: a field followed by its comma or line end is read in one pass, a blank in
  // front sends it the whole way; the same number, or the same failure, and the same field next.
  std::vector<std::string> texts = {"0",
                                    "-0",
                                    "007",
                                    "32767",
                                    "32768",
                                    "-32768",
                                    "-32769",
                                    "65535",
                                    "2147483647",
                                    "2147483648",
                                    "-2147483648",
                                    "-2147483649",
                                    "999999999999999999",
                                    "9999999999999999999",
                                    "-123456789012345678901",
                                    "1.5",
                                    "2.5",
                                    "-2.5",
                                    "1e3",
                                    "12abc",
                                    "-",
                                    "--1",
                                    "",
                                    "1-"};
  std::uint32_t seed = 11;
  for (int i = 0; i < 500; ++i) {
    seed = seed * 1664525u + 1013904223u;
    std::string t = seed % 3 == 0 ? "-" : "";
    for (int d = 0; d <= static_cast<int>(seed >> 8) % 12; ++d)
      t += static_cast<char>('0' + (seed >> (12 + d)) % 10);
    texts.push_back(t);
  }
  for (const std::string& t : texts) {
    for (const char kind : {'h', 'i'}) {
      const std::string commaThenSeven = t + ",7\r\n", lineThenSeven = t + "\r\n7,",
                        blankThenLine = " " + t + "\r\n7,";
      FieldReader fast(commaThenSeven), fastLine(lineThenSeven), whole(blankThenLine);
      const auto read = [kind](FieldReader& in) {
        return kind == 'h' ? std::int64_t{in.readInt16()} : std::int64_t{in.readInt32()};
      };
      std::int64_t a = -1, b = -1, c = -1;
      const int error = errorCode([&] { a = read(fast); });
      EXPECT_EQ(error, errorCode([&] { b = read(whole); })) << t << " as " << kind;
      EXPECT_EQ(error, errorCode([&] { c = read(fastLine); })) << t << " as " << kind;
      EXPECT_EQ(a, b) << t << " as " << kind;
      EXPECT_EQ(c, b) << t << " as " << kind;
      EXPECT_EQ(read(fast), 7) << t << " as " << kind;      // the field and its comma taken
      EXPECT_EQ(read(fastLine), 7) << t << " as " << kind;  // and CR LF as one line end
      EXPECT_EQ(read(whole), 7) << t << " as " << kind;
    }
  }
}

TEST(FieldReader, ARecordsValuesGoToTheirColumnsRowAndAFailureKeepsThoseBeforeIt) {
  // Usual values (of up to fifteen digits) and the others (a blank in front, an exponent, an
  // empty field, sixteen digits) in one record, then a record that fails at its third value.
  FieldReader in("1.5,-2, 3e1,,1234567890123456,100.00731,-1234567.8\r\n4,5,x,6,7,8,9\r\n");
  std::array<std::array<float, 3>, 7> columns{};
  std::array<float*, 7> into{};
  for (std::size_t k = 0; k < into.size(); ++k) {
    columns[k].fill(-9.0f);
    into[k] = columns[k].data();
  }
  in.readSingles(into, 1);
  const float first[] = {1.5f, -2.0f, 30.0f, 0.0f, 1234567890123456.0f, 100.00731f, -1234567.8f};
  for (std::size_t k = 0; k < into.size(); ++k) {
    EXPECT_EQ(columns[k][1], first[k]) << k;
    EXPECT_EQ(columns[k][0], -9.0f) << k;  // the other rows untouched
    EXPECT_EQ(columns[k][2], -9.0f) << k;
  }
  EXPECT_EQ(errorCode([&] { in.readSingles(into, 2); }), kMismatch);
  EXPECT_EQ(columns[0][2], 4.0f);
  EXPECT_EQ(columns[1][2], 5.0f);
  EXPECT_EQ(columns[2][2], -9.0f);
  EXPECT_EQ(columns[3][2], -9.0f);
}

TEST(FieldReader, AValueReadAsItsEndIsFoundIsTheValueTheWholeWayGives) {
  // A value field followed by its comma or line end is read in one pass; a blank in front sends
  // the same text the whole way. Worked cases, then a few thousand made up.
  std::vector<std::string> texts = {
      ".5", "-.25", "12.", "-0", "9999999", "1234567", "0000001", "-.0000001", "8388609.", "7.721",
      "1.2.3", "-", ".", "12345678", "1e5", "--1", "0.1234567", "1234.5678.9", "12345678.9.1",
      "123456789012345.", "-.12345678", "00000000000000.1",
      // Eight digits: rounded once, not twice.
      "2803406.3", "7.6496171",
      // Fifteen digits whose nearest double lies half way between two floats, which the double
      // would round to the other one.
      "6.23602032661438", "-1.05321604013443", "7.52251124382019", "3.20292866230011", "16777217",
      "16777217.0000000", "0.00000000000001", "123456789012345",
      // Sixteen beside a float's half way: their double is already rounded once.
      "8.503214359283448", "-9.511253833770753"};
  std::uint32_t seed = 7;
  for (int i = 0; i < 4000; ++i) {
    seed = seed * 1664525u + 1013904223u;
    std::string t = seed % 5 == 0 ? "-" : "";
    const auto digits = 1 + static_cast<int>(seed >> 8) % (i % 2 == 0 ? 8 : 16),
               point = static_cast<int>(seed >> 12) % 17;
    for (int d = 0; d < digits; ++d) {
      if (d == point) t += '.';
      t += static_cast<char>('0' + (seed >> (16 + d)) % 10);
    }
    texts.push_back(t);
  }
  // Each also with more fields after it, which lets it be read eight bytes at a time.
  for (const std::string& t : texts) {
    for (const std::string more : {"", "1234567,7654321,\r\n"}) {
      const std::string commaThenOne = t + ",1\r\n" + more,
                        blankThenLine = " " + t + "\r\n1," + more;
      FieldReader fast(commaThenOne), whole(blankThenLine);
      float a = 0, b = 0;
      EXPECT_EQ(errorCode([&] { a = fast.readSingle(); }),
                errorCode([&] { b = whole.readSingle(); }))
          << t;
      EXPECT_EQ(std::bit_cast<std::uint32_t>(a), std::bit_cast<std::uint32_t>(b)) << t;
      // A number of the standard library's own form is its value, rounded once.
      float expected = 0;
      const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), expected);
      if (ec == std::errc() && end == t.data() + t.size()) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(a), std::bit_cast<std::uint32_t>(expected)) << t;
      }
      EXPECT_EQ(fast.readSingle(), 1.0f) << t;   // the comma taken with the field
      EXPECT_EQ(whole.readSingle(), 1.0f) << t;  // and CR LF as one line end
      // Whatever follows within the eight bytes read at once: an end of the field, more of a
      // number, bytes no number has (one that carries when added to), the end of the data.
      for (const std::string follower :
           {"\n123456789", ",", "\r", "E5,1234567", "..,1234567", "5,1234567", "\xFF\xFA,1234567",
            ":/,1234567", " ,1234567", "\x1F,1234567"}) {
        const std::string followed = t + follower + more, blankFollowed = " " + followed;
        FieldReader fastFollowed(followed), wholeFollowed(blankFollowed);
        EXPECT_EQ(errorCode([&] { a = fastFollowed.readSingle(); }),
                  errorCode([&] { b = wholeFollowed.readSingle(); }))
            << t << follower;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(a), std::bit_cast<std::uint32_t>(b))
            << t << follower;
      }
    }
  }
}

}  // namespace
}  // namespace kestrand::store
