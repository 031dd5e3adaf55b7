#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

#include "platform/error.h"
#include "store/raw_format.h"

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

TEST(FieldReader, TheSameFieldsWhateverTheLineDivision) {
  const std::vector<std::string> layouts = {
      "\"d\",\"t\",1,0,12.3\r\n",         "\"d\",\"t\"\r\n1,0\r\n12.3\r\n",
      "\"d\"\r\n\"t\"\r\n1\r\n0\r\n12.3", "\"d\",\"t\"\n1,0\n12.3\n",
      "\"d\",\"t\"\r1,0\r12.3\r",         "\"d\",\"t\",1\r\n0,12.3\r\n\r\n",
  };
  for (const std::string& content : layouts) {
    SCOPED_TRACE(content);
    FieldReader in(content);
    EXPECT_FALSE(in.atEnd());
    EXPECT_EQ(in.readText(), "d");
    EXPECT_EQ(in.readText(), "t");
    EXPECT_EQ(in.readInt16(), 1);
    EXPECT_EQ(in.readInt16(), 0);
    EXPECT_EQ(in.readDouble(), 12.3);
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(errorCode([&] { in.readText(); }), kEof);
  }
}

TEST(FieldReader, LineEndAfterAFieldIsConsumedWithIt) {
  FieldReader in("1,0\r\n12.3\r\n");
  in.readInt16();
  EXPECT_EQ(in.position(), 2u);  // after the comma
  in.readInt16();
  EXPECT_EQ(in.position(), 5u);  // after CR LF
  in.readDouble();
  EXPECT_EQ(in.position(), 11u);
  EXPECT_TRUE(in.atEnd());
}

TEST(FieldReader, BlanksAndTabsAroundFields) {
  FieldReader in("  \t 42 ,\t\"a b\"  ,x y \t \r\n  -7\r\n");
  EXPECT_EQ(in.readInt16(), 42);
  EXPECT_EQ(in.readText(), "a b");
  EXPECT_EQ(in.readText(), "x y");
  EXPECT_EQ(in.readInt32(), -7);
  EXPECT_TRUE(in.atEnd());
}

TEST(FieldReader, QuotedTextRunsToTheNextQuote) {
  FieldReader in("\"abc\"def ,5\r\n\"a,b\r\nc\",7\r\n\" lead\"\r\n\"open");
  EXPECT_EQ(in.readText(), "abc");  // characters after the closing quote are ignored
  EXPECT_EQ(in.readInt16(), 5);
  EXPECT_EQ(in.readText(), "a,b\r\nc");  // commas and line ends inside quotes are text
  EXPECT_EQ(in.readInt16(), 7);
  EXPECT_EQ(in.readText(), " lead");  // blanks inside quotes are kept
  EXPECT_EQ(in.readText(), "open");   // a quote never closed runs to the end
  EXPECT_TRUE(in.atEnd());
}

TEST(FieldReader, EmptyFieldsReadAsZeroOrEmptyText) {
  FieldReader in(",,5,\r\n,x");
  EXPECT_EQ(in.readText(), "");
  EXPECT_EQ(in.readInt16(), 0);
  EXPECT_EQ(in.readInt32(), 5);
  // A comma ends the field; the line end after it ends an empty one.
  EXPECT_EQ(in.readDouble(), 0.0);
  EXPECT_EQ(in.readSingle(), 0.0f);
  EXPECT_EQ(in.readText(), "x");
  EXPECT_TRUE(in.atEnd());

  FieldReader quoted("\"\",3");
  EXPECT_EQ(quoted.readText(), "");
  EXPECT_EQ(quoted.readInt16(), 3);
}

TEST(FieldReader, NumberForms) {
  FieldReader in(".5,-.25,1E-04,1e3,+3,-0,007,12.,2.5E+2\r\n\"12\"");
  EXPECT_EQ(in.readDouble(), 0.5);
  EXPECT_EQ(in.readDouble(), -0.25);
  EXPECT_EQ(in.readDouble(), 0.0001);
  EXPECT_EQ(in.readSingle(), 1000.0f);
  EXPECT_EQ(in.readInt16(), 3);
  EXPECT_EQ(in.readInt16(), 0);
  EXPECT_EQ(in.readInt32(), 7);
  EXPECT_EQ(in.readDouble(), 12.0);
  EXPECT_EQ(in.readInt16(), 250);
  EXPECT_EQ(in.readInt16(), 12);  // a number in quotes reads as the number
}

TEST(FieldReader, TextThatIsNotANumberIsATypeMismatch) {
  for (const char* bad : {"abc", "1.2.3", "12abc", "E5", ".", "-", "1e", "1e+", "1 2", "inf", "nan",
                          "0x10", "--1", "\"x\"", "1d3"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(errorCode([&] { FieldReader(bad).readDouble(); }), kMismatch);
    EXPECT_EQ(errorCode([&] { FieldReader(bad).readSingle(); }), kMismatch);
    EXPECT_EQ(errorCode([&] { FieldReader(bad).readInt16(); }), kMismatch);
    EXPECT_EQ(errorCode([&] { FieldReader(bad).readInt32(); }), kMismatch);
  }
  // The same text is fine as a text field.
  EXPECT_EQ(FieldReader("1.2.3").readText(), "1.2.3");
}

std::int16_t int16Of(const char* text) {
  return FieldReader(text).readInt16();
}
std::int32_t int32Of(const char* text) {
  return FieldReader(text).readInt32();
}

TEST(FieldReader, FractionsBecomeWholeNumbersHalvesToEven) {
  EXPECT_EQ(int16Of("0.5"), 0);
  EXPECT_EQ(int16Of("1.5"), 2);
  EXPECT_EQ(int16Of("2.5"), 2);
  EXPECT_EQ(int16Of("3.5"), 4);
  EXPECT_EQ(int16Of("-2.5"), -2);
  EXPECT_EQ(int16Of("2.51"), 3);
  EXPECT_EQ(int16Of("-0.4"), 0);
  EXPECT_EQ(int32Of("60.49"), 60);
  EXPECT_EQ(int32Of("1E3"), 1000);
}

TEST(FieldReader, WholeNumbersOutsideTheTargetTypeOverflow) {
  EXPECT_EQ(int16Of("32767"), 32767);
  EXPECT_EQ(int16Of("-32768"), -32768);
  EXPECT_EQ(int16Of("32766.5"), 32766);
  EXPECT_EQ(int16Of("-32768.5"), -32768);  // the even neighbour is inside
  EXPECT_EQ(errorCode([] { int16Of("32768"); }), kOverflow);
  EXPECT_EQ(errorCode([] { int16Of("-32769"); }), kOverflow);
  EXPECT_EQ(errorCode([] { int16Of("32767.5"); }), kOverflow);  // rounds to 32768
  EXPECT_EQ(errorCode([] { int16Of("65535"); }), kOverflow);

  EXPECT_EQ(int32Of("65535"), 65535);
  EXPECT_EQ(int32Of("2147483647"), 2147483647);
  EXPECT_EQ(int32Of("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(errorCode([] { int32Of("2147483648"); }), kOverflow);
  EXPECT_EQ(errorCode([] { int32Of("-2147483649"); }), kOverflow);
  EXPECT_EQ(errorCode([] { int32Of("1e10"); }), kOverflow);
  EXPECT_EQ(errorCode([] { int32Of("1e400"); }), kOverflow);
}

TEST(FieldReader, FloatingRangeOverflowsAndUnderflowsToZero) {
  EXPECT_EQ(FieldReader("3.4028235e38").readSingle(), FLT_MAX);
  EXPECT_EQ(errorCode([] { FieldReader("3.5e38").readSingle(); }), kOverflow);
  EXPECT_EQ(errorCode([] { FieldReader("-1e39").readSingle(); }), kOverflow);
  EXPECT_EQ(FieldReader("1e-50").readSingle(), 0.0f);
  EXPECT_EQ(FieldReader("0.000000000000000000000000000000000000000000000000001").readSingle(),
            0.0f);
  EXPECT_EQ(FieldReader("1e300").readDouble(), 1e300);
  EXPECT_EQ(errorCode([] { FieldReader("1e400").readDouble(); }), kOverflow);
  EXPECT_EQ(errorCode([] { FieldReader("-123456e400").readDouble(); }), kOverflow);
  EXPECT_EQ(FieldReader("1e-400").readDouble(), 0.0);
  EXPECT_EQ(FieldReader("0e99999").readDouble(), 0.0);
}

TEST(FieldReader, EndOfFile) {
  FieldReader empty("");
  EXPECT_TRUE(empty.atEnd());
  EXPECT_EQ(errorCode([&] { empty.readText(); }), kEof);

  FieldReader blanks(" \t\r\n\r\n ");
  EXPECT_TRUE(blanks.atEnd());
  EXPECT_EQ(errorCode([&] { blanks.readInt16(); }), kEof);

  FieldReader two("1,2");
  EXPECT_EQ(two.readInt16(), 1);
  EXPECT_FALSE(two.atEnd());
  EXPECT_EQ(two.readInt16(), 2);
  EXPECT_TRUE(two.atEnd());
  EXPECT_EQ(errorCode([&] { two.readInt16(); }), kEof);
  EXPECT_EQ(errorCode([&] { two.readSingle(); }), kEof);
}

}  // namespace
}  // namespace kestrand::store
