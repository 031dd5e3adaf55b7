// The listing font a report's PDF embeds, read back by the system's font engine.

#include <gtest/gtest.h>

#include <QPainterPath>
#include <QRawFont>

#include "adapters/qt/cp1252.h"
#include "adapters/qt/qt_printer.h"

namespace kestrand::platform::qt {
namespace {

// Every Windows-1252 character keeps its outline (an accented letter is made of other glyphs)
// at its glyph id; a glyph no such character needs is left empty.
TEST(ListingFont, TheSubsetDrawsEveryWindows1252CharacterAndNothingElse) {
  const QFont wanted(QStringLiteral("Liberation Mono"), 10);
  QRawFont whole = QRawFont::fromFont(wanted);
  whole.setPixelSize(100);
  if (whole.familyName() != wanted.family()) GTEST_SKIP() << "no Liberation Mono here";
  const PdfFont font = listingFont(wanted);
  const QRawFont subset(QByteArray(font.file.data(), static_cast<qsizetype>(font.file.size())),
                        100);
  ASSERT_TRUE(subset.isValid());
  const auto outline = [](const QRawFont& f, quint32 glyph) {
    return f.pathForGlyph(glyph).boundingRect();
  };
  for (int code = 33; code < 256; ++code) {
    const QList<quint32> glyph =
        whole.glyphIndexesForString(fromCp1252(std::string(1, static_cast<char>(code))));
    EXPECT_EQ(outline(subset, glyph.front()), outline(whole, glyph.front())) << code;
  }
  EXPECT_FALSE(outline(whole, whole.glyphIndexesForString("A").front()).isEmpty());
  const quint32 cyrillic = whole.glyphIndexesForString(QString::fromUtf8("\u0416")).front();
  EXPECT_FALSE(outline(whole, cyrillic).isEmpty());
  EXPECT_TRUE(outline(subset, cyrillic).isEmpty());
  EXPECT_EQ(font.widths[0], 600);  // a fixed pitch of 0.6 em
  EXPECT_LT(font.file.size(), 60'000u);
}

}  // namespace
}  // namespace kestrand::platform::qt
