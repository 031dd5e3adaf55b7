#include "platform/qt/qt_printer.h"

#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include "core/error.h"
#include "platform/qt/cp1252.h"

namespace kestrand::platform::qt {

QtPrinter::QtPrinter(std::string pdfPath) : pdfPath_(std::move(pdfPath)) {}

QtPrinter::~QtPrinter() {
  if (painter_ && painter_->isActive()) painter_->end();
}

void QtPrinter::begin() {
  if (pdfPath_.empty()) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) throw Error(ErrorKind::kGeneral, "No default printer is installed");
    printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
  } else {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(fromCp1252(pdfPath_));
    printer_->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                        QMarginsF(0.25, 0.25, 0.25, 0.25), QPageLayout::Inch));
  }
  printer_->setDocName("Kestrand Data Upload");
  painter_ = std::make_unique<QPainter>();
  if (!painter_->begin(printer_.get())) fail("The printer refused the job");
}

void QtPrinter::fail(const std::string& what) {
  if (painter_ && painter_->isActive()) {
    printer_->abort();
    painter_->end();
  }
  painter_.reset();
  printer_.reset();
  throw Error(ErrorKind::kGeneral, what);
}

void QtPrinter::setFont(const std::string& name, int points) {
  if (!painter_) begin();
  font_ = QFont(fromCp1252(name), points);
  font_.setStyleHint(QFont::TypeWriter);  // a fixed pitch wherever the name is unknown
  font_.setFixedPitch(true);
  painter_->setFont(font_);
  const QFontMetricsF metrics(painter_->font(), printer_.get());
  ascent_ = metrics.ascent();
  lineSpacing_ = metrics.lineSpacing();
}

void QtPrinter::printLine(const std::string& text) {
  if (!painter_) setFont("Courier", 10);
  const double dpiX = printer_->logicalDpiX();
  const double dpiY = printer_->logicalDpiY();
  QString shown = fromCp1252(text);
  shown.remove(QChar('\r'));  // a carriage return moves the print head; it leaves no mark
  painter_->drawText(QPointF(x_ * dpiX, y_ * dpiY + ascent_), shown);
  x_ = 0.0;
  y_ += lineSpacing_ / dpiY;
}

void QtPrinter::newPage() {
  if (!painter_) begin();
  if (!printer_->newPage()) fail("The printer refused a new page");
}

void QtPrinter::endDoc() {
  if (!painter_) return;
  const bool done = painter_->end();
  painter_.reset();
  printer_.reset();
  if (!done) throw Error(ErrorKind::kGeneral, "The printer refused the job");
}

}  // namespace kestrand::platform::qt
