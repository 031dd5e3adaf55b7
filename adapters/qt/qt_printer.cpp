#include "adapters/qt/qt_printer.h"

#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRawFont>
#include <algorithm>
#include <cmath>

#include "adapters/qt/cp1252.h"
#include "adapters/qt/truetype_subset.h"
#include "core/error.h"

namespace kestrand::adapters::qt {

PdfFont listingFont(const QFont& font) {
  const QRawFont raw = QRawFont::fromFont(font);
  const std::string family = toCp1252(raw.familyName());
  if (!raw.isValid()) throw Error(ErrorKind::kGeneral, "The font " + family + " cannot be read");
  try {
    FontTables tables;
    for (const char* tag : {"head", "hhea", "maxp", "hmtx", "loca", "glyf", "cmap", "cvt ", "fpgm",
                            "prep", "post", "name", "OS/2"}) {
      const QByteArray data = raw.fontTable(tag);
      if (!data.isEmpty()) tables[tag] = std::string(data.constData(), data.size());
    }
    PdfFont f;
    f.facts = fontFacts(tables);
    std::vector<std::uint16_t> glyphs;
    for (int code = 32; code < 256; ++code) {
      const QList<quint32> ids =
          raw.glyphIndexesForString(fromCp1252(std::string(1, static_cast<char>(code))));
      const quint32 g = ids.isEmpty() || ids.front() >= f.facts.advances.size() ? 0 : ids.front();
      glyphs.push_back(static_cast<std::uint16_t>(g));
      f.widths[code - 32] =
          static_cast<int>(std::lround(f.facts.advances[g] * 1000.0 / f.facts.unitsPerEm));
    }
    f.file = subsetTrueType(tables, glyphs);
    return f;
  } catch (const Error& e) {
    throw Error(ErrorKind::kGeneral, e.description() + " (" + family + ")");
  }
}

namespace {

// A font of TrueType outlines that a PDF can embed as they are: `font` when it is one, else the
// first of the common fixed-pitch ones that the system has (the Courier some systems resolve
// to has outlines of another kind).
QFont outlinedFont(const QFont& font) {
  const auto outlined = [](const QFont& f) {
    return !QRawFont::fromFont(f).fontTable("glyf").isEmpty();
  };
  if (outlined(font)) return font;
  for (const char* family : {"Liberation Mono", "DejaVu Sans Mono", "Noto Sans Mono", "FreeMono"}) {
    QFont f(QString::fromLatin1(family), font.pointSize());
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    if (outlined(f)) return f;
  }
  return font;  // which listingFont names as the one it cannot embed
}

}  // namespace

std::unique_ptr<QPagedPaintDevice> reportPdfWriter(QIODevice* out) {
  auto pdf = std::make_unique<QPdfWriter>(out);
  pdf->setTitle("Kestrand Data Upload");
  pdf->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                 QMarginsF(0.25, 0.25, 0.25, 0.25), QPageLayout::Inch));
  return pdf;
}

QtPrinter::QtPrinter(PrintDevice device) : printDevice_(std::move(device)) {}

QtPrinter::QtPrinter(ports::FileSystem& fs, std::string pdfPath)
    : fs_(&fs), pdfPath_(std::move(pdfPath)) {}

QtPrinter::~QtPrinter() {
  if (painter_ && painter_->isActive()) painter_->end();
}

void QtPrinter::begin() {
  if (!fs_) {
    device_ = printDevice_.open();
  } else {
    pdfBytes_.close();
    pdfBytes_.setData({});
    pdfBytes_.open(QIODevice::WriteOnly);
    device_ = reportPdfWriter(&pdfBytes_);
  }
  painter_ = std::make_unique<QPainter>();
  if (!painter_->begin(device_.get())) fail("The printer refused the job");
}

void QtPrinter::reset() {
  listing_.reset();
  painted_ = false;
  painter_.reset();
  device_.reset();
  pdfBytes_.close();
  pdfBytes_.setData({});
}

void QtPrinter::fail(const std::string& what) {
  if (painter_ && painter_->isActive()) {
    if (printDevice_.abort && !fs_) printDevice_.abort(*device_);
    painter_->end();
  }
  reset();
  throw Error(ErrorKind::kGeneral, what);
}

void QtPrinter::setFont(const std::string& name, int points) {
  if (!painter_) begin();
  // A PDF's lines have the one font their first pages embed.
  if (listing_ && name != fontName_) fail("The PDF's lines take one font: " + fontName_);
  if (fs_ && name == fontName_ && points == points_) return;
  fontName_ = name;
  points_ = points;
  font_ = QFont(fromCp1252(name), points);
  font_.setStyleHint(QFont::TypeWriter);  // a fixed pitch wherever the name is unknown
  font_.setFixedPitch(true);
  if (fs_) font_ = outlinedFont(font_);
  if (painter_->isActive()) painter_->setFont(font_);
  const QFontMetricsF metrics(font_, device_.get());
  ascent_ = metrics.ascent();
  lineSpacing_ = metrics.lineSpacing();
}

void QtPrinter::printLine(const std::string& text) {
  if (!painter_) setFont("Courier", 10);
  const double dpiX = device_->logicalDpiX();
  const double dpiY = device_->logicalDpiY();
  if (fs_) {
    startListing();
    std::string shown = text;
    std::erase(shown, '\r');  // a carriage return moves the print head; it leaves no mark
    // From the printable area's top-left corner downwards to the page's bottom-left upwards.
    const double x = area_.left() + x_ * 72.0;
    const double baseline = pageHeight_ - area_.top() - (y_ * dpiY + ascent_) * 72.0 / dpiY;
    if (!shown.empty()) listing_->text(x, baseline, points_, shown);
    x_ = 0.0;
    y_ += lineSpacing_ / dpiY;
    return;
  }
  QString shown = fromCp1252(text);
  shown.remove(QChar('\r'));  // a carriage return moves the print head; it leaves no mark
  painter_->drawText(QPointF(x_ * dpiX, y_ * dpiY + ascent_), shown);
  x_ = 0.0;
  y_ += lineSpacing_ / dpiY;
}

int QtPrinter::lineCharacters(double inches) const {
  if (!painter_) return 0;
  const double advance = QFontMetricsF(font_, device_.get()).horizontalAdvance(QChar('0'));
  if (advance <= 0.0) return 0;
  return static_cast<int>((device_->width() - inches * device_->logicalDpiX()) / advance);
}

void QtPrinter::footPages(std::string name, int total) {
  footName_ = std::move(name);
  footTotal_ = total;
}

void QtPrinter::footThisPage() {
  if (footTotal_ > 0 && painter_ && painter_->isActive()) {
    // At the foot of the printable area, below the listing's 60 lines.
    painter_->save();
    painter_->resetTransform();
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8);
    painter_->setFont(font);
    painter_->setPen(Qt::black);
    const QFontMetricsF metrics(font, device_.get());
    const double foot = device_->height() - metrics.descent();
    painter_->drawText(QPointF(0, foot), fromCp1252(footName_));
    const QString page = QStringLiteral("Page %1 of %2").arg(page_).arg(footTotal_);
    painter_->drawText(QPointF(device_->width() - metrics.horizontalAdvance(page), foot), page);
    painter_->restore();
  }
  ++page_;
}

void QtPrinter::startListing() {
  if (listing_) return;
  if (points_ == 0) setFont("Courier", 10);
  // Qt's part ends here, complete with its cross-reference table.
  if (!painter_->end()) fail("The printer refused the job");
  const QPageLayout layout = device_->pageLayout();
  area_ = layout.paintRectPoints();
  pageHeight_ = layout.fullRectPoints().height();
  const QByteArray qtPart = pdfBytes_.data();
  try {
    listing_ = std::make_unique<PdfListing>(
        std::string(qtPart.constData(), static_cast<std::size_t>(qtPart.size())), painted_,
        listingFont(font_), layout.fullRectPoints().width(), pageHeight_);
  } catch (const Error& e) {
    fail(e.description());
  }
  pdfBytes_.close();
  pdfBytes_.setData({});
}

void QtPrinter::footListing() {
  if (footTotal_ > 0) {
    // In the lines' font at 8 points, at the foot of the printable area.
    const double points = 8;
    const double foot = pageHeight_ - area_.bottom() + listing_->descent(points);
    listing_->repeated(area_.left(), foot, points, footName_);
    const std::string page = "Page " + std::to_string(page_) + " of " + std::to_string(footTotal_);
    listing_->text(area_.right() - listing_->width(page, points), foot, points, page);
  }
  ++page_;
}

void QtPrinter::newPage() {
  if (!painter_) begin();
  // The painted pages are done with their last; the lines begin on a page of their own.
  if (fs_ && painted_ && !listing_) return startListing();
  if (fs_) {
    startListing();
    footListing();
    listing_->endPage();
    return;
  }
  footThisPage();
  if (!device_->newPage()) fail("The printer refused a new page");
}

void QtPrinter::paintPages(const std::function<void(QPainter&, QPagedPaintDevice&)>& paint) {
  if (!painter_) begin();
  if (listing_) fail("A PDF's painted pages come before its lines");
  // In a PDF, the painted pages are Qt's part and the lines' pages follow them by themselves.
  if (fs_ && painted_ && !device_->newPage()) fail("The printer refused a new page");
  painter_->save();
  paint(*painter_, *device_);
  painter_->restore();
  // A printer's next page is started, and this one's foot marked, by the newPage that follows.
  if (!fs_) return;
  footThisPage();
  painted_ = true;
}

void QtPrinter::endDoc() {
  if (!painter_) return;
  if (fs_ && painted_ && !listing_) {
    // Painted pages and no lines: Qt's document is the whole of it.
    if (!painter_->end()) fail("The printer refused the job");
    const QByteArray bytes = pdfBytes_.data();
    reset();
    fs_->writeAll(pdfPath_,
                  std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return;
  }
  if (fs_) {
    startListing();
    footListing();
    listing_->endPage();
    const std::string bytes = listing_->finish();
    reset();
    fs_->writeAll(pdfPath_, bytes);
    return;
  }
  footThisPage();
  const bool done = painter_->end();
  if (!done) fail("The printer refused the job");
  reset();
}

}  // namespace kestrand::adapters::qt
