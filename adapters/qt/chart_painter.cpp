#include "adapters/qt/chart_painter.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <span>

#include "adapters/qt/cp1252.h"
#include "view/stats.h"

namespace kestrand::platform::qt {
namespace {

// Ten colours told apart at a glance (no two closer than about 100 in the sum of their red, green
// and blue steps), dark enough on white and far from the reference line's magenta. Past them the
// colours come again, dashed, then dotted, then dash-dotted.
const QColor kColours[] = {{31, 119, 180},  {255, 127, 14}, {44, 160, 44},  {214, 39, 40},
                           {148, 103, 189}, {140, 86, 75},  {23, 190, 207}, {127, 127, 127},
                           {188, 189, 34},  {0, 0, 0}};
const Qt::PenStyle kStyles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine};
const QColor kGridColour{225, 225, 225};
const QColor kFrameColour{150, 150, 150};
const QColor kTextColour{40, 40, 40};

QString text(const std::string& s) {
  return fromCp1252(s);
}

// The caption under the file name: when the upload started, its units and the reference level.
QString captionLine(const view::ChartData& chart, const ChartOptions& o) {
  QStringList parts;
  if (!chart.start.empty()) {
    parts << QObject::tr("Start %1").arg(text(chart.start).simplified());
  }
  if (!chart.units.empty()) parts << QObject::tr("Units %1").arg(text(chart.units));
  if (o.reference) {
    parts << QObject::tr("Reference level %1 %2")
                 .arg(text(view::shortNumber(*o.reference)), text(chart.units))
                 .trimmed();
  }
  return parts.join(QStringLiteral("    "));
}

struct LegendEntry {
  std::size_t series;
  QString title;
  double width;
};

// The legend's entries in rows no wider than `width`: a colour sample and the whole title each.
std::vector<std::vector<LegendEntry>> legendRows(const view::ChartData& chart,
                                                 const ChartOptions& o, const QFontMetricsF& fm,
                                                 double width) {
  std::vector<std::vector<LegendEntry>> rows(1);
  double used = 0.0;
  const double sample = fm.height() * 1.5, gap = fm.height();
  for (std::size_t s = 0; s < chart.series.size(); ++s) {
    if (s < o.hidden.size() && o.hidden[s]) continue;
    const QString title = text(chart.series[s].title);
    const double w = sample + fm.horizontalAdvance(title) + gap;
    if (used > 0 && used + w > width) {
      rows.emplace_back();
      used = 0.0;
    }
    rows.back().push_back({s, title, w});
    used += w;
  }
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

// The points of series `s` that its pixel columns show, one polygon per run in the window.
void reducedRuns(const view::ChartData& c, std::size_t s, double x0, double x1, int pixels,
                 std::vector<std::vector<view::ChartPoint>>& out) {
  out.clear();
  const auto& y = c.series[s].y;
  for (std::size_t r = 0; r < c.runStarts.size(); ++r) {
    const std::size_t b = c.runBegin(r), e = c.runEnd(r);
    if (e == b || c.x[e - 1] < x0) continue;
    if (c.x[b] > x1) break;
    out.push_back(view::reduceForPixels(std::span(c.x).subspan(b, e - b),
                                        std::span(y).subspan(b, e - b), x0, x1, pixels));
  }
}

// The file name in bold and the caption under it, at the top of `rest`, which loses their room.
void paintTitle(QPainter& p, QRectF& rest, const view::ChartData& c, const ChartOptions& o,
                const QFontMetricsF& fm) {
  const QFont font = p.font();
  const double line = fm.height();
  QFont bold = font;
  bold.setBold(true);
  p.setFont(bold);
  const QFontMetricsF bm(bold, p.device());
  p.drawText(QRectF(rest.left(), rest.top(), rest.width(), bm.height()), Qt::AlignLeft,
             bm.elidedText(text(o.title), Qt::ElideMiddle, rest.width()));
  p.setFont(font);
  rest.setTop(rest.top() + bm.height());
  p.drawText(QRectF(rest.left(), rest.top(), rest.width(), line), Qt::AlignLeft,
             fm.elidedText(captionLine(c, o), Qt::ElideRight, rest.width()));
  rest.setTop(rest.top() + line * 1.5);
}

// The legend's `rows` at the bottom of `rest`, which loses their room.
void paintLegend(QPainter& p, QRectF& rest, const std::vector<std::vector<LegendEntry>>& rows,
                 double line) {
  double y = rest.bottom() - line * static_cast<double>(rows.size());
  rest.setBottom(y - line * 0.5);
  for (const auto& row : rows) {
    double x = rest.left();
    for (const LegendEntry& e : row) {
      p.setPen(seriesPen(e.series, 3));
      p.drawLine(QPointF(x, y + line / 2), QPointF(x + line, y + line / 2));
      p.setPen(kTextColour);
      p.drawText(QRectF(x + line * 1.5, y, e.width, line), Qt::AlignLeft | Qt::AlignVCenter,
                 e.title);
      x += e.width;
    }
    y += line;
  }
}

// Where the data go: the plot area and its windows, and the marks on both axes.
struct Layout {
  ChartFrame frame;
  view::Ticks yTicks;
  QStringList yLabels;
  double yLabelWidth = 0.0;
  double timeLabelWidth = 0.0;
  std::vector<double> xTicks;

  double px(double x) const {
    const QRectF& plot = frame.plot;
    return plot.left() + (x - frame.x0) / (frame.x1 - frame.x0) * plot.width();
  }
  double py(double v) const {
    const QRectF& plot = frame.plot;
    return plot.bottom() - (v - frame.y0) / (frame.y1 - frame.y0) * plot.height();
  }
};

// The value window and its marks: as asked, or fitted to the values and widened to round marks.
std::pair<double, double> valueWindow(const view::ChartData& c, const ChartOptions& o, int yMost,
                                      view::Ticks& yTicks) {
  double y0 = 0.0, y1 = 1.0;
  if (o.values) {
    y0 = o.values->lo;
    y1 = o.values->hi;
    yTicks = view::ticksWithin(y0, y1, yMost);
  } else {
    const view::ValueRange fit = view::valueRange(c, o.reference);
    yTicks = view::widenToTicks(fit.lo, fit.hi, yMost);
    y0 = yTicks.at.front();
    y1 = yTicks.at.back();
    if (!(y1 > y0)) y0 = fit.lo, y1 = fit.hi;
  }
  return {y0, y1};
}

// The windows: time as asked, values as asked or fitted, both on round marks; the plot takes
// what of `rest` the marks' texts leave.
Layout layoutChart(const view::ChartData& c, const ChartOptions& o, const QFontMetricsF& fm,
                   const QRectF& rest) {
  const double line = fm.height();
  Layout l;
  const bool zoomed = o.x1 > o.x0;
  const double x0 = zoomed ? o.x0 : wholeWindow(c).first;
  const double x1 = zoomed ? o.x1 : wholeWindow(c).second;
  const double plotHeight = rest.height() - line * 1.5;
  const int yMost = std::max(2, static_cast<int>(plotHeight / (line * 1.8)) + 1);
  const auto [y0, y1] = valueWindow(c, o, yMost, l.yTicks);
  for (const double v : l.yTicks.at) {
    l.yLabels << text(view::tickText(v, l.yTicks.step));
    l.yLabelWidth = std::max(l.yLabelWidth, fm.horizontalAdvance(l.yLabels.back()));
  }
  // A time label's width (they all have the same form); the last one may hang over the plot's
  // right edge by half of it.
  l.timeLabelWidth = fm.horizontalAdvance(text(view::axisText(c, x1)));
  const double left = (c.units.empty() ? 0.0 : line * 1.5) + l.yLabelWidth + line * 0.5;
  const QRectF plot(rest.left() + left, rest.top() + line / 2,
                    std::max(1.0, rest.width() - left - l.timeLabelWidth / 2),
                    std::max(1.0, plotHeight - line / 2));
  l.frame = {plot, x0, x1, y0, y1, false};
  const int xMost = std::max(2, static_cast<int>(plot.width() / (l.timeLabelWidth + line * 1.5)));
  l.xTicks = view::timeTicks(c, x0, x1, xMost);
  return l;
}

// Pauses wide enough to see (narrower ones would only stripe the plot: the gaps in the lines
// show them), and the grid.
void paintGrid(QPainter& p, const view::ChartData& c, const Layout& l) {
  const QRectF& plot = l.frame.plot;
  for (std::size_t r = 1; r < c.runStarts.size(); ++r) {
    const double a = std::max(l.px(c.x[c.runStarts[r] - 1]), plot.left());
    const double b = std::min(l.px(c.x[c.runStarts[r]]), plot.right());
    if (b - a >= 4.0)
      p.fillRect(QRectF(QPointF(a, plot.top()), QPointF(b, plot.bottom())), kPauseColour);
  }
  p.setPen(QPen(kGridColour, 1));
  for (qsizetype k = 0; k < l.yLabels.size(); ++k) {
    const double y = l.py(l.yTicks.at[static_cast<std::size_t>(k)]);
    p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
  }
  for (const double t : l.xTicks)
    p.drawLine(QPointF(l.px(t), plot.top()), QPointF(l.px(t), plot.bottom()));
}

// The marks' texts, and the units up the value axis at the left of `rest`.
void paintMarks(QPainter& p, const QRectF& area, const QRectF& rest, const view::ChartData& c,
                const Layout& l, double line) {
  const QRectF& plot = l.frame.plot;
  p.setPen(kTextColour);
  for (qsizetype k = 0; k < l.yLabels.size(); ++k) {
    const double y = l.py(l.yTicks.at[static_cast<std::size_t>(k)]);
    p.drawText(QRectF(plot.left() - line * 0.4 - l.yLabelWidth, y - line / 2, l.yLabelWidth, line),
               Qt::AlignRight | Qt::AlignVCenter, l.yLabels[k]);
  }
  const double timeLabelWidth = l.timeLabelWidth;
  for (const double t : l.xTicks) {
    // Centred under its mark, but never past the picture's edges.
    const double x =
        std::clamp(l.px(t) - timeLabelWidth / 2, area.left(), area.right() - timeLabelWidth);
    p.drawText(QRectF(x, plot.bottom() + line * 0.25, timeLabelWidth, line), Qt::AlignCenter,
               text(view::axisText(c, t)));
  }
  if (!c.units.empty()) {
    p.save();
    p.translate(rest.left(), plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-plot.height() / 2, 0, plot.height(), line), Qt::AlignCenter, text(c.units));
    p.restore();
  }
}

// The series, each reduced to what its pixel columns show. Dense lines are drawn without
// antialiasing: a column's extremes are a vertical stroke whichever way, and the smoothing
// would cost more than all the rest of the picture; a sparse line is smoothed.
void paintSeries(QPainter& p, const view::ChartData& c, const ChartOptions& o, const Layout& l) {
  const QRectF& plot = l.frame.plot;
  const int pixels =
      std::max(1, static_cast<int>(plot.width() * o.detail * p.device()->devicePixelRatioF()));
  std::vector<std::vector<view::ChartPoint>> runs;
  QPolygonF polygon;
  for (std::size_t s = 0; s < c.series.size(); ++s) {
    if (s < o.hidden.size() && o.hidden[s]) continue;
    reducedRuns(c, s, l.frame.x0, l.frame.x1, pixels, runs);
    std::size_t points = 0;
    for (const auto& run : runs) points += run.size();
    p.setRenderHint(QPainter::Antialiasing, points <= static_cast<std::size_t>(plot.width()));
    p.setPen(seriesPen(s, 1.0));
    for (const auto& run : runs) {
      polygon.resize(static_cast<qsizetype>(run.size()));
      for (std::size_t k = 0; k < run.size(); ++k) {
        polygon[static_cast<qsizetype>(k)] = QPointF(l.px(run[k].x), l.py(run[k].y));
      }
      if (polygon.size() == 1) {
        p.drawPoint(polygon[0]);
      } else {
        p.drawPolyline(polygon);
      }
    }
  }
}

}  // namespace

QColor seriesColour(std::size_t index) {
  return kColours[index % std::size(kColours)];
}

QPen seriesPen(std::size_t index, double width) {
  QPen pen(seriesColour(index), width);
  pen.setStyle(kStyles[index / std::size(kColours) % std::size(kStyles)]);
  return pen;
}

ChartFrame paintChart(QPainter& p, const QRectF& area, const view::ChartData& c,
                      const ChartOptions& o) {
  p.save();
  p.fillRect(area, Qt::white);
  p.setPen(kTextColour);
  const QFontMetricsF fm(p.font(), p.device());
  const double line = fm.height();
  const double pad = std::round(line * 0.6);
  QRectF rest = area.adjusted(pad, pad, -pad, -pad);
  if (!o.title.empty()) paintTitle(p, rest, c, o, fm);
  if (c.samples() == 0) {
    p.drawText(rest, Qt::AlignCenter | Qt::TextWordWrap,
               QObject::tr("No readings on display: view an upload or open a saved file"));
    p.restore();
    return ChartFrame();
  }

  // The legend at the bottom, in as many rows as the width needs.
  const auto rows =
      o.legend ? legendRows(c, o, fm, rest.width()) : std::vector<std::vector<LegendEntry>>();
  if (!rows.empty()) paintLegend(p, rest, rows, line);
  const Layout l = layoutChart(c, o, fm, rest);
  const QRectF& plot = l.frame.plot;
  paintGrid(p, c, l);
  paintMarks(p, area, rest, c, l, line);
  p.setClipRect(plot.adjusted(-1, -1, 1, 1));
  paintSeries(p, c, o, l);
  if (o.reference) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(kReferenceColour, 2));
    p.drawLine(QPointF(plot.left(), l.py(*o.reference)), QPointF(plot.right(), l.py(*o.reference)));
  }
  p.setClipping(false);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(kFrameColour);
  p.setBrush(Qt::NoBrush);
  p.drawRect(plot);
  p.restore();
  return l.frame;
}

QByteArray chartFile(ChartFileType type, QSize size, const view::ChartData& chart,
                     const ChartOptions& options) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const QRectF area(QPointF(0, 0), QSizeF(size));
  if (type == ChartFileType::kPng) {
    // Opaque: a third less to compress than with an alpha channel.
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    paintChart(painter, area, chart, options);
    painter.end();
    if (!image.save(&buffer, "PNG")) return {};
    return bytes;
  }
  // One page the picture's size at 96 dots an inch, so a pixel of the image is a unit here.
  QPdfWriter pdf(&buffer);
  pdf.setResolution(96);
  pdf.setPageSize(QPageSize(QSizeF(size) * 0.75, QPageSize::Point));
  pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
  pdf.setCreator(QStringLiteral("Kestrand Data Upload"));
  pdf.setTitle(text(options.title));
  QPainter painter;
  if (!painter.begin(&pdf)) return {};
  ChartOptions forPrint = options;
  forPrint.detail = std::max(options.detail, 2.0);
  paintChart(painter, area, chart, forPrint);
  if (!painter.end()) return {};
  return bytes;
}

}  // namespace kestrand::platform::qt
