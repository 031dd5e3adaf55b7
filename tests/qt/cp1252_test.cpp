#include "adapters/qt/cp1252.h"

#include <gtest/gtest.h>

#include <QStringDecoder>
#include <string>
#include <utility>

namespace kestrand::adapters::qt {
namespace {

// Every byte comes back; Qt's own table (where Qt has ICU) is a second opinion on each one, the
// five undefined bytes included, which stand for their C1 controls.
TEST(Cp1252, EveryByteMatchesQtsTableAndComesBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const QString text = fromCp1252(all);
  ASSERT_EQ(text.size(), 256);  // the zero byte included
  EXPECT_EQ(toCp1252(text), all);
  EXPECT_EQ(fromCp1252("\x80\x81\x9F\xA0mW/cm\xB2\xFF"),
            QString::fromUtf8("\u20AC\u0081\u0178\u00A0mW/cm\u00B2\u00FF"));
  QStringDecoder windows1252("windows-1252");
  if (!windows1252.isValid()) GTEST_SKIP() << "Qt has no Windows-1252 table here";
  const QString expected = windows1252(QByteArray(all.data(), 256));
  for (int b = 0; b < 256; ++b) EXPECT_EQ(text.at(b), expected.at(b)) << "byte " << b;
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
}  // namespace kestrand::adapters::qt
