#include "adapters/qt/qt_printer.h"

#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include "adapters/qt/cp1252.h"
#include "core/error.h"

namespace kestrand::platform::qt {

std::unique_ptr<QPagedPaintDevice> reportPdfWriter(QIODevice* out) {
  auto pdf = std::make_unique<QPdfWriter>(out);
  pdf->setTitle("Kestrand Data Upload");
  pdf->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                 QMarginsF(0.25, 0.25, 0.25, 0.25), QPageLayout::Inch));
  return pdf;
}

QtPrinter::QtPrinter() = default;

QtPrinter::QtPrinter(FileSystem& fs, std::string pdfPath)
    : fs_(&fs), pdfPath_(std::move(pdfPath)) {}

QtPrinter::~QtPrinter() {
  if (painter_ && painter_->isActive()) painter_->end();
}

void QtPrinter::begin() {
  if (!fs_) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) throw Error(ErrorKind::kGeneral, "No default printer is installed");
    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    printer->setDocName("Kestrand Data Upload");
    device_ = std::move(printer);
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
  painter_.reset();
  device_.reset();
  pdfBytes_.close();
  pdfBytes_.setData({});
}

void QtPrinter::fail(const std::string& what) {
  if (painter_ && painter_->isActive()) {
    if (auto* printer = dynamic_cast<QPrinter*>(device_.get())) printer->abort();
    painter_->end();
  }
  reset();
  throw Error(ErrorKind::kGeneral, what);
}

void QtPrinter::setFont(const std::string& name, int points) {
  if (!painter_) begin();
  font_ = QFont(fromCp1252(name), points);
  font_.setStyleHint(QFont::TypeWriter);  // a fixed pitch wherever the name is unknown
  font_.setFixedPitch(true);
  painter_->setFont(font_);
  const QFontMetricsF metrics(painter_->font(), device_.get());
  ascent_ = metrics.ascent();
  lineSpacing_ = metrics.lineSpacing();
}

void QtPrinter::printLine(const std::string& text) {
  if (!painter_) setFont("Courier", 10);
  const double dpiX = device_->logicalDpiX();
  const double dpiY = device_->logicalDpiY();
  QString shown = fromCp1252(text);
  shown.remove(QChar('\r'));  // a carriage return moves the print head; it leaves no mark
  painter_->drawText(QPointF(x_ * dpiX, y_ * dpiY + ascent_), shown);
  x_ = 0.0;
  y_ += lineSpacing_ / dpiY;
}

int QtPrinter::lineCharacters(double inches) const {
  if (!painter_) return 0;
  const double advance =
      QFontMetricsF(painter_->font(), device_.get()).horizontalAdvance(QChar('0'));
  if (advance <= 0.0) return 0;
  return static_cast<int>((device_->width() - inches * device_->logicalDpiX()) / advance);
}

void QtPrinter::footPages(std::string name, int total) {
  footName_ = std::move(name);
  footTotal_ = total;
}

void QtPrinter::footThisPage() {
  if (footTotal_ > 0 && painter_) {
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

void QtPrinter::newPage() {
  if (!painter_) begin();
  footThisPage();
  if (!device_->newPage()) fail("The printer refused a new page");
}

void QtPrinter::paintPages(const std::function<void(QPainter&, QPagedPaintDevice&)>& paint) {
  if (!painter_) begin();
  painter_->save();
  paint(*painter_, *device_);
  painter_->restore();
  // What follows starts a page of its own; nothing may, and the document then ends here.
}

void QtPrinter::endDoc() {
  if (!painter_) return;
  footThisPage();
  const bool done = painter_->end();
  if (!done) fail("The printer refused the job");
  if (fs_) {
    const QByteArray bytes = pdfBytes_.data();
    reset();
    fs_->writeAll(pdfPath_, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    return;
  }
  reset();
}

}  // namespace kestrand::platform::qt
