#pragma once
// The chart of the readings drawn with a QPainter onto any paint device: the "Chart" tab's
// picture, a PNG image, a PDF page (as vectors, beside text on a report page). Each series is
// reduced to the extremes its pixel columns can show before it is drawn, so the picture costs
// the same for 100 samples as for 16300.

#include <QByteArray>
#include <QColor>
#include <QPen>
#include <QRectF>
#include <QSize>
#include <optional>
#include <string>
#include <vector>

#include "view/chart.h"

class QPainter;

namespace kestrand::adapters::qt {

// The colour of value column `index` of the chart (in grid order), and of the reference line.
QColor seriesColour(std::size_t index);
// The pen of that column's line: its colour, solid for the first columns, then dashed, dotted
// and dash-dotted as the colours come round again.
QPen seriesPen(std::size_t index, double width);
inline const QColor kReferenceColour{255, 0, 255};
// The bands over the pauses between runs of samples.
inline const QColor kPauseColour{242, 242, 242};

// What a picture of the chart shows besides the data.
struct ChartOptions {
  std::optional<double> reference;  // drawn as a line across, and named in the caption
  // The time window, in seconds after the first sample; x1 <= x0 means the whole upload.
  double x0 = 0.0;
  double x1 = 0.0;
  // The value window; none means the values of every series and the reference, with room.
  std::optional<view::ValueRange> values;
  std::vector<bool> hidden;  // per series: left out (the legend's switch)
  // The caption's first line, the file name; when empty the caption (name, start, units,
  // reference) is left out.
  std::string title;
  bool legend = true;  // the series' colours and whole titles under the time axis
  // Pixel columns per device pixel the series are reduced for (more for a page to be printed).
  double detail = 1.0;
};

// Where the data went: the plot area and the windows it shows, to map a pointer back.
struct ChartFrame {
  QRectF plot;
  double x0 = 0.0;
  double x1 = 1.0;
  double y0 = 0.0;
  double y1 = 1.0;
  bool empty = true;  // no samples: no axes were drawn

  double timeAt(double px) const { return x0 + (px - plot.left()) / plot.width() * (x1 - x0); }
  double valueAt(double py) const { return y0 + (plot.bottom() - py) / plot.height() * (y1 - y0); }
};

// Paints the chart of `chart` into `area` of the painter's device, white background included.
// A chart without samples shows a line saying so, and no axes.
ChartFrame paintChart(QPainter& painter, const QRectF& area, const view::ChartData& chart,
                      const ChartOptions& options);

// The whole upload's time window: from the first sample to the last (at least one second).
inline std::pair<double, double> wholeWindow(const view::ChartData& chart) {
  return {0.0, chart.x.empty() ? 1.0 : std::max(chart.x.back(), 1.0)};
}

enum class ChartFileType { kPng, kPdf };

// The chart as the bytes of a file: a `size` pixel PNG image, or a one-page PDF of the same
// size at 96 dots an inch whose lines and texts are vectors. Empty when it cannot be made.
QByteArray chartFile(ChartFileType type, QSize size, const view::ChartData& chart,
                     const ChartOptions& options);

}  // namespace kestrand::adapters::qt
