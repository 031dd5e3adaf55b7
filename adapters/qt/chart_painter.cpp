#include "adapters/qt/chart_painter.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <map>
#include <new>
#include <optional>
#include <span>

#include "adapters/qt/cp1252.h"
#include "adapters/qt/png_image.h"
#include "view/stats.h"

namespace kestrand::adapters::qt {
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

// Where the series' lines may go: the plot and its frame.
QRectF lineReach(const QRectF& plot) {
  return plot.adjusted(-1, -1, 1, 1);
}

// Which device pixel columns of series `s`'s dense line are on, counted from the plot's left
// edge and over again: Qt's pattern of its pen (dash 4 on 2 off, dot 1 on 2 off, dash-dot 4 on
// 2 off 1 on 2 off, in pen widths of `width` device pixels) laid along the time axis. Each
// series' pattern starts a pen width further on, so that the gaps of lines dashed alike do not
// line up (along a dense line's path, as Qt dashes it, they fall anywhere). Empty when solid.
std::vector<bool> dashColumns(std::size_t s, int width) {
  const QPen pen = seriesPen(s, 1.0);
  std::vector<bool> on;
  if (pen.style() == Qt::SolidLine) return on;
  const QList<qreal> pattern = pen.dashPattern();
  for (qsizetype k = 0; k < pattern.size(); ++k) {
    const auto n = std::max<qsizetype>(1, qRound(pattern[k] * width));
    on.insert(on.end(), static_cast<std::size_t>(n), k % 2 == 0);
  }
  std::rotate(on.begin(),
              on.begin() + static_cast<long>(s * static_cast<std::size_t>(width) % on.size()),
              on.end());
  return on;
}

// Dense series on a raster device as the pixel columns their lines cover. Qt draws a steep
// aliased line as a span per row, a blend call each, which cost a third of a whole chart; here
// each column's span of a line is a one-pixel-wide rectangle, and where a later series covers
// an earlier one in a column only the later is filled (a busy upload's seventeen lines each
// cover most of every column: filled one over the other they cost five times the plot's area).
// `toDevice` maps the painter's coordinates to device pixels (scaled and moved only); the
// painter draws in device pixels while the columns are filled.
class ColumnFill {
 public:
  // Lines are kept to `reach` (the painter's coordinates), as the painter's clip keeps them: to
  // the device pixels wholly inside it.
  ColumnFill(const QTransform& toDevice, const QRectF& reach)
      : toDevice_(toDevice), width_(std::max(1, qRound(toDevice.m11()))) {
    const QRectF r = toDevice.mapRect(reach);
    left_ = static_cast<int>(std::ceil(r.left()));
    right_ = static_cast<int>(std::floor(r.right())) - 1;
    top_ = static_cast<int>(std::ceil(r.top()));
    bottom_ = static_cast<int>(std::floor(r.bottom())) - 1;
  }

  // Adds the line of series `s` through `runs`, above those added before.
  void add(std::size_t s, const std::vector<std::vector<view::ChartPoint>>& runs, const Layout& l) {
    spans_.clear();
    for (const auto& run : runs) {
      points_.clear();
      for (const view::ChartPoint& q : run) {
        const QPointF d = toDevice_.map(QPointF(l.px(q.x), l.py(q.y)));
        points_.push_back({d.x(), d.y()});
      }
      view::lineColumns(points_, left_, right_, top_, bottom_, spans_);
    }
    const std::vector<bool> dashes = dashColumns(s, width_);
    for (const view::ColumnSpan& c : spans_) {
      if (!dashes.empty() && !dashes[static_cast<std::size_t>(c.column - left_) % dashes.size()])
        continue;
      // A line wider than a device pixel (a pen width at a device pixel ratio of 2) covers as
      // many columns and reaches as far down again.
      const int first = std::max(left_, c.column - (width_ - 1) / 2);
      const int last = std::min(right_, c.column + width_ / 2);
      const int bottom = std::min(bottom_, c.bottom + width_ - 1);
      for (int x = first; x <= last; ++x) added_.push_back({{x, c.top, bottom}, s});
    }
  }

  // Fills what is seen of the lines added since the last time.
  void paint(QPainter& p) {
    if (added_.empty()) return;
    // The spans by column, each column's in the order added.
    const auto columns = static_cast<std::size_t>(right_ - left_ + 1);
    start_.assign(columns + 1, 0);
    for (const Added& a : added_) ++start_[static_cast<std::size_t>(a.span.column - left_) + 1];
    for (std::size_t k = 0; k < columns; ++k) start_[k + 1] += start_[k];
    order_.resize(added_.size());
    next_.assign(start_.begin(), start_.end() - 1);
    for (std::size_t k = 0; k < added_.size(); ++k)
      order_[next_[static_cast<std::size_t>(added_[k].span.column - left_)]++] = k;
    // Each column from the last line added down: what it shows of a span is what no line above
    // has covered.
    std::map<std::size_t, std::vector<QRect>> seen;
    for (std::size_t col = 0; col < columns; ++col) {
      covered_.clear();
      for (std::size_t k = start_[col + 1]; k-- > start_[col];) {
        const Added& a = added_[order_[k]];
        std::vector<QRect>& rects = seen[a.series];
        int y = a.span.top;
        for (const auto& [from, to] : covered_) {
          if (to < y) continue;
          if (from > a.span.bottom) break;
          if (from > y) rects.push_back(QRect(a.span.column, y, 1, from - y));
          y = to + 1;
        }
        if (y <= a.span.bottom) rects.push_back(QRect(a.span.column, y, 1, a.span.bottom - y + 1));
        cover(a.span.top, a.span.bottom);
      }
    }
    for (const auto& [s, rects] : seen) {
      p.setBrush(seriesColour(s));
      p.drawRects(rects.data(), static_cast<int>(rects.size()));
    }
    added_.clear();
  }

 private:
  struct Added {
    view::ColumnSpan span;
    std::size_t series;
  };

  // Adds rows `from` to `to` to the column's covered rows (kept in order, apart).
  void cover(int from, int to) {
    auto it = covered_.begin();
    while (it != covered_.end() && it->second + 1 < from) ++it;
    auto end = it;
    while (end != covered_.end() && end->first <= to + 1) {
      from = std::min(from, end->first);
      to = std::max(to, end->second);
      ++end;
    }
    it = covered_.erase(it, end);
    covered_.insert(it, {from, to});
  }

  QTransform toDevice_;
  int width_;
  int left_ = 0, right_ = 0, top_ = 0, bottom_ = 0;
  std::vector<view::ChartPoint> points_;
  std::vector<view::ColumnSpan> spans_;
  std::vector<Added> added_;
  std::vector<std::size_t> start_, next_, order_;
  std::vector<std::pair<int, int>> covered_;
};

// Fills the dense lines `columns` has gathered, in device pixels, with no pen or smoothing.
void fillColumns(QPainter& p, ColumnFill& columns) {
  p.save();
  p.setWorldTransform(p.deviceTransform().inverted() * p.worldTransform());
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  columns.paint(p);
  p.restore();
}

// The series, each reduced to what its pixel columns show. Dense lines are drawn without
// antialiasing: a column's extremes are a vertical stroke whichever way, and the smoothing
// would cost more than all the rest of the picture; a sparse line is smoothed. On a raster
// device (an image, the window) a dense line is filled as its columns' spans, with its dashes
// along the time axis; a printer or PDF gets the line itself.
void paintSeries(QPainter& p, const view::ChartData& c, const ChartOptions& o, const Layout& l) {
  const QRectF& plot = l.frame.plot;
  const int pixels =
      std::max(1, static_cast<int>(plot.width() * o.detail * p.device()->devicePixelRatioF()));
  const QTransform toDevice = p.deviceTransform();
  std::optional<ColumnFill> columns;
  if (p.paintEngine()->type() == QPaintEngine::Raster && toDevice.type() <= QTransform::TxScale &&
      toDevice.m11() > 0 && toDevice.m22() > 0) {
    columns.emplace(toDevice, lineReach(plot));
  }
  // On a device of eight pixels or more to the painter's unit (a PDF file's 1200 to the inch,
  // where the chart is laid out at 96), the lines go in whole device pixels, a sixteenth of a
  // unit off at most: a PDF then writes two whole numbers a point instead of two with six
  // decimals, and compressing them, most of a report summary's time, takes less than half as
  // long. Coarser devices (a picture, the screen) keep the points as they are.
  const bool inDeviceUnits = !columns && toDevice.type() <= QTransform::TxScale &&
                             toDevice.m11() >= 8.0 && toDevice.m11() == toDevice.m22();
  std::vector<std::vector<view::ChartPoint>> runs;
  QPolygonF polygon;
  for (std::size_t s = 0; s < c.series.size(); ++s) {
    if (s < o.hidden.size() && o.hidden[s]) continue;
    reducedRuns(c, s, l.frame.x0, l.frame.x1, pixels, runs);
    std::size_t points = 0;
    for (const auto& run : runs) points += run.size();
    const bool dense = points > static_cast<std::size_t>(plot.width());
    p.setRenderHint(QPainter::Antialiasing, !dense);
    if (dense && columns) {
      columns->add(s, runs, l);
      continue;
    }
    if (columns) fillColumns(p, *columns);
    if (inDeviceUnits) {
      p.save();
      p.resetTransform();
    }
    p.setPen(seriesPen(s, inDeviceUnits ? toDevice.m11() : 1.0));
    for (const auto& run : runs) {
      polygon.resize(static_cast<qsizetype>(run.size()));
      for (std::size_t k = 0; k < run.size(); ++k) {
        const QPointF at(l.px(run[k].x), l.py(run[k].y));
        polygon[static_cast<qsizetype>(k)] =
            inDeviceUnits ? QPointF(std::round(toDevice.m11() * at.x() + toDevice.dx()),
                                    std::round(toDevice.m22() * at.y() + toDevice.dy()))
                          : at;
      }
      if (polygon.size() == 1) {
        p.drawPoint(polygon[0]);
      } else {
        p.drawPolyline(polygon);
      }
    }
    if (inDeviceUnits) p.restore();
  }
  if (columns) fillColumns(p, *columns);
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
  p.setClipRect(lineReach(plot));
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
  const QRectF area(QPointF(0, 0), QSizeF(size));
  if (type == ChartFileType::kPng) {
    // Opaque: a third less to compress than with an alpha channel. Its pixels come from operator
    // new, which the programs give huge pages for a block this large: as Qt allocates them, their
    // first painting faulted them in 4 KB at a time, a tenth of a chart's time.
    if (size.isEmpty()) return {};
    const auto bytesPerLine = static_cast<qsizetype>(size.width()) * 4;
    auto* pixels = new (std::nothrow) uchar[static_cast<std::size_t>(bytesPerLine * size.height())];
    if (pixels == nullptr) return {};
    QImage image(
        pixels, size.width(), size.height(), bytesPerLine, QImage::Format_RGB32,
        [](void* p) { delete[] static_cast<uchar*>(p); }, pixels);
    if (image.isNull()) return {};
    QPainter painter(&image);
    paintChart(painter, area, chart, options);
    painter.end();
    return pngImage(image);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
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

}  // namespace kestrand::adapters::qt
