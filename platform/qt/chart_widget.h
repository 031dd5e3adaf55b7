#pragma once
// The chart of the readings: one line per value column against the time of the samples, a
// legend whose markers hide and show the lines, rubber-band zoom with a reset, the value and
// time under the pointer, a reference level drawn across and kept in its settings file, the
// statistics of every column below, and a "Save chart" button (PNG or PDF).

#include <QColor>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QSize>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "view/chart.h"
#include "view/stats.h"

class QChart;
class QLabel;
class QLineEdit;
class QAreaSeries;
class QLineSeries;
class QPushButton;
class QTableWidget;
class QValueAxis;

namespace kestrand::platform::qt {

class ChartWidget : public QWidget {
 public:
  // The colour of the reference line.
  static inline const QColor kReferenceColour{255, 0, 255};
  // The colour of the bands over the pauses between runs of samples.
  static inline const QColor kPauseColour{242, 242, 242};

  // The reference level is read from, and saved to, its settings file in `dataPath`.
  ChartWidget(FileSystem& fs, std::string dataPath, QWidget* parent = nullptr);
  ~ChartWidget() override;

  // Shows the chart and statistics of one upload; `uploadName` is proposed when saving.
  void setData(const view::ChartData& chart, const std::string& uploadName = {});
  void clear();

  // The reference level shown (and typed into the input); nullopt removes the line. Not saved.
  void setReference(std::optional<double> level);
  std::optional<double> reference() const { return reference_; }

  // Back to the whole upload.
  void resetZoom();
  // Shows [x0, x1] seconds after the first sample, with the detail that width allows.
  void zoomTo(double x0, double x1);

  // The chart alone at `size` (the widget's own size left as it is).
  QImage chartImage(QSize size);
  // Writes the chart to `path`: PDF when the name ends in ".pdf", else PNG. False on failure.
  bool saveChart(const QString& path, QSize size);

  // Where a failure to save goes (the reference file, a chart file); by default the status
  // text under the chart.
  void setFailureHandler(std::function<void(const std::string&)> handler);

  // For tests: the points drawn for value column `column` (all its runs, in order).
  QList<QPointF> drawnPoints(int column) const;
  QString statusText() const;

 private:
  class View;

  void rebuild();
  void reduceToView();
  void updateYRange();
  void updateReferenceLine();
  void fillStatistics();
  void referenceEdited();
  void saveClicked();
  void pointerAt(const QPointF& value);
  void fail(const std::string& text);

  FileSystem& fs_;
  std::string dataPath_;
  std::string uploadName_;
  view::ChartData data_;
  std::vector<view::ColumnStats> stats_;
  std::optional<double> reference_;
  std::function<void(const std::string&)> onFailure_;

  QChart* chart_ = nullptr;
  View* view_ = nullptr;
  QValueAxis* axisX_ = nullptr;
  QValueAxis* axisY_ = nullptr;
  QLineSeries* referenceLine_ = nullptr;
  std::vector<QLineSeries*> lines_;  // one per value column
  QAreaSeries* pauses_ = nullptr;
  QLineEdit* referenceInput_ = nullptr;
  QLabel* status_ = nullptr;
  QTableWidget* table_ = nullptr;
  bool reducing_ = false;
};

}  // namespace kestrand::platform::qt
