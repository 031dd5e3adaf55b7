#include "platform/qt/chart_widget.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <fstream>

#include "core/messages.h"
#include "platform/posix/posix_file_system.h"
#include "store/raw_reader.h"
#include "view/chart.h"
#include "view/grid.h"

namespace kestrand::platform::qt {
namespace {

int pixelsNear(const QImage& image, QColor colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      n += std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
               std::abs(c.blue() - colour.blue()) <
           60;
    }
  }
  return n;
}

TEST(ChartWidget, DrawsASmallRawFileToPngWithItsReferenceLine) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/QV small.dat";
  {
    // Continuous mode, 1 s apart, X-Point only: a saw tooth from 1 to 10.
    std::ofstream f(path, std::ios::binary);
    f << "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n1,1,0\r\n";
    for (int i = 0; i < 40; ++i) f << "1,0\r\n" << 1 + i % 10 << "\r\n";
  }
  posix::PosixFileSystem fs;
  store::ProbeTable probes;
  probes.InitProbeTable();
  const MessageCatalogue catalogue;
  auto table = std::make_unique<store::SampleTable>();
  store::HeaderFields header;
  const store::ReadResult read = store::ReadRawDataFile(
      "QV small.dat", fs, dir.path().toStdString(), {probes, catalogue, 3, {}}, header, *table);
  ASSERT_EQ(read.end, store::ReadEnd::kComplete);
  const view::DataTableView shown = view::UpdateDataTable(*table, header, {0, 3, 1, {}});
  ChartWidget widget(fs, dir.path().toStdString());
  widget.setData(view::chartData(shown.grid, *table, header, 3), "QV small.dat");

  const QString png = dir.path() + "/chart.png";
  for (std::optional<double> level : {std::optional<double>(), std::optional<double>(5.5)}) {
    widget.setReference(level);
    ASSERT_TRUE(widget.saveChart(png, QSize(640, 400)));
    const QImage image(png);
    EXPECT_EQ(image.size(), QSize(640, 400));
    EXPECT_GT(pixelsNear(image, QColor(31, 119, 180)), 300);  // the first column's line
    EXPECT_EQ(pixelsNear(image, ChartWidget::kReferenceColour) > 300, level.has_value());
  }
  // A zoom redraws from the samples in view, one more on either side.
  widget.zoomTo(10, 20);
  const QList<QPointF> drawn = widget.drawnPoints(0);
  ASSERT_EQ(drawn.size(), 13);
  EXPECT_EQ(drawn.front(), QPointF(9, 10));
  EXPECT_EQ(drawn.back(), QPointF(21, 2));
}

}  // namespace
}  // namespace kestrand::platform::qt
