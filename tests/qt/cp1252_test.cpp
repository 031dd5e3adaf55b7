#include "platform/qt/cp1252.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <QStringList>

#include <string>

#include "app/main_window.h"

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
    const std::string byte(1, static_cast<char>(b));
    const QString got = fromCp1252(byte);
    ASSERT_EQ(got.size(), 1) << "byte " << b;
    EXPECT_EQ(static_cast<long>(got.at(0).unicode()), expected) << "byte " << b;
    EXPECT_EQ(toCp1252(got), byte) << "byte " << b;
    ++compared;
  }
  EXPECT_GE(compared, 251);  // at most the five undefined bytes are left out
}

TEST(Cp1252, KnownCharactersOfTheUpperHalf) {
  EXPECT_EQ(fromCp1252("\xB2"), QString(QChar(0x00B2)));  // units: mW/cm²
  EXPECT_EQ(fromCp1252("mW/cm\xB2"), QString::fromUtf8("mW/cm\u00B2"));
  EXPECT_EQ(fromCp1252("\x80"), QString(QChar(0x20AC)));
  EXPECT_EQ(fromCp1252("\x9F"), QString(QChar(0x0178)));
  EXPECT_EQ(fromCp1252("\xA0\xFF"), QString::fromUtf8("\u00A0\u00FF"));
}

TEST(Cp1252, UndefinedBytesBecomeTheirC1ControlsAndComeBack) {
  for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
    const std::string byte(1, static_cast<char>(b));
    const QString got = fromCp1252(byte);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(static_cast<int>(got.at(0).unicode()), b);
    EXPECT_EQ(toCp1252(got), byte);
  }
}

TEST(Cp1252, AllBytesRoundTripInOneText) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const QString text = fromCp1252(all);
  EXPECT_EQ(text.size(), 256);  // the zero byte included
  EXPECT_EQ(toCp1252(text), all);
}

TEST(Cp1252, CharactersOutsideTheTableBecomeQuestionMarks) {
  EXPECT_EQ(toCp1252(QString::fromUtf8("A\u0100B")), "A?B");
  EXPECT_EQ(toCp1252(QString(QChar(0xFFFD))), "?");
  // A C1 control that is not one of the undefined bytes has no byte of its own.
  EXPECT_EQ(toCp1252(QString(QChar(0x0080))), "?");
  EXPECT_EQ(toCp1252(QString(QChar(0x009F))), "?");
  // One character outside the basic plane is one question mark, not two.
  EXPECT_EQ(toCp1252(QString::fromUtf8("x\U0001F600y")), "x?y");
  // A lone surrogate is not a character either.
  EXPECT_EQ(toCp1252(QString(QChar(0xD800))), "?");
  EXPECT_EQ(toCp1252(QString()), "");
}

TEST(DisplayText, LineBreakPairsBecomeOneNewline) {
  EXPECT_EQ(displayText("Got\n\rEnquire"), "Got\nEnquire");
  EXPECT_EQ(displayText("a\r\nb"), "a\nb");
  EXPECT_EQ(displayText("a\n\r\n\rb"), "a\n\nb");
  EXPECT_EQ(displayText("a\n\r\r\nb"), "a\n\nb");
  EXPECT_EQ(displayText("a\rb\nc"), "a\nb\nc");
  EXPECT_EQ(displayText("a\n\n\rb"), "a\n\nb");
  EXPECT_EQ(displayText("end\n\r"), "end\n");
  EXPECT_EQ(displayText("\xB2\n\r\x80"), QString::fromUtf8("\u00B2\n\u20AC"));
  EXPECT_EQ(displayText(""), "");
}

TEST(PaddedLinesText, TheHelpTextsShowOneSentencePerLine) {
  const QStringList date = paddedLinesText(app::dateHelpText()).split('\n');
  ASSERT_EQ(date.size(), 3) << paddedLinesText(app::dateHelpText()).toStdString();
  EXPECT_EQ(date[0], "Goto Regional Settings Window  under Control Panel.");
  EXPECT_EQ(date[1], "Select the Date Tab.");
  EXPECT_EQ(date[2], "Select the setting that matches  Short date style:");
  const QStringList time = paddedLinesText(app::timeHelpText()).split('\n');
  ASSERT_EQ(time.size(), 3);
  EXPECT_EQ(time[1], "Select the Time Tab.");
  EXPECT_EQ(time[2], "Select the setting that matches  Time style:");
}

TEST(PaddedLinesText, ShortRunsStayAndEdgesAreDropped) {
  EXPECT_EQ(paddedLinesText("a b  c"), "a b  c");
  EXPECT_EQ(paddedLinesText("a   b"), "a\nb");
  EXPECT_EQ(paddedLinesText("   a    "), "a");
  EXPECT_EQ(paddedLinesText("     "), "");
  EXPECT_EQ(paddedLinesText("x\xB2   y"), QString::fromUtf8("x\u00B2\ny"));
}

}  // namespace
}  // namespace kestrand::platform::qt
