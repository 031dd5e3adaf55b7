#include "platform/qt/cp1252.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <QStringList>
#include <string>
#include <utility>

namespace kestrand::platform::qt {
namespace {

// The C library's own Windows-1252 table, as a second opinion: the character of one byte, or
// -1 when the library holds the byte undefined.
long libraryCharacter(unsigned char byte) {
  iconv_t cd = iconv_open("UTF-32LE", "CP1252");
  if (cd == reinterpret_cast<iconv_t>(-1)) return -2;
  char in[1] = {static_cast<char>(byte)};
  unsigned char out[4] = {};
  char* inp = in;
  char* outp = reinterpret_cast<char*>(out);
  std::size_t inLeft = 1;
  std::size_t outLeft = 4;
  const std::size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1) || outLeft != 0) return -1;
  return static_cast<long>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
}

TEST(Cp1252, EveryDefinedByteMatchesTheLibraryTable) {
  if (libraryCharacter('A') == -2) GTEST_SKIP() << "no CP1252 converter in the C library";
  int compared = 0;
  for (int b = 0; b < 256; ++b) {
    const long expected = libraryCharacter(static_cast<unsigned char>(b));
    if (expected < 0) continue;
    const QString got = fromCp1252(std::string(1, static_cast<char>(b)));
    ASSERT_EQ(got.size(), 1) << "byte " << b;
    EXPECT_EQ(static_cast<long>(got.at(0).unicode()), expected) << "byte " << b;
    ++compared;
  }
  EXPECT_GE(compared, 251);  // at most the five undefined bytes are left out
}

TEST(Cp1252, EveryByteComesBackAndTheUndefinedOnesAreTheirC1Controls) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const QString text = fromCp1252(all);
  ASSERT_EQ(text.size(), 256);  // the zero byte included
  EXPECT_EQ(toCp1252(text), all);
  for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(text.at(b).unicode(), b);
  // A few of the upper half, also where the library has no table.
  EXPECT_EQ(fromCp1252("\x80\x9F\xA0mW/cm\xB2\xFF"),
            QString::fromUtf8("\u20AC\u0178\u00A0mW/cm\u00B2\u00FF"));
}

TEST(Cp1252, CharactersOutsideTheTableBecomeOneQuestionMarkEach) {
  const std::pair<QString, std::string> rows[] = {
      {QString::fromUtf8("A\u0100B"), "A?B"},
      // C1 controls other than the undefined bytes have no byte of their own.
      {QString(QChar(0x0080)), "?"},
      {QString::fromUtf8("x\U0001F600y"), "x?y"},  // outside the basic plane: one character
      {QString(QChar(0xD800)), "?"},               // a lone surrogate
  };
  for (const auto& [text, bytes] : rows) EXPECT_EQ(toCp1252(text), bytes) << text.toStdString();
}

TEST(DisplayText, LineBreakPairsBecomeOneNewline) {
  EXPECT_EQ(displayText("Got\n\rEnquire"), "Got\nEnquire");
  EXPECT_EQ(displayText("a\n\r\r\nb"), "a\n\nb");
  EXPECT_EQ(displayText("a\rb\nc"), "a\nb\nc");
  EXPECT_EQ(displayText("a\n\n\rb"), "a\n\nb");
  EXPECT_EQ(displayText("\xB2\n\r\x80"), QString::fromUtf8("\u00B2\n\u20AC"));
}

TEST(PaddedLinesText, RunsOfThreeBlanksBreakTheLineShorterOnesStayEdgesGo) {
  EXPECT_EQ(paddedLinesText("a b  c"), "a b  c");
  EXPECT_EQ(paddedLinesText("a   b"), "a\nb");
  EXPECT_EQ(paddedLinesText("   a    "), "a");
  EXPECT_EQ(paddedLinesText("     "), "");
  EXPECT_EQ(paddedLinesText("x\xB2   y"), QString::fromUtf8("x\u00B2\ny"));
}

}  // namespace
}  // namespace kestrand::platform::qt
