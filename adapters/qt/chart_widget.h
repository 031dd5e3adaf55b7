#pragma once
// The "Chart" tab: the chart of the readings on display, one line per value column against the
// time of the samples; a legend of check boxes that hide and show the lines; rubber-band zoom,
// and from the keyboard +/- to zoom, the arrows to pan and Home to reset; the value and time
// under the pointer; a reference level drawn across; the statistics of every column below; and
// "Save chart" (PNG or PDF). It shows its news through a handler and keeps no file of its own:
// whoever wires it hands in the level to show and keeps the level the user types.

#include <QByteArray>
#include <QSize>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "adapters/qt/chart_painter.h"
#include "adapters/qt/notes_panel.h"
#include "app/main_view.h"
#include "ports/file_system.h"
#include "view/assessment.h"
#include "view/chart.h"
#include "view/stats.h"

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kestrand::adapters::qt {

// The save dialog's filter of "Save chart": its first pair is PNG, its second PDF.
inline constexpr const char* kChartFilter = "PNG image|*.png|PDF document|*.pdf";

class ChartWidget : public QWidget {
 public:
  // Saved charts are written through `fs`; the save dialog opens on `dataPath`.
  ChartWidget(ports::FileSystem& fs, ports::Dialogs& dialogs, std::string dataPath,
              QWidget* parent = nullptr);
  ~ChartWidget() override;

  // Shows the chart and statistics of one upload; `uploadName` titles it and names a saved file.
  // Taken by value: a whole upload's series is moved in, never held twice.
  void setData(view::ChartData chart, const std::string& uploadName = {});
  void clear();

  // The reference level shown (and in the input); nullopt removes the line.
  void setReference(std::optional<double> level);
  std::optional<double> reference() const { return reference_; }
  // Called with a level the user typed (nullopt when the input was emptied).
  void onReferenceTyped(std::function<void(std::optional<double>)> handler);
  // The exposure standard (an id, or empty for none), the frequency and the expanded
  // uncertainty the statistics are assessed against; shown in the choice and the fields.
  void setAssessment(const view::AssessmentChoice& choice);
  // Called with the standard, frequency and uncertainty the user chose.
  void onAssessmentChosen(std::function<void(const view::AssessmentChoice&)> handler);
  // Called with a text for the user: a chart saved, a level not understood, a failure.
  void onMessage(std::function<void(const std::string&)> handler);

  // Back to the whole upload, values fitted.
  void resetZoom();
  // Shows [x0, x1] seconds after the first sample, with the detail that width allows.
  void zoomTo(double x0, double x1);
  std::pair<double, double> timeWindow() const;

  // The "Whole upload" check box: shown or hidden, checked or not (without reporting a toggle).
  void setWholeBox(bool shown, bool checked);
  // Called when the user switches the "Whole upload" check box.
  void onWholeToggled(std::function<void(bool)> handler);
  // The notes of the upload on display, beside the statistics.
  NotesPanel& notesPanel() { return *notes_; }

  // "Save chart": asks for the file and the type, and writes it.
  void saveChart();
  // The chart as a saved file of `size` holds it: with its caption and legend.
  QByteArray chartFile(ChartFileType type, QSize size) const;

 private:
  class Canvas;

  ChartOptions options(bool forFile) const;
  // The parts of the widget: the row of controls over the chart (with the standard and
  // frequency among them), and the statistics and notes under it.
  QHBoxLayout* makeControls();
  void addAssessmentControls(QHBoxLayout* bar);
  QHBoxLayout* makeFoot();
  void rebuildLegend();
  void fillStatistics();
  void referenceEdited();
  void assessmentEdited();
  // The assessment of the data against the chosen standard; none without a valid choice.
  void assessData();
  void pointerAt(double seconds);
  void zoomBy(double factor);
  void panBy(double fraction);
  void panValues(double fraction);
  void zoomToBox(double x0, double x1, double v0, double v1);
  void changed();
  void message(const std::string& text);

  ports::FileSystem& fs_;
  ports::Dialogs& dialogs_;
  std::string dataPath_;
  std::string uploadName_;
  view::ChartData data_;
  std::vector<view::ColumnStats> stats_;
  std::optional<double> reference_;
  view::AssessmentChoice choice_;
  std::optional<view::Assessment> assessment_;
  std::function<void(const view::AssessmentChoice&)> onAssessment_;
  double x0_ = 0.0, x1_ = 0.0;              // x1_ <= x0_: the whole upload
  std::optional<view::ValueRange> values_;  // none: fitted
  std::vector<bool> hidden_;
  std::function<void(std::optional<double>)> onReference_;
  std::function<void(const std::string&)> onMessage_;
  std::function<void(bool)> onWhole_;

  Canvas* canvas_ = nullptr;
  QWidget* legend_ = nullptr;
  QLineEdit* referenceInput_ = nullptr;
  QComboBox* standardChoice_ = nullptr;
  QLineEdit* frequencyInput_ = nullptr;
  QLineEdit* uncertaintyInput_ = nullptr;
  QLabel* pointer_ = nullptr;
  QPushButton* save_ = nullptr;
  QTableWidget* table_ = nullptr;
  QCheckBox* whole_ = nullptr;
  NotesPanel* notes_ = nullptr;
};

}  // namespace kestrand::adapters::qt
