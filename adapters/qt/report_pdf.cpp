#include "adapters/qt/report_pdf.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>

#include "adapters/qt/cp1252.h"
#include "adapters/qt/qt_printer.h"

namespace kestrand::adapters::qt {
namespace {

// The summary is laid out in pixels of 96 to the inch, the unit of the chart on the screen, so
// that the chart's lines and texts keep their proportions on paper; the painter scales them to
// the device. Fonts are sized in those pixels too.
constexpr double kUnitsPerInch = 96.0;
const QColor kRemarkColour{160, 0, 0};
const QColor kRuleColour{150, 150, 150};

QFont sans(int pixels, bool bold = false) {
  QFont f(QStringLiteral("Sans Serif"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

// Lays out the summary top to bottom, a new page where the next piece does not fit.
class Flow {
 public:
  Flow(QPainter& p, QPagedPaintDevice& d, std::function<void()> pageEnds)
      : p_(p), d_(d), pageEnds_(std::move(pageEnds)) {
    const double sx = d.logicalDpiX() / kUnitsPerInch, sy = d.logicalDpiY() / kUnitsPerInch;
    p.scale(sx, sy);
    // A quarter inch in from the printable area at the sides and foot, half an inch from its
    // top: where the listing's lines stand.
    page_ = QRectF(24, 48, d.width() / sx - 48, d.height() / sy - 72);
    y_ = page_.top();
  }

  int pages() const { return pages_; }
  double room() const { return page_.bottom() - y_; }
  double pageHeight() const { return page_.height(); }

  // Starts a new page unless `height` fits on this one (or this one is still empty).
  void need(double height) {
    if (height <= room() || y_ <= page_.top()) return;
    if (pageEnds_) pageEnds_();
    d_.newPage();
    ++pages_;
    y_ = page_.top();
  }
  void skip(double height) { y_ += height; }
  // Starts a new page unless this one is still empty.
  void newPage() { need(room() + 1); }

  // `text` wrapped into lines no wider than `width`, from `x` (relative to the page's left).
  void paragraph(const QString& text, const QFont& font, double x = 0, double width = -1,
                 const QColor& colour = Qt::black) {
    if (width < 0) width = page_.width() - x;
    const QFontMetricsF fm(font, &d_);
    for (const QString& line : wrap(text, font, width)) {
      need(fm.height());
      p_.setFont(font);
      p_.setPen(colour);
      p_.drawText(QPointF(page_.left() + x, y_ + fm.ascent()), line);
      y_ += fm.height();
    }
  }

  // A label and its value, the value wrapped in a column of its own.
  void field(const QString& label, const QString& value, const QFont& font, double valueAt) {
    const QFontMetricsF fm(font, &d_);
    need(fm.height());
    p_.setFont(font);
    p_.setPen(Qt::black);
    p_.drawText(QPointF(page_.left(), y_ + fm.ascent()), label);
    if (value.isEmpty()) {
      y_ += fm.height();
      return;
    }
    paragraph(value, font, valueAt);
  }

  // Rows of cells in columns as wide as their widest cell; the first column left-aligned, the
  // others right-aligned; the first row in bold above a rule. The font shrinks until the table
  // fits the page's width.
  void table(const std::vector<std::vector<QString>>& rows, int pixels) {
    if (rows.empty()) return;
    std::vector<double> widths;
    QFont font, bold;
    constexpr double kGap = 12;
    for (;; --pixels) {
      font = sans(pixels);
      bold = sans(pixels, true);
      const QFontMetricsF fm(font, &d_), bm(bold, &d_);
      widths.assign(rows[0].size(), 0.0);
      for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size() && c < widths.size(); ++c) {
          const double w = (r == 0 ? bm : fm).horizontalAdvance(rows[r][c]);
          widths[c] = std::max(widths[c], w);
        }
      }
      double total = kGap * static_cast<double>(widths.size() - 1);
      for (double w : widths) total += w;
      if (total <= page_.width() || pixels <= 6) break;
    }
    const QFontMetricsF fm(font, &d_);
    const double rowHeight = fm.height() * 1.25;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      need(rowHeight);
      p_.setFont(r == 0 ? bold : font);
      p_.setPen(Qt::black);
      double x = page_.left();
      for (std::size_t c = 0; c < rows[r].size() && c < widths.size(); ++c) {
        const QRectF cell(x, y_, widths[c], rowHeight);
        p_.drawText(cell, (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, rows[r][c]);
        x += widths[c] + kGap;
      }
      y_ += rowHeight;
      if (r == 0) {
        p_.setPen(QPen(kRuleColour, 0.75));
        p_.drawLine(QPointF(page_.left(), y_), QPointF(x - kGap, y_));
      }
    }
  }

  // A picture `height` high across the page, drawn by `paint` into its rectangle.
  void block(double height, const std::function<void(const QRectF&)>& paint) {
    need(height);
    paint(QRectF(page_.left(), y_, page_.width(), std::min(height, room())));
    y_ += height;
  }

 private:
  std::vector<QString> wrap(const QString& text, const QFont& font, double width) const {
    std::vector<QString> lines;
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
    for (const QString& paragraph : normal.split(QChar('\n'))) {
      QTextLayout layout(paragraph, font, &d_);
      layout.beginLayout();
      for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.push_back(paragraph.mid(line.textStart(), line.textLength()));
      }
      layout.endLayout();
      if (paragraph.isEmpty()) lines.emplace_back();
    }
    return lines;
  }

  QPainter& p_;
  QPagedPaintDevice& d_;
  std::function<void()> pageEnds_;
  QRectF page_;
  double y_ = 0;
  int pages_ = 1;
};

// A table's title row and rows (Windows-1252) as the painter's texts.
std::vector<std::vector<QString>> tableRows(const std::vector<std::string>& head,
                                            const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::vector<QString>> out;
  out.emplace_back();
  for (const std::string& title : head) out.back().push_back(fromCp1252(title));
  for (const auto& cells : rows) {
    out.emplace_back();
    for (const std::string& cell : cells) out.back().push_back(fromCp1252(cell));
  }
  return out;
}

// The title, the files with the report id, and the remarks on them.
void paintReportTitle(Flow& flow, const view::SurveySummary& s, const QFont& body) {
  flow.paragraph(QObject::tr("Survey report"), sans(20, true));
  flow.skip(4);
  QStringList files;
  for (const std::string& name : s.files) files << fromCp1252(name);
  // The report id follows the file names on their line.
  const QString id = s.reportId.empty()
                         ? QString()
                         : QObject::tr("    Report id: ") + QString::fromStdString(s.reportId);
  flow.paragraph((files.size() == 1 ? QObject::tr("File: ") : QObject::tr("Files: ")) +
                     files.join(QStringLiteral(", ")) + id,
                 sans(12, true));
  for (const std::string& remark : s.remarks) {
    flow.paragraph(fromCp1252(remark), body, 0, -1, kRemarkColour);
  }
  flow.skip(10);
}

// The notes: the value column starts after the widest label.
void paintNotes(Flow& flow, QPagedPaintDevice& device, const view::SurveySummary& s,
                const QFont& body) {
  const QString labels[] = {
      QObject::tr("Site:"),   QObject::tr("Operator:"),          QObject::tr("Comment:"),
      QObject::tr("Client:"), QObject::tr("Instrument serial:"), QObject::tr("Calibration date:")};
  const std::string* values[] = {
      &s.notes.site,   &s.notes.operatorName,     &s.notes.comment,
      &s.notes.client, &s.notes.instrumentSerial, &s.notes.calibrationDate};
  const QFontMetricsF fm(body, &device);
  double valueAt = 0;
  // Site, operator and comment always; the client and the instrument when they are given.
  const auto shown = [&](std::size_t k) { return k < 3 || !values[k]->empty(); };
  for (std::size_t k = 0; k < std::size(labels); ++k) {
    if (shown(k)) valueAt = std::max(valueAt, fm.horizontalAdvance(labels[k]));
  }
  for (std::size_t k = 0; k < std::size(labels); ++k) {
    if (shown(k)) flow.field(labels[k], QString::fromStdString(*values[k]), body, valueAt + 12);
  }
  flow.skip(10);
}

// The chart takes the rest of the page when that is enough for it, else most of a new one.
void paintChartBlock(Flow& flow, QPainter& painter, const view::ChartData& chart,
                     const ChartOptions& chartOptions) {
  const double least = flow.pageHeight() * 0.4;
  const double height = flow.room() >= least ? flow.room() : flow.pageHeight() * 0.6;
  ChartOptions look = chartOptions;
  look.detail = std::max(look.detail, 2.0);
  flow.block(height, [&](const QRectF& area) {
    painter.setFont(sans(11));
    paintChart(painter, area, chart, look);
  });
}

// The assessment against an exposure standard, on a page of its own.
void paintAssessment(Flow& flow, const view::SurveySummary& s, const QFont& body) {
  flow.newPage();
  flow.paragraph(QObject::tr("Assessment"), sans(20, true));
  flow.skip(6);
  for (const std::string& line : s.assessmentText) {
    flow.paragraph(fromCp1252(line), body);
    flow.skip(3);
  }
  flow.skip(8);
  flow.table(tableRows(s.assessmentHead, s.assessmentRows), 12);
  flow.skip(14);
  flow.paragraph(fromCp1252(s.overallVerdict), sans(14, true));
}

}  // namespace

int paintSurveySummary(QPainter& painter, QPagedPaintDevice& device, const view::SurveySummary& s,
                       const view::ChartData& chart, const ChartOptions& chartOptions,
                       const std::function<void()>& pageEnds) {
  painter.save();
  Flow flow(painter, device, pageEnds);
  const QFont body = sans(12), heading = sans(14, true);
  paintReportTitle(flow, s, body);
  paintNotes(flow, device, s, body);

  flow.need(60);
  flow.paragraph(QObject::tr("Information"), heading);
  flow.skip(2);
  for (const std::string& detail : s.details) flow.paragraph(fromCp1252(detail), body);
  flow.skip(10);

  flow.need(60);
  flow.paragraph(QObject::tr("Statistics"), heading);
  flow.skip(2);
  flow.table(tableRows(s.statsHead, s.statsRows), 12);
  flow.skip(14);

  paintChartBlock(flow, painter, chart, chartOptions);
  if (!s.assessmentHead.empty()) paintAssessment(flow, s, body);
  painter.restore();
  return flow.pages();
}

std::unique_ptr<ports::Printer> openSurveyReport(ports::FileSystem& fs, const std::string& path,
                                                 const view::SurveySummary& summary,
                                                 const view::ChartData& chart,
                                                 const ChartOptions& chartOptions) {
  auto pdf = std::make_unique<QtPrinter>(fs, path);
  if (!summary.pageFoot.empty()) {
    // The summary's pages are counted on a scratch document first, so that every page can say
    // how many the report has. The chart's room is the flow's, whatever its samples: it is
    // counted without its lines, which would be drawn and compressed only to be thrown away.
    QBuffer scratch;
    scratch.open(QIODevice::WriteOnly);
    const auto dry = reportPdfWriter(&scratch);
    QPainter painter(dry.get());
    ChartOptions withoutLines = chartOptions;
    withoutLines.hidden.assign(chart.series.size(), true);
    const int pages = paintSurveySummary(painter, *dry, summary, chart, withoutLines);
    painter.end();
    pdf->footPages(summary.pageFoot, pages + static_cast<int>(summary.listingPages));
  }
  pdf->paintPages([&](QPainter& painter, QPagedPaintDevice& device) {
    paintSurveySummary(painter, device, summary, chart, chartOptions,
                       [&pdf] { pdf->footThisPage(); });
  });
  return pdf;
}

}  // namespace kestrand::adapters::qt
