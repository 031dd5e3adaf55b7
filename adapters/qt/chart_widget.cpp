#include "adapters/qt/chart_widget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRubberBand>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "adapters/qt/cp1252.h"
#include "view/stats.h"

namespace kestrand::adapters::qt {
namespace {

QString text(const std::string& s) {
  return fromCp1252(s);
}

// Items placed left to right, wrapping into as many rows as the width needs: the legend, whose
// entries keep their whole titles at any width.
class FlowLayout : public QLayout {
 public:
  explicit FlowLayout(QWidget* parent) : QLayout(parent) { setContentsMargins(0, 0, 0, 0); }
  ~FlowLayout() override {
    while (QLayoutItem* item = FlowLayout::takeAt(0)) delete item;
  }
  void addItem(QLayoutItem* item) override { items_.append(item); }
  int count() const override { return static_cast<int>(items_.size()); }
  QLayoutItem* itemAt(int i) const override { return items_.value(i); }
  QLayoutItem* takeAt(int i) override {
    return i >= 0 && i < items_.size() ? items_.takeAt(i) : nullptr;
  }
  Qt::Orientations expandingDirections() const override { return {}; }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override { return place(QRect(0, 0, width, 0), false); }
  void setGeometry(const QRect& r) override {
    QLayout::setGeometry(r);
    place(r, true);
  }
  QSize sizeHint() const override { return minimumSize(); }
  QSize minimumSize() const override {
    QSize size;
    for (const QLayoutItem* item : items_) size = size.expandedTo(item->minimumSize());
    return size;
  }

 private:
  static constexpr int kGap = 12;
  int place(const QRect& r, bool apply) const {
    int x = r.x(), y = r.y(), rowHeight = 0;
    for (QLayoutItem* item : items_) {
      const QSize hint = item->sizeHint();
      if (x > r.x() && x + hint.width() > r.right() + 1) {
        x = r.x();
        y += rowHeight;
        rowHeight = 0;
      }
      if (apply) item->setGeometry(QRect(QPoint(x, y), hint));
      x += hint.width() + kGap;
      rowHeight = std::max(rowHeight, hint.height());
    }
    return y + rowHeight - r.y();
  }
  QList<QLayoutItem*> items_;
};

// Where a saved chart goes and what it is: a typed ".png" or ".pdf" says the type; otherwise the
// chosen filter does, and its extension is added.
std::pair<std::string, ChartFileType> chartTarget(const std::string& path, int filter) {
  const auto endsIn = [&](const char* ext) {
    return path.size() > 4 && QString::fromLatin1(path.substr(path.size() - 4)).toLower() == ext;
  };
  if (endsIn(".png")) return {path, ChartFileType::kPng};
  if (endsIn(".pdf")) return {path, ChartFileType::kPdf};
  if (filter == 1) return {path + ".pdf", ChartFileType::kPdf};
  return {path + ".png", ChartFileType::kPng};
}

}  // namespace

// The picture itself: drawn once per change into an image, which a repaint only copies;
// rubber-band zoom, the pointer's readout, and the keyboard's zoom and pan.
class ChartWidget::Canvas : public QWidget {
 public:
  explicit Canvas(ChartWidget& owner) : QWidget(&owner), owner_(owner) {
    setObjectName("chartView");
    setAccessibleName(tr("Chart"));
    setToolTip(
        tr("Drag a box to zoom in; right click or Home: the whole upload.\n"
           "+ and -: zoom the time; arrows: move along the time and the values."));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumHeight(160);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    band_ = new QRubberBand(QRubberBand::Rectangle, this);
  }
  void redraw() {
    image_ = QImage();
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    const qreal ratio = devicePixelRatioF();
    if (image_.size() != size() * ratio) {
      // Drawn for the size the canvas has now: a first showing and every resize get the full
      // detail of their width.
      image_ = QImage(size() * ratio, QImage::Format_RGB32);
      image_.setDevicePixelRatio(ratio);
      QPainter painter(&image_);
      painter.setFont(font());
      frame_ = paintChart(painter, QRectF(rect()), owner_.data_, owner_.options(false));
    }
    QPainter p(this);
    p.drawImage(0, 0, image_);
    if (hasFocus()) {
      QStyleOptionFocusRect focus;
      focus.initFrom(this);
      focus.rect = rect().adjusted(1, 1, -1, -1);
      style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
  }
  void leaveEvent(QEvent*) override { owner_.pointer_->clear(); }
  void focusInEvent(QFocusEvent*) override { update(); }
  void focusOutEvent(QFocusEvent*) override { update(); }
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() != Qt::LeftButton || frame_.empty) return;
    origin_ = e->position().toPoint();
    band_->setGeometry(QRect(origin_, QSize()));
    band_->show();
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (band_->isVisible()) {
      band_->setGeometry(QRect(origin_, e->position().toPoint()).normalized());
    } else if (!frame_.empty && frame_.plot.contains(e->position())) {
      owner_.pointerAt(frame_.timeAt(e->position().x()));
    }
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() == Qt::RightButton) {
      // A right click zooms out all the way.
      owner_.resetZoom();
      return;
    }
    if (e->button() != Qt::LeftButton || !band_->isVisible()) return;
    band_->hide();
    const QRectF box = QRectF(band_->geometry()).intersected(frame_.plot);
    if (box.width() < 4 || box.height() < 4) return;
    owner_.zoomToBox(frame_.timeAt(box.left()), frame_.timeAt(box.right()),
                     frame_.valueAt(box.bottom()), frame_.valueAt(box.top()));
  }
  void keyPressEvent(QKeyEvent* e) override {
    switch (e->key()) {
      case Qt::Key_Escape:  // a box being dragged is dropped
        band_->hide();
        break;
      case Qt::Key_Plus:
      case Qt::Key_Equal:
        owner_.zoomBy(0.5);
        break;
      case Qt::Key_Minus:
        owner_.zoomBy(2.0);
        break;
      case Qt::Key_Left:
        owner_.panBy(-0.25);
        break;
      case Qt::Key_Right:
        owner_.panBy(0.25);
        break;
      case Qt::Key_Up:
        owner_.panValues(0.25);
        break;
      case Qt::Key_Down:
        owner_.panValues(-0.25);
        break;
      case Qt::Key_Home:
        owner_.resetZoom();
        break;
      default:
        QWidget::keyPressEvent(e);
    }
  }

 public:
  ChartFrame frame_;

 private:
  ChartWidget& owner_;
  QImage image_;
  QRubberBand* band_;
  QPoint origin_;
};

ChartWidget::ChartWidget(ports::FileSystem& fs, ports::Dialogs& dialogs, std::string dataPath,
                         QWidget* parent)
    : QWidget(parent), fs_(fs), dialogs_(dialogs), dataPath_(std::move(dataPath)) {
  setObjectName("chartPage");
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(makeControls());
  // The readout under the pointer has a row of its own and wraps at the window's edge: with many
  // columns it is longer than any window is wide. It never widens the window.
  pointer_ = new QLabel(this);
  pointer_->setObjectName("lblPointer");
  pointer_->setWordWrap(true);
  pointer_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
  outer->addWidget(pointer_);

  canvas_ = new Canvas(*this);
  outer->addWidget(canvas_, 1);
  legend_ = new QWidget(this);
  legend_->setObjectName("chartLegend");
  new FlowLayout(legend_);
  outer->addWidget(legend_);
  outer->addLayout(makeFoot());
  clear();
}

QHBoxLayout* ChartWidget::makeControls() {
  auto* bar = new QHBoxLayout;
  auto* label = new QLabel(tr("Reference level:"), this);
  bar->addWidget(label);
  referenceInput_ = new QLineEdit(this);
  referenceInput_->setObjectName("txtReference");
  referenceInput_->setMaximumWidth(120);
  label->setBuddy(referenceInput_);
  bar->addWidget(referenceInput_);
  addAssessmentControls(bar);
  auto* reset = new QPushButton(tr("Reset zoom"), this);
  reset->setObjectName("cmdResetZoom");
  bar->addWidget(reset);
  save_ = new QPushButton(tr("Save chart"), this);
  save_->setObjectName("cmdSaveChart");
  bar->addWidget(save_);
  whole_ = new QCheckBox(tr("&Whole upload"), this);
  whole_->setObjectName("chkWholeUpload");
  whole_->setToolTip(tr("The first file and its continuation files as one series"));
  whole_->hide();
  bar->addWidget(whole_);
  bar->addStretch(1);

  connect(reset, &QPushButton::clicked, this, [this] { resetZoom(); });
  connect(save_, &QPushButton::clicked, this, [this] { saveChart(); });
  connect(referenceInput_, &QLineEdit::editingFinished, this, [this] { referenceEdited(); });
  connect(whole_, &QCheckBox::clicked, this, [this](bool on) {
    if (onWhole_) onWhole_(on);
  });
  return bar;
}

void ChartWidget::addAssessmentControls(QHBoxLayout* bar) {
  // The exposure standard and frequency the statistics are assessed against.
  auto* standardLabel = new QLabel(tr("S&tandard:"), this);
  bar->addWidget(standardLabel);
  standardChoice_ = new QComboBox(this);
  standardChoice_->setObjectName("cboStandard");
  standardChoice_->addItem(tr("(none)"), QString());
  for (const view::Standard& st : view::standards()) {
    standardChoice_->addItem(QString::fromLatin1(st.id), QString::fromLatin1(st.id));
    standardChoice_->setItemData(standardChoice_->count() - 1, QString::fromLatin1(st.name),
                                 Qt::ToolTipRole);
  }
  standardLabel->setBuddy(standardChoice_);
  bar->addWidget(standardChoice_);
  frequencyInput_ = new QLineEdit(this);
  frequencyInput_->setObjectName("txtFrequency");
  frequencyInput_->setPlaceholderText(QStringLiteral("900MHz"));
  frequencyInput_->setToolTip(tr("The frequency: a number and Hz, kHz, MHz or GHz"));
  frequencyInput_->setMaximumWidth(90);
  bar->addWidget(frequencyInput_);
  auto* uncertaintyLabel = new QLabel(tr("&Uncertainty:"), this);
  bar->addWidget(uncertaintyLabel);
  uncertaintyInput_ = new QLineEdit(this);
  uncertaintyLabel->setBuddy(uncertaintyInput_);
  uncertaintyInput_->setObjectName("txtUncertainty");
  uncertaintyInput_->setPlaceholderText(QStringLiteral("0 dB"));
  uncertaintyInput_->setToolTip(
      tr("The expanded uncertainty of the measurement in dB, applied to the verdict"));
  uncertaintyInput_->setMaximumWidth(70);
  bar->addWidget(uncertaintyInput_);
  connect(standardChoice_, &QComboBox::activated, this, [this] { assessmentEdited(); });
  connect(frequencyInput_, &QLineEdit::editingFinished, this, [this] { assessmentEdited(); });
  connect(uncertaintyInput_, &QLineEdit::editingFinished, this, [this] { assessmentEdited(); });
}

QHBoxLayout* ChartWidget::makeFoot() {
  // One column per value column and a row per statistic: the rows are few whatever the upload,
  // so the table shows them all and the chart keeps the height.
  table_ = new QTableWidget(this);
  table_->setObjectName("statsTable");
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setTabKeyNavigation(false);  // Tab leaves the table; the arrows move inside it
  table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // The bar shows only when the columns overflow; the table keeps its room either way.
  table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  table_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  // The statistics and, beside them, the notes.
  auto* foot = new QHBoxLayout;
  foot->addWidget(table_, 1);
  notes_ = new NotesPanel(this);
  notes_->setMaximumWidth(500);
  foot->addWidget(notes_);
  return foot;
}

ChartWidget::~ChartWidget() = default;

void ChartWidget::onReferenceTyped(std::function<void(std::optional<double>)> handler) {
  onReference_ = std::move(handler);
}

void ChartWidget::onMessage(std::function<void(const std::string&)> handler) {
  onMessage_ = std::move(handler);
}

void ChartWidget::setWholeBox(bool shown, bool checked) {
  whole_->setChecked(checked);
  whole_->setVisible(shown);
}

void ChartWidget::onWholeToggled(std::function<void(bool)> handler) {
  onWhole_ = std::move(handler);
}

void ChartWidget::message(const std::string& t) {
  if (onMessage_) onMessage_(t);
}

void ChartWidget::setData(view::ChartData chart, const std::string& uploadName) {
  data_ = std::move(chart);
  uploadName_ = uploadName;
  stats_ = view::columnStats(data_);
  assessData();
  hidden_.assign(data_.series.size(), false);
  x0_ = x1_ = 0.0;
  values_.reset();
  pointer_->clear();
  pointer_->setMinimumHeight(0);
  rebuildLegend();
  fillStatistics();
  save_->setEnabled(data_.samples() > 0);  // nothing to save without readings
  changed();
}

void ChartWidget::clear() {
  setData(view::ChartData{});
}

void ChartWidget::changed() {
  canvas_->redraw();
}

ChartOptions ChartWidget::options(bool forFile) const {
  ChartOptions o;
  o.reference = reference_;
  o.x0 = x0_;
  o.x1 = x1_;
  o.values = values_;
  o.hidden = hidden_;
  o.title = data_.samples() > 0 ? uploadName_ : std::string();
  o.legend = forFile;  // on the tab the check boxes are the legend
  return o;
}

void ChartWidget::rebuildLegend() {
  for (QCheckBox* old : legend_->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly)) {
    delete old;
  }
  // Tab goes from the chart through the legend's entries to the statistics.
  QWidget* previous = canvas_;
  for (std::size_t s = 0; s < data_.series.size(); ++s) {
    auto* entry = new QCheckBox(text(data_.series[s].title), legend_);
    setTabOrder(previous, entry);
    previous = entry;
    // A stretch of the column's line, its dashes included.
    QPixmap swatch(24, 12);
    swatch.fill(Qt::transparent);
    {
      QPainter paint(&swatch);
      paint.setPen(seriesPen(s, 3));
      paint.drawLine(0, 6, 24, 6);
    }
    entry->setIcon(swatch);
    entry->setIconSize(swatch.size());
    entry->setChecked(true);
    connect(entry, &QCheckBox::toggled, this, [this, s](bool on) {
      hidden_[s] = !on;
      changed();
    });
    legend_->layout()->addWidget(entry);
  }
  setTabOrder(previous, table_);
  legend_->setVisible(!data_.series.empty());
}

void ChartWidget::resetZoom() {
  x0_ = x1_ = 0.0;
  values_.reset();
  changed();
}

void ChartWidget::zoomTo(double x0, double x1) {
  const auto [begin, end] = wholeWindow(data_);
  // At least a second wide, and inside the upload.
  x1 = std::max(x1, x0 + 1.0);
  if (x1 - x0 >= end - begin) {
    x0 = begin;
    x1 = end;
  } else if (x0 < begin) {
    x1 += begin - x0;
    x0 = begin;
  } else if (x1 > end) {
    x0 -= x1 - end;
    x1 = end;
  }
  x0_ = x0;
  x1_ = x1;
  changed();
}

std::pair<double, double> ChartWidget::timeWindow() const {
  return x1_ > x0_ ? std::pair(x0_, x1_) : wholeWindow(data_);
}

void ChartWidget::zoomBy(double factor) {
  const auto [x0, x1] = timeWindow();
  const double middle = (x0 + x1) / 2, half = (x1 - x0) / 2 * factor;
  zoomTo(middle - half, middle + half);
}

void ChartWidget::panBy(double fraction) {
  const auto [x0, x1] = timeWindow();
  const double shift = (x1 - x0) * fraction;
  zoomTo(x0 + shift, x1 + shift);
}

void ChartWidget::panValues(double fraction) {
  if (canvas_->frame_.empty) return;
  const double lo = canvas_->frame_.y0, hi = canvas_->frame_.y1, shift = (hi - lo) * fraction;
  values_ = view::ValueRange{lo + shift, hi + shift};
  changed();
}

void ChartWidget::zoomToBox(double x0, double x1, double v0, double v1) {
  values_ = view::ValueRange{v0, v1};
  zoomTo(x0, x1);
}

void ChartWidget::setReference(std::optional<double> level) {
  reference_ = level;
  referenceInput_->setText(level ? locale().toString(*level, 'g', 7) : QString());
  fillStatistics();
  changed();
}

void ChartWidget::referenceEdited() {
  // Typed the way the user's locale writes numbers (a decimal comma in German), or the C way.
  const QString typed = referenceInput_->text().trimmed();
  std::optional<double> level;
  if (!typed.isEmpty()) {
    bool ok = false;
    double v = locale().toDouble(typed, &ok);
    if (!ok) v = QLocale::c().toDouble(typed, &ok);
    if (!ok || !view::isReferenceLevel(v)) {
      message("Not a reference level: " + toCp1252(typed));
      return;
    }
    level = v;
  }
  if (level == reference_) return;
  setReference(level);
  if (onReference_) onReference_(level);
}

void ChartWidget::setAssessment(const view::AssessmentChoice& choice) {
  const int at = standardChoice_->findData(QString::fromLatin1(choice.standard));
  standardChoice_->setCurrentIndex(std::max(at, 0));
  frequencyInput_->setText(QString::fromLatin1(choice.frequency));
  uncertaintyInput_->setText(QString::fromLatin1(choice.uncertainty));
  choice_ = choice;
  if (at <= 0) choice_.standard.clear();
  assessData();
  fillStatistics();
}

void ChartWidget::onAssessmentChosen(std::function<void(const view::AssessmentChoice&)> handler) {
  onAssessment_ = std::move(handler);
}

void ChartWidget::assessmentEdited() {
  choice_ = {standardChoice_->currentData().toString().toStdString(),
             frequencyInput_->text().trimmed().toLatin1().toStdString(),
             uncertaintyInput_->text().trimmed().toLatin1().toStdString()};
  assessData();
  fillStatistics();
  if (onAssessment_) onAssessment_(choice_);
}

void ChartWidget::assessData() {
  assessment_.reset();
  std::string why;
  const auto basis = view::assessmentBasis(choice_, why);
  if (!why.empty()) message(why);
  if (basis && data_.samples() > 0)
    assessment_ = view::assess(data_, basis->limits, basis->uncertaintyDb);
}

void ChartWidget::fillStatistics() {
  static const char* kRows[] = {"Samples",          "Minimum",      "Maximum",
                                "Time of maximum",  "Mean",         "RMS mean",
                                "% of reference",   "Limit",        "% of field limit",
                                "% of power limit", "Time average", "Verdict"};
  const int assessed = assessment_ ? 5 : 0;
  const int rows = (reference_ ? 7 : 6) + assessed;
  table_->clear();
  table_->setRowCount(rows);
  table_->setColumnCount(static_cast<int>(stats_.size()));
  for (int r = 0; r < rows; ++r) {
    const int name = reference_ || r < 6 ? r : r + 1;
    table_->setVerticalHeaderItem(r, new QTableWidgetItem(tr(kRows[name])));
  }
  for (int c = 0; c < static_cast<int>(stats_.size()); ++c) {
    const view::ColumnStats& s = stats_[static_cast<std::size_t>(c)];
    table_->setHorizontalHeaderItem(c, new QTableWidgetItem(text(s.title)));
    std::vector<std::string> cells = {std::to_string(s.count),      view::shortNumber(s.minimum),
                                      view::shortNumber(s.maximum), s.maxWhen,
                                      view::shortNumber(s.mean),    view::shortNumber(s.rms)};
    if (reference_) cells.push_back(view::shortNumber(view::percentOf(s.maximum, *reference_)));
    if (assessment_) {
      // The column's assessment as `kestrand-cli assess` writes it; "-" for one not assessed.
      std::vector<std::string> a(5, "-");
      for (const view::ColumnAssessment& ca : assessment_->columns) {
        if (ca.title != s.title) continue;
        const std::vector<std::string> all = view::assessmentCells(data_, ca);
        a = {all[2], all[4], all[5], all[6], all[10] + " (" + all[11] + ")"};
      }
      cells.insert(cells.end(), a.begin(), a.end());
    }
    for (int r = 0; r < rows; ++r) {
      auto* item = new QTableWidgetItem(text(cells[static_cast<std::size_t>(r)]));
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(r, c, item);
    }
  }
  table_->resizeColumnsToContents();
  // As high as its rows and the scroll bar that shows when the columns overflow.
  const int frame = table_->frameWidth() * 2;
  table_->setFixedHeight(frame + table_->horizontalHeader()->sizeHint().height() +
                         rows * table_->verticalHeader()->defaultSectionSize() +
                         table_->horizontalScrollBar()->sizeHint().height());
}

QByteArray ChartWidget::chartFile(ChartFileType type, QSize size) const {
  return qt::chartFile(type, size, data_, options(true));
}

void ChartWidget::saveChart() {
  std::string name = uploadName_.empty() ? std::string("chart") : uploadName_;
  if (const auto dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
  std::optional<ports::SaveChoice> chosen;
  try {
    chosen = dialogs_.saveFile({"Save chart", kChartFilter, dataPath_, name, true, {}});
  } catch (const Error& e) {
    message(e.description());
    return;
  }
  if (!chosen) return;
  const auto [path, type] = chartTarget(chosen->path, chosen->filter);
  // The dialog asked about the name as typed; an added extension may name another file.
  if (path != chosen->path && fs_.exists(path) &&
      !dialogs_.YesNo("Save chart", path + " already exists.  Replace it?")) {
    return;
  }
  // The picture at the size on the screen, but never smaller than a page's worth.
  const QSize size = canvas_->size().expandedTo(QSize(1200, 700));
  const QByteArray bytes = chartFile(type, size);
  try {
    if (bytes.isEmpty()) throw Error(ErrorKind::kGeneral, "it could not be drawn");
    fs_.writeAll(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  } catch (const Error& e) {
    message("The chart could not be saved: " + e.description());
    return;
  }
  message("Chart saved as " + path);
}

void ChartWidget::pointerAt(double seconds) {
  const long j = view::nearestSample(data_, seconds);
  if (j < 0) return;
  // The sample's date and time; its grid text when its instant could not be read.
  const auto at = static_cast<std::size_t>(j);
  const std::string when = at < data_.at.size() ? view::instantText(data_, data_.at[at]) : "";
  QString s = text(when.empty() ? data_.timeTexts[at] : when);
  for (std::size_t c = 0; c < data_.series.size(); ++c) {
    if (hidden_[c]) continue;
    s += "   " + text(data_.series[c].title) + " " +
         text(view::shortNumber(data_.series[c].y[static_cast<std::size_t>(j)]));
  }
  pointer_->setText(s);
  // The room only grows while the pointer moves over one upload, so the chart does not jump.
  pointer_->setMinimumHeight(
      std::max(pointer_->minimumHeight(), pointer_->heightForWidth(pointer_->width())));
}

}  // namespace kestrand::adapters::qt
