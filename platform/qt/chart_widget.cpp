#include "platform/qt/chart_widget.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <span>

#include "app/settings_files.h"
#include "core/error.h"
#include "platform/qt/cp1252.h"

namespace kestrand::platform::qt {
namespace {

// One colour per column, distinct from each other and from the reference line's.
const QColor kColours[] = {
    {31, 119, 180}, {44, 160, 44},  {214, 39, 40},   {255, 127, 14}, {148, 103, 189}, {140, 86, 75},
    {23, 190, 207}, {188, 189, 34}, {127, 127, 127}, {0, 0, 128},    {0, 100, 0},     {128, 0, 0},
    {70, 130, 180}, {210, 105, 30}, {0, 128, 128},   {85, 107, 47},  {105, 105, 105}, {0, 0, 0},
    {184, 134, 11}, {47, 79, 79},   {139, 69, 19}};

QString text(const std::string& s) {
  return fromCp1252(s);
}

// Tick steps of the time axis, in seconds.
constexpr double kSteps[] = {1,     2,     5,     10,    15,     30,     60,
                             120,   300,   600,   900,   1800,   3600,   7200,
                             10800, 21600, 43200, 86400, 172800, 432000, 864000};

}  // namespace

// The chart view: rubber-band zoom that asks the widget for the new detail, and the pointer's
// position reported in chart values.
class ChartWidget::View : public QChartView {
 public:
  View(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
    setRubberBand(QChartView::RectangleRubberBand);
    setMouseTracking(true);
    setRenderHint(QPainter::Antialiasing);
  }
  std::function<void(const QPointF&)> onPointer;
  std::function<void()> onReset;

 protected:
  void mouseMoveEvent(QMouseEvent* e) override {
    if (onPointer) onPointer(chart()->mapToValue(e->position()));
    QChartView::mouseMoveEvent(e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    // A right click zooms out all the way rather than one step.
    if (e->button() == Qt::RightButton && onReset) {
      onReset();
      e->accept();
      return;
    }
    QChartView::mouseReleaseEvent(e);
  }
};

ChartWidget::ChartWidget(FileSystem& fs, std::string dataPath, QWidget* parent)
    : QWidget(parent), fs_(fs), dataPath_(std::move(dataPath)) {
  setObjectName("chartPage");
  auto* outer = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  bar->addWidget(new QLabel(tr("Reference level:"), this));
  referenceInput_ = new QLineEdit(this);
  referenceInput_->setObjectName("txtReference");
  referenceInput_->setMaximumWidth(120);
  bar->addWidget(referenceInput_);
  auto* reset = new QPushButton(tr("Reset zoom"), this);
  reset->setObjectName("cmdResetZoom");
  bar->addWidget(reset);
  auto* save = new QPushButton(tr("Save chart"), this);
  save->setObjectName("cmdSaveChart");
  bar->addWidget(save);
  bar->addStretch(1);
  outer->addLayout(bar);

  chart_ = new QChart;
  chart_->legend()->setAlignment(Qt::AlignBottom);
  axisX_ = new QCategoryAxis;
  static_cast<QCategoryAxis*>(axisX_)->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  axisY_ = new QValueAxis;
  chart_->addAxis(axisX_, Qt::AlignBottom);
  chart_->addAxis(axisY_, Qt::AlignLeft);
  view_ = new View(chart_, this);
  view_->setObjectName("chartView");
  view_->setMinimumHeight(250);
  outer->addWidget(view_, 3);

  status_ = new QLabel(this);
  status_->setObjectName("lblPointer");
  outer->addWidget(status_);

  table_ = new QTableWidget(this);
  table_->setObjectName("statsTable");
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  outer->addWidget(table_, 1);

  onFailure_ = [this](const std::string& t) { status_->setText(text(t)); };
  view_->onPointer = [this](const QPointF& p) { pointerAt(p); };
  view_->onReset = [this] { resetZoom(); };
  connect(reset, &QPushButton::clicked, this, [this] { resetZoom(); });
  connect(save, &QPushButton::clicked, this, [this] { saveClicked(); });
  connect(referenceInput_, &QLineEdit::editingFinished, this, [this] { referenceEdited(); });
  connect(axisX_, &QValueAxis::rangeChanged, this, [this] { reduceToView(); });

  setReference(app::readReferenceLevel(fs_, dataPath_));
}

ChartWidget::~ChartWidget() = default;

void ChartWidget::setFailureHandler(std::function<void(const std::string&)> handler) {
  onFailure_ = std::move(handler);
}

void ChartWidget::fail(const std::string& t) {
  if (onFailure_) onFailure_(t);
}

QString ChartWidget::statusText() const {
  return status_->text();
}

void ChartWidget::setData(const view::ChartData& chart, const std::string& uploadName) {
  data_ = chart;
  uploadName_ = uploadName;
  stats_ = view::columnStats(data_);
  // Until a table is on display the empty chart says how to get one.
  chart_->setTitle(data_.series.empty()
                       ? tr("No readings on display: view an upload or open a saved file")
                       : QString());
  rebuild();
}

void ChartWidget::clear() {
  setData(view::ChartData{});
}

void ChartWidget::rebuild() {
  reducing_ = true;
  for (QAbstractSeries* s : chart_->series()) {
    chart_->removeSeries(s);
    delete s;
  }
  lines_.clear();
  pauses_ = nullptr;
  referenceLine_ = nullptr;
  for (size_t c = 0; c < data_.series.size(); ++c) {
    auto* s = new QLineSeries;
    s->setName(text(data_.series[c].title));
    s->setPen(QPen(kColours[c % std::size(kColours)], 1.5));
    chart_->addSeries(s);
    s->attachAxis(axisX_);
    s->attachAxis(axisY_);
    if (QLegendMarker* marker = chart_->legend()->markers(s).value(0)) {
      connect(marker, &QLegendMarker::clicked, this, [s, marker] {
        s->setVisible(!s->isVisible());
        marker->setVisible(true);  // a hidden series hides its marker too
        QColor label = marker->labelBrush().color();
        label.setAlphaF(s->isVisible() ? 1.0f : 0.4f);
        marker->setLabelBrush(label);
      });
    }
    lines_.push_back(s);
  }
  if (data_.runStarts.size() > 1) {
    // The pauses between runs are covered by bands drawn over the lines: a line never crosses a
    // time without samples.
    pauses_ = new QAreaSeries(new QLineSeries, new QLineSeries);
    pauses_->setName(tr("Pause"));
    pauses_->setPen(Qt::NoPen);
    pauses_->setBrush(kPauseColour);
    chart_->addSeries(pauses_);
    pauses_->attachAxis(axisX_);
    pauses_->attachAxis(axisY_);
    for (QLegendMarker* m : chart_->legend()->markers(pauses_)) m->setVisible(false);
  }
  updateYRange();
  updateReferenceLine();
  fillStatistics();
  reducing_ = false;
  resetZoom();
}

void ChartWidget::updateYRange() {
  double lo = 0.0, hi = 1.0;
  bool any = false;
  for (const auto& series : data_.series) {
    for (double v : series.y) {
      if (!any) lo = hi = v;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
      any = true;
    }
  }
  if (reference_) {
    lo = any ? std::min(lo, *reference_) : *reference_;
    hi = any ? std::max(hi, *reference_) : *reference_;
  }
  const double pad = hi > lo ? (hi - lo) * 0.05 : std::max(1.0, std::fabs(hi) * 0.05);
  axisY_->setRange(lo - pad, hi + pad);
  axisY_->setTitleText(text(data_.units));
}

void ChartWidget::resetZoom() {
  updateYRange();  // a rubber band zooms the values too
  const double end = data_.x.empty() ? 1.0 : std::max(data_.x.back(), 1.0);
  zoomTo(0.0, end);
}

void ChartWidget::zoomTo(double x0, double x1) {
  if (axisX_->min() == x0 && axisX_->max() == x1) {
    reduceToView();
  } else {
    axisX_->setRange(x0, x1);  // reduceToView follows from rangeChanged
  }
}

void ChartWidget::reduceToView() {
  if (reducing_) return;
  reducing_ = true;
  const double x0 = axisX_->min(), x1 = axisX_->max();
  const int pixels = std::max(1, static_cast<int>(chart_->plotArea().width()));
  for (size_t c = 0; c < lines_.size(); ++c) {
    const auto& y = data_.series[c].y;
    QList<QPointF> points;
    for (size_t r = 0; r < data_.runStarts.size(); ++r) {
      const size_t b = data_.runBegin(r), e = data_.runEnd(r);
      if (e == b || data_.x[e - 1] < x0 || data_.x[b] > x1) continue;
      for (const auto& p : view::reduceForPixels(std::span(data_.x).subspan(b, e - b),
                                                 std::span(y).subspan(b, e - b), x0, x1, pixels))
        points.append({p.x, p.y});
    }
    lines_[c]->replace(points);
  }
  if (pauses_) {
    const double bottom = axisY_->min(), top = axisY_->max();
    QList<QPointF> upper{{x0, bottom}}, lower{{x0, bottom}, {x1, bottom}};
    for (size_t r = 1; r < data_.runStarts.size(); ++r) {
      const double a = data_.x[data_.runStarts[r] - 1], b = data_.x[data_.runStarts[r]];
      if (b < x0 || a > x1) continue;
      upper.append({{a, bottom}, {a, top}, {b, top}, {b, bottom}});
    }
    upper.append({x1, bottom});
    pauses_->upperSeries()->replace(upper);
    pauses_->lowerSeries()->replace(lower);
  }

  // Time labels at round steps, about one per 100 pixels.
  auto* axis = static_cast<QCategoryAxis*>(axisX_);
  for (const QString& label : axis->categoriesLabels()) axis->remove(label);
  const double span = x1 - x0;
  const double wanted = span / std::max(2, pixels / 100);
  double step = kSteps[std::size(kSteps) - 1];
  for (double s : kSteps) {
    if (s >= wanted) {
      step = s;
      break;
    }
  }
  if (span > 0) {
    // On round times of the clock (or of the elapsed time), not round offsets.
    const double start = data_.startSecond;
    for (double t = std::ceil((start + x0) / step) * step - start; t <= x1; t += step) {
      axis->append(text(view::axisText(data_, t)), t);
    }
  }
  axis->setRange(x0, x1);
  updateReferenceLine();
  reducing_ = false;
}

void ChartWidget::setReference(std::optional<double> level) {
  reference_ = level;
  referenceInput_->setText(level ? text(view::shortNumber(*level)) : QString());
  updateYRange();
  reduceToView();
  fillStatistics();
}

void ChartWidget::updateReferenceLine() {
  if (!reference_) {
    if (referenceLine_) referenceLine_->replace(QList<QPointF>{});
    return;
  }
  if (!referenceLine_) {
    referenceLine_ = new QLineSeries;
    referenceLine_->setName(tr("Reference"));
    QPen pen(kReferenceColour, 3);
    referenceLine_->setPen(pen);
    chart_->addSeries(referenceLine_);
    referenceLine_->attachAxis(axisX_);
    referenceLine_->attachAxis(axisY_);
    if (QLegendMarker* m = chart_->legend()->markers(referenceLine_).value(0)) m->setVisible(false);
  }
  referenceLine_->replace(
      QList<QPointF>{{axisX_->min(), *reference_}, {axisX_->max(), *reference_}});
}

void ChartWidget::fillStatistics() {
  static const char* kHeads[] = {"Column",          "Samples", "Minimum",  "Maximum",
                                 "Time of maximum", "Mean",    "RMS mean", "% of reference"};
  const int cols = reference_ ? 8 : 7;
  table_->clear();
  table_->setColumnCount(cols);
  table_->setRowCount(static_cast<int>(stats_.size()));
  for (int k = 0; k < cols; ++k)
    table_->setHorizontalHeaderItem(k, new QTableWidgetItem(tr(kHeads[k])));
  for (int r = 0; r < static_cast<int>(stats_.size()); ++r) {
    const view::ColumnStats& s = stats_[static_cast<size_t>(r)];
    const std::string cells[] = {
        s.title,
        std::to_string(s.count),
        view::shortNumber(s.minimum),
        view::shortNumber(s.maximum),
        s.maxTime,
        view::shortNumber(s.mean),
        view::shortNumber(s.rms),
        reference_ ? view::shortNumber(view::percentOf(s.maximum, *reference_)) : std::string()};
    for (int k = 0; k < cols; ++k) table_->setItem(r, k, new QTableWidgetItem(text(cells[k])));
  }
  table_->resizeColumnsToContents();
}

void ChartWidget::referenceEdited() {
  const std::string typed = toCp1252(referenceInput_->text());
  const auto level = view::parseReferenceLevel(typed);
  if (!level && typed.find_first_not_of(' ') != std::string::npos) {
    fail("Not a reference level: " + typed);
    return;
  }
  if (level == reference_) return;
  setReference(level);
  try {
    app::saveReferenceLevel(fs_, dataPath_, level);
  } catch (const Error& e) {
    fail(e.description());
  }
}

QImage ChartWidget::chartImage(QSize size) {
  const QSize before = view_->size();
  view_->resize(size);
  chart_->resize(QSizeF(size));
  if (chart_->layout()) chart_->layout()->activate();
  reduceToView();
  if (chart_->layout()) chart_->layout()->activate();
  QImage image(size, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  chart_->scene()->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)),
                          QRectF(chart_->pos(), QSizeF(size)));
  painter.end();
  view_->resize(before);
  chart_->resize(QSizeF(before));
  reduceToView();
  return image;
}

bool ChartWidget::saveChart(const QString& path, QSize size) {
  if (path.endsWith(".pdf", Qt::CaseInsensitive)) {
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QSizeF(size) * 0.75, QPageSize::Point));
    pdf.setPageMargins({});
    pdf.setResolution(96);
    QPainter painter;
    if (!painter.begin(&pdf)) return false;
    painter.drawImage(QRect(QPoint(0, 0), size), chartImage(size));
    return painter.end();
  }
  return chartImage(size).save(path, "PNG");
}

void ChartWidget::saveClicked() {
  std::string name = uploadName_.empty() ? std::string("chart") : uploadName_;
  if (const auto dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
  const QString path = QFileDialog::getSaveFileName(
      this, tr("Save chart"), text(platform::joinPath(dataPath_, name + ".png")),
      tr("PNG image (*.png);;PDF document (*.pdf)"));
  if (path.isEmpty()) return;
  if (!saveChart(path, view_->size())) fail("The chart could not be saved: " + toCp1252(path));
}

void ChartWidget::pointerAt(const QPointF& value) {
  const long j = view::nearestSample(data_, value.x());
  if (j < 0) return;
  QString s = text(data_.timeTexts[static_cast<size_t>(j)]);
  for (size_t c = 0; c < data_.series.size(); ++c) {
    if (!lines_[c]->isVisible()) continue;
    s += "   " + text(data_.series[c].title) + " " +
         text(view::shortNumber(data_.series[c].y[static_cast<size_t>(j)]));
  }
  s += QString("   (%1)").arg(value.y(), 0, 'g', 5);
  status_->setText(s);
}

QList<QPointF> ChartWidget::drawnPoints(int column) const {
  return lines_.at(static_cast<size_t>(column))->points();
}

}  // namespace kestrand::platform::qt
