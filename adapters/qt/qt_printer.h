#pragma once
// The printer of the Qt realisation: the default printer, without a dialog, or a PDF file laid
// out as an A4 page whose printable area starts a quarter inch in from each edge. A4 rather
// than Letter: a page of the report is 60 lines, and the Courier some systems resolve to
// (12.5 points a line at 10 points) needs 11 inches for them. The PDF is made in memory and
// written whole at the end of the document, so a failure leaves an earlier file as it was.
// In a PDF, Qt paints the pages a caller paints itself (paintPages); the lines' pages that
// follow are plain text runs in one embedded font, added after Qt's document is finished.

#include <QBuffer>
#include <QFont>
#include <QRectF>
#include <functional>
#include <memory>
#include <string>

#include "adapters/qt/pdf_listing.h"
#include "ports/file_system.h"
#include "ports/printer.h"

class QPainter;
class QPagedPaintDevice;

namespace kestrand::adapters::qt {

// A printer's device: opened as a document starts, abandoned when printing fails.
struct PrintDevice {
  std::function<std::unique_ptr<QPagedPaintDevice>()> open;
  std::function<void(QPagedPaintDevice&)> abort;
};

class QtPrinter : public ports::Printer {
 public:
  // A printer of the system's (system_printer.h).
  explicit QtPrinter(PrintDevice device);
  // A PDF file at `pdfPath`, written through `fs`.
  QtPrinter(ports::FileSystem& fs, std::string pdfPath);
  ~QtPrinter() override;
  QtPrinter(const QtPrinter&) = delete;
  QtPrinter& operator=(const QtPrinter&) = delete;

  void setFont(const std::string& name, int points) override;
  void setCurrentX(double inches) override { x_ = inches; }
  void setCurrentY(double inches) override { y_ = inches; }
  void printLine(const std::string& text) override;
  void newPage() override;
  int lineCharacters(double inches) const override;
  void endDoc() override;

  // Pages of the caller's own before the lines (a report's summary with its chart): `paint`
  // draws with the document's painter on its device, in device pixels, and may start further
  // pages; the lines that follow must begin with newPage (a page run marked continued), and
  // without any the document ends on the last painted page. Throws as the printer fails.
  void paintPages(const std::function<void(QPainter&, QPagedPaintDevice&)>& paint);

  // From now on every page carries `name` and "Page x of `total`" at its foot, x counting the
  // document's pages from 1; a total of 0 (the default) marks no page.
  void footPages(std::string name, int total);
  // Marks the foot of the page being drawn and counts it: for pages a caller starts on the
  // device itself (in paintPages). newPage and endDoc do it for the lines' pages.
  void footThisPage();

 private:
  void begin();
  // Finishes Qt's part of a PDF and starts its lines' pages, once.
  void startListing();
  // Marks the foot of the lines' page being written, as footThisPage does Qt's.
  void footListing();
  // Abandons the document and throws `what`.
  [[noreturn]] void fail(const std::string& what);
  void reset();

  PrintDevice printDevice_;
  ports::FileSystem* fs_ = nullptr;
  std::string pdfPath_;
  QBuffer pdfBytes_;
  std::unique_ptr<QPagedPaintDevice> device_;
  std::unique_ptr<QPainter> painter_;
  QFont font_;
  std::string fontName_;
  int points_ = 0;
  std::unique_ptr<PdfListing> listing_;
  bool painted_ = false;  // Qt's part of a PDF holds pages painted by a caller
  QRectF area_;           // the printable area of a PDF's page, in points from its top-left
  double pageHeight_ = 0.0;
  double ascent_ = 0.0;       // of the font, in device pixels
  double lineSpacing_ = 0.0;  // likewise
  double x_ = 0.0;
  double y_ = 0.0;
  std::string footName_;
  int footTotal_ = 0;
  int page_ = 1;
};

// The font of a PDF's lines as the file embeds it: its tables as Qt reads them, cut down to
// the glyphs of the Windows-1252 characters. Throws kestrand::Error.
PdfFont listingFont(const QFont& font);

// A PDF writer on `out` with the report's page: A4, the printable area a quarter inch in.
std::unique_ptr<QPagedPaintDevice> reportPdfWriter(QIODevice* out);

}  // namespace kestrand::adapters::qt
