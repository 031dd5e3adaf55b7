// The listing font a report's PDF embeds, read back by the system's font engine, and the
// documents its listing pages cannot go on from.

#include <gtest/gtest.h>

#include <QPainterPath>
#include <QRawFont>

#include "adapters/qt/cp1252.h"
#include "adapters/qt/qt_printer.h"
#include "core/error.h"

namespace kestrand::adapters::qt {
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

// Only a classic cross-reference table with a flat page tree is taken; anything else is named.
TEST(ListingPages, ADocumentOfAnotherBuildIsRefusedWithWhatItLacks) {
  const std::string head = "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
  const std::string xref = "xref\n0 3\n0000000000 65535 f \n0000000009 00000 n \n";
  const std::pair<std::string, std::string> cases[] = {
      {"%PDF-1.5\n", "startxref"},
      {head + "startxref\n9\n%%EOF\n", "cross-reference table"},
      {head + "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 2 >>\nendobj\n" + xref +
           "0000000058 00000 n \ntrailer\n<< /Size 3 /Root 1 0 R >>\nstartxref\n115\n%%EOF\n",
       "not flat"}};
  for (const auto& [base, says] : cases) {
    try {
      PdfListing listing(base, true, PdfFont{}, 595, 842);
      ADD_FAILURE() << says;
    } catch (const Error& e) {
      EXPECT_NE(e.description().find(says), std::string::npos) << e.description();
    }
  }
}

}  // namespace
}  // namespace kestrand::adapters::qt
