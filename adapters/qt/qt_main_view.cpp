#include "adapters/qt/qt_main_view.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>

#include "adapters/qt/cp1252.h"

namespace kestrand::adapters::qt {
namespace {

constexpr std::array<ports::LabelId, 8> kInfoLabels = {
    ports::LabelId::kLblStartDate, ports::LabelId::kLblEndDate,   ports::LabelId::kLblStartTime,
    ports::LabelId::kLblEndTime,   ports::LabelId::kLblSampleCnt, ports::LabelId::kLblProbeModel,
    ports::LabelId::kLblUnits,     ports::LabelId::kMavgMess,
};

QLabel* makeLabel(ports::LabelId id, QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setObjectName(labelName(id));
  l->setTextFormat(Qt::PlainText);
  return l;
}

}  // namespace

const char* labelName(ports::LabelId id) {
  switch (id) {
    case ports::LabelId::kStatDat:
      return "StatDat";
    case ports::LabelId::kLblGenMsg:
      return "lblGenMsg";
    case ports::LabelId::kLabel1:
      return "Label1";
    case ports::LabelId::kLblStartDate:
      return "lblStartDate";
    case ports::LabelId::kLblEndDate:
      return "lblEndDate";
    case ports::LabelId::kLblStartTime:
      return "lblStartTime";
    case ports::LabelId::kLblEndTime:
      return "lblEndTime";
    case ports::LabelId::kLblSampleCnt:
      return "lblSampleCnt";
    case ports::LabelId::kLblProbeModel:
      return "lblProbeModel";
    case ports::LabelId::kLblUnits:
      return "lblUnits";
    case ports::LabelId::kMavgMess:
      return "MAVG_mess";
    case ports::LabelId::kPortName:
      return "lblPortName";
    case ports::LabelId::kUploadProgress:
      return "lblUploadProgress";
  }
  return "";
}

// The QMainWindow: hands its close box to the view.
class QtMainView::Window : public QMainWindow {
 public:
  explicit Window(QtMainView& view) : view_(view) {}

 protected:
  void closeEvent(QCloseEvent* e) override {
    if (view_.closeRequested()) {
      e->accept();
    } else {
      e->ignore();
    }
  }

 private:
  QtMainView& view_;
};

namespace {

// The file list: Enter (Return) on the selected entry is reported, as a double click is.
class ListBox : public QListWidget {
 public:
  ListBox(QWidget* parent, std::function<void()> onEnter)
      : QListWidget(parent), onEnter_(std::move(onEnter)) {}

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (enter && !selectedItems().isEmpty()) {
      onEnter_();
      e->accept();
      return;
    }
    QListWidget::keyPressEvent(e);
  }

 private:
  std::function<void()> onEnter_;
};

}  // namespace

// The data grid's cells, asked of the logic only for the rows in view: a full table never
// becomes a widget item per cell. The title row is the horizontal header, so it stays in place.
class QtMainView::GridModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void reset(ports::GridContent grid) {
    beginResetModel();
    grid_ = std::move(grid);
    endResetModel();
  }
  const ports::GridContent& content() const { return grid_; }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : std::max(grid_.rows - 1, 0);
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(grid_.titles.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignCenter);
    if (role != Qt::DisplayRole || !index.isValid() || !grid_.cell) return {};
    return fromCp1252(grid_.cell(index.row() + 1, index.column()));
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(grid_.titles.size())) {
      return {};
    }
    if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    return fromCp1252(grid_.titles[static_cast<std::size_t>(section)]);
  }

 private:
  ports::GridContent grid_;
};

namespace {

// Paints a grid cell: its text centred on one line, the selection and the focus. A cell holds a
// short text in the grid's font and nothing else (no icon, check box or colours of its own), so
// the style's general item layout, which measures and lays the text out before drawing it, is
// passed over: the text is shaped once, as it is drawn.
class CellPainter : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const QPalette::ColorGroup group =
        (option.state & QStyle::State_Active) != 0 ? QPalette::Active : QPalette::Inactive;
    if (selected) painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    const QWidget* view = option.widget;
    const QStyle* style = view != nullptr ? view->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    painter->save();
    painter->setClipRect(option.rect);
    painter->setPen(
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(option.rect.adjusted(margin, 0, -margin, 0),
                      Qt::AlignCenter | Qt::TextSingleLine, index.data().toString());
    painter->restore();
    if ((option.state & QStyle::State_HasFocus) != 0) {
      QStyleOptionFocusRect focus;
      focus.QStyleOption::operator=(option);
      focus.backgroundColor =
          option.palette.color(group, selected ? QPalette::Highlight : QPalette::Window);
      style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, view);
    }
  }
};

}  // namespace

// The grid widget. No column is narrower than its title or its widest text (the width the logic
// gives is the least it gets). A full table has 16300 rows of up to 18 columns whose texts are
// made only when asked for, so the columns are not measured over every cell: when a grid is
// shown, over the rows in view and 256 rows spread evenly over the table (first and last
// included); then, whenever scrolling or resizing brings other rows into view, over those rows
// before they are painted, widening a column (never narrowing it) when one needs more room.
// A text is measured as the sum of its characters' advances in the grid's font, looked up in a
// table of the 256 Windows-1252 bytes: one addition a character, where laying the text out
// would shape it.
class QtMainView::Grid : public QTableView {
 public:
  explicit Grid(QWidget* parent) : QTableView(parent), model_(new GridModel(this)) {
    setModel(model_);
    setItemDelegate(new CellPainter(this));
  }

  // Shows `content` with its columns at least `minimumPx` (per column, pixels) wide.
  void display(ports::GridContent content, const std::vector<int>& minimumPx) {
    model_->reset(std::move(content));
    QHeaderView* header = horizontalHeader();
    for (int c = 0; c < model_->columnCount({}); ++c) {
      const auto k = static_cast<std::size_t>(c);
      header->resizeSection(
          c, std::max(k < minimumPx.size() ? minimumPx[k] : 0, header->sectionSizeHint(c)));
    }
    scrollToTop();
    fitRowsInView();
    constexpr int kSpread = 256;
    const int rows = model_->rowCount({});
    for (int i = 0; i < kSpread && rows > 0; ++i) {
      const int row = static_cast<int>(static_cast<std::int64_t>(rows - 1) * i / (kSpread - 1));
      fitRows(row, row);
    }
  }

 protected:
  void scrollContentsBy(int dx, int dy) override {
    QTableView::scrollContentsBy(dx, dy);
    if (dy != 0) fitRowsInView();
  }
  void resizeEvent(QResizeEvent* e) override {
    QTableView::resizeEvent(e);
    fitRowsInView();
  }
  void changeEvent(QEvent* e) override {
    if (e->type() == QEvent::FontChange) advances_.reset();
    QTableView::changeEvent(e);
  }

 private:
  void fitRowsInView() {
    const int height = viewport()->height();
    const int first = verticalHeader()->logicalIndexAt(0);
    if (first < 0 || height <= 0) return;
    // No row at the bottom edge: the rows end above it.
    const int last = verticalHeader()->logicalIndexAt(height - 1);
    fitRows(first, last < 0 ? model_->rowCount({}) - 1 : last);
  }

  // Widens the columns that the texts of rows `first`..`last` do not fit in.
  void fitRows(int first, int last) {
    const ports::GridContent& content = model_->content();
    if (!content.cell || first < 0) return;
    if (!advances_) {
      advances_.emplace();
      const QFontMetricsF metrics(font());
      for (int b = 0; b < 256; ++b) {
        (*advances_)[static_cast<std::size_t>(b)] =
            metrics.horizontalAdvance(fromCp1252(std::string(1, static_cast<char>(b))));
      }
    }
    // The room a cell keeps around its text: the style's text margin on either side, and the
    // grid line.
    const int pad = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 1;
    QHeaderView* header = horizontalHeader();
    for (int c = 0; c < model_->columnCount({}); ++c) {
      qreal widest = 0;
      for (int row = first; row <= last; ++row) {
        qreal width = 0;
        for (const char ch : content.cell(row + 1, c)) {
          width += (*advances_)[static_cast<unsigned char>(ch)];
        }
        widest = std::max(widest, width);
      }
      const int needed = static_cast<int>(std::ceil(widest)) + pad;
      if (needed > header->sectionSize(c)) header->resizeSection(c, needed);
    }
  }

  GridModel* model_;
  std::optional<std::array<qreal, 256>> advances_;  // per byte, in the grid's font
};

QtMainView::QtMainView() : window_(std::make_unique<Window>(*this)) {
  window_->setObjectName("RIviriroMain");
  auto* central = new QWidget(window_.get());
  auto* outer = new QVBoxLayout(central);

  tabs_ = new QTabWidget(central);
  tabs_->setObjectName("SSTab1");
  outer->addWidget(tabs_, 1);
  tabs_->addTab(makeDataPage(), QString());
  tabs_->addTab(makeIncomingPage(), QString());
  outer->addLayout(makeBottomRow(central));

  window_->setCentralWidget(central);
  // Wide enough for a whole file-list entry in the fixed-pitch font.
  window_->resize(1100, 600);
  // In the middle of the screen, where the splash stands over it at start.
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    window_->move(screen->availableGeometry().center() - window_->rect().center());

  QObject::connect(list_, &QListWidget::itemSelectionChanged, [this] {
    if (!muteList_ && listSelected() >= 0) send(ports::Command::kListClick, 0);
  });
  QObject::connect(list_, &QListWidget::itemDoubleClicked,
                   [this](QListWidgetItem*) { send(ports::Command::kListDoubleClick, 0); });
}

QWidget* QtMainView::makeDataPage() {
  // Tab 0: the data grid, the information frame and its button.
  auto* dataPage = new QWidget;
  auto* dataLayout = new QHBoxLayout(dataPage);
  grid_ = new Grid(dataPage);
  grid_->setObjectName("MSFlexGrid1");
  grid_->setWordWrap(false);
  grid_->setCornerButtonEnabled(false);
  // Tab leaves the grid for the next control; the arrow keys move between its cells.
  grid_->setTabKeyNavigation(false);
  grid_->verticalHeader()->hide();
  // Rows of one height let the view place any of 16300 rows without measuring them.
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 4);
  grid_->horizontalHeader()->setHighlightSections(false);
  dataLayout->addWidget(grid_, 1);
  auto* side = new QVBoxLayout;
  info_ = new QGroupBox(dataPage);
  info_->setObjectName("fraInfo");
  auto* infoLayout = new QVBoxLayout(info_);
  for (ports::LabelId id : kInfoLabels) {
    QLabel* l = makeLabel(id, info_);
    l->setWordWrap(true);
    l->setMinimumWidth(180);
    infoLayout->addWidget(l);
    labels_[id] = l;
  }
  infoLayout->addStretch(1);
  side->addWidget(info_, 1);
  dataButtons_ = new QWidget(dataPage);
  new QVBoxLayout(dataButtons_);
  dataButtons_->layout()->setContentsMargins(0, 0, 0, 0);
  side->addWidget(dataButtons_);
  dataLayout->addLayout(side);
  return dataPage;
}

QWidget* QtMainView::makeIncomingPage() {
  // Tab 1: the file list, its buttons and the link labels.
  auto* incomingPage = new QWidget;
  auto* incomingLayout = new QVBoxLayout(incomingPage);
  auto* listRow = new QHBoxLayout;
  list_ = new ListBox(incomingPage, [this] { send(ports::Command::kListEnter, 0); });
  list_->setObjectName("List1");
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  listRow->addWidget(list_, 1);
  incomingButtons_ = new QWidget(incomingPage);
  new QVBoxLayout(incomingButtons_);
  incomingButtons_->layout()->setContentsMargins(0, 0, 0, 0);
  listRow->addWidget(incomingButtons_);
  incomingLayout->addLayout(listRow, 1);
  incomingLayout->addWidget(makeStatusArea(incomingPage));
  // Beside the status: the upload in progress, and the device the port has open.
  auto* linkRow = new QHBoxLayout;
  for (ports::LabelId id : {ports::LabelId::kUploadProgress, ports::LabelId::kPortName}) {
    QLabel* l = makeLabel(id, incomingPage);
    linkRow->addWidget(l, id == ports::LabelId::kUploadProgress ? 1 : 0);
    labels_[id] = l;
  }
  incomingLayout->addLayout(linkRow);
  QLabel* label1 = makeLabel(ports::LabelId::kLabel1, incomingPage);
  incomingLayout->addWidget(label1);
  labels_[ports::LabelId::kLabel1] = label1;
  return incomingPage;
}

QScrollArea* QtMainView::makeStatusArea(QWidget* page) {
  // The status label can hold a whole last message, many lines long: it scrolls in an area of
  // its own, so the list keeps its room.
  QLabel* statDat = makeLabel(ports::LabelId::kStatDat, nullptr);
  statDat->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  statDat->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* statArea = new QScrollArea(page);
  statArea->setObjectName("StatDatArea");
  // The label takes the size of its text (setLabel), also while its tab is hidden.
  statArea->setWidgetResizable(false);
  statArea->setFrameShape(QFrame::NoFrame);
  // Without a frame the area would show no sign of holding the focus: no Tab stop.
  statArea->setFocusPolicy(Qt::NoFocus);
  statArea->setWidget(statDat);
  const int lineHeight = statDat->fontMetrics().lineSpacing();
  statArea->setMinimumHeight(3 * lineHeight);
  statArea->setMaximumHeight(8 * lineHeight);
  labels_[ports::LabelId::kStatDat] = statDat;
  return statArea;
}

QHBoxLayout* QtMainView::makeBottomRow(QWidget* central) {
  // On the window itself: the general message and the progress bar.
  auto* bottom = new QHBoxLayout;
  QLabel* genMsg = makeLabel(ports::LabelId::kLblGenMsg, central);
  labels_[ports::LabelId::kLblGenMsg] = genMsg;
  bottom->addWidget(genMsg, 1);
  progress_ = new QProgressBar(central);
  progress_->setObjectName("ProgressBar2");
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->setVisible(false);
  // Its room is kept while it is hidden: showing it for a read or a save lays nothing out anew
  // (the tabs above would otherwise shrink and grow back, and the grid be painted twice).
  QSizePolicy keepRoom = progress_->sizePolicy();
  keepRoom.setRetainSizeWhenHidden(true);
  progress_->setSizePolicy(keepRoom);
  bottom->addWidget(progress_);
  return bottom;
}

QtMainView::~QtMainView() {
  if (busy_) QApplication::restoreOverrideCursor();
}

QMainWindow* QtMainView::window() const {
  return window_.get();
}

void QtMainView::build(const ports::WindowLayout& layout, ports::MainWindowEvents& events) {
  events_ = &events;
  window_->setWindowTitle(fromCp1252(layout.caption));
  for (int i = 0; i < tabs_->count(); ++i) {
    const auto k = static_cast<std::size_t>(i);
    tabs_->setTabText(i, k < layout.tabs.size() ? fromCp1252(layout.tabs[k]) : QString());
  }
  info_->setTitle(fromCp1252(layout.infoFrameCaption));

  for (QPushButton* b : buttons_) delete b;
  buttons_.clear();
  for (const auto& button : layout.buttons) {
    QWidget* holder = button.tab == 0 ? dataButtons_ : incomingButtons_;
    auto* b = new QPushButton(fromCp1252(button.caption), holder);
    b->setObjectName(QString::fromStdString(button.name));
    holder->layout()->addWidget(b);
    const ports::Command command = button.command;
    QObject::connect(b, &QPushButton::clicked, [this, command] { send(command, 0); });
    buttons_.push_back(b);
  }
  static_cast<QVBoxLayout*>(incomingButtons_->layout())->addStretch(1);

  window_->menuBar()->clear();
  actions_.clear();
  checks_.clear();
  for (const auto& entry : layout.menuBar) {
    if (entry.isSeparator()) {
      window_->menuBar()->addSeparator();
    } else if (entry.items.empty()) {
      addCommand(window_->menuBar(), entry, 0);
    } else {
      QMenu* menu = window_->menuBar()->addMenu(fromCp1252(entry.caption));
      menu->setObjectName(QString::fromStdString(entry.name));
      addMenuItems(menu, entry.items);
    }
  }
}

// Items of one menu. Items sharing a name form a control array, whose "index" property numbers
// them from 1 in menu order; an item with a name of its own has index 0.
void QtMainView::addMenuItems(QMenu* menu, const std::vector<ports::MenuEntry>& items) {
  std::map<std::string, int> uses;
  for (const auto& item : items) {
    if (!item.isSeparator() && item.items.empty()) ++uses[item.name];
  }
  std::map<std::string, int> numbered;
  for (const auto& item : items) {
    if (item.isSeparator()) {
      menu->addSeparator();
    } else if (!item.items.empty()) {
      QMenu* sub = menu->addMenu(fromCp1252(item.caption));
      sub->setObjectName(QString::fromStdString(item.name));
      addMenuItems(sub, item.items);
    } else {
      const int index = uses[item.name] > 1 ? ++numbered[item.name] : 0;
      addCommand(menu, item, index);
    }
  }
}

QAction* QtMainView::addCommand(QWidget* owner, const ports::MenuEntry& entry, int index) {
  auto* a = new QAction(fromCp1252(entry.caption), owner);
  a->setObjectName(QString::fromStdString(entry.name));
  a->setProperty("index", index);
  owner->addAction(a);
  const ItemKey key{entry.command, entry.number};
  actions_[key] = a;
  QObject::connect(a, &QAction::triggered, [this, a, key] {
    // The check mark belongs to the logic: undo the toggle Qt made on the click.
    const auto it = checks_.find(key);
    a->setChecked(it != checks_.end() && it->second);
    send(key.first, key.second);
  });
  return a;
}

void QtMainView::send(ports::Command command, int number) {
  if (events_ != nullptr) events_->command(command, number);
}

bool QtMainView::closeRequested() {
  if (quitRequested_) return true;
  inCloseEvent_ = true;
  send(ports::Command::kClose, 0);
  inCloseEvent_ = false;
  return quitRequested_;
}

void QtMainView::show() {
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void QtMainView::addPage(QWidget* page, const QString& title) {
  tabs_->addTab(page, title);
}

void QtMainView::quit() {
  quitRequested_ = true;
  if (!inCloseEvent_) window_->close();
  QCoreApplication::quit();
}

void QtMainView::setLabel(ports::LabelId id, const std::string& text) {
  labelTexts_[id] = text;
  QLabel* l = labels_.at(id);
  // The status and the general message quote the meter and the files: their control characters
  // are shown, not passed to the font.
  const bool quotes = id == ports::LabelId::kStatDat || id == ports::LabelId::kLblGenMsg;
  l->setText(quotes ? printableLinesText(text) : displayText(text));
  if (id == ports::LabelId::kStatDat) {
    // The label takes the size of its plain text in its scroll area. Being selectable, it would
    // lay the text out in a text document for its size hint, a tenth of a millisecond at each
    // step of a View: the font's measures give the same size.
    const QFontMetrics metrics(l->font());
    const QStringList lines = l->text().split('\n');
    int width = 0;
    for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
    const QMargins m = l->contentsMargins();
    l->resize(width + m.left() + m.right() + 2 * l->margin(),
              static_cast<int>(lines.size()) * metrics.lineSpacing() + m.top() + m.bottom() +
                  2 * l->margin());
  }
  // The status and the general message say what step comes next, and a long save, open or
  // read may follow without a return to the event loop: they are painted at once. The other
  // labels are painted with the rest of the window when the step ends (painting one at once
  // paints everything waiting with it, the grid included).
  if (id == ports::LabelId::kStatDat || id == ports::LabelId::kLblGenMsg) l->repaint();
}

std::string QtMainView::label(ports::LabelId id) const {
  const auto it = labelTexts_.find(id);
  return it == labelTexts_.end() ? std::string() : it->second;
}

void QtMainView::selectTab(int index) {
  tabs_->setCurrentIndex(index);
}

int QtMainView::selectedTab() const {
  return tabs_->currentIndex();
}

void QtMainView::listAdd(const std::string& entry) {
  auto* item = new QListWidgetItem(displayText(entry));
  item->setData(Qt::UserRole, QByteArray(entry.data(), static_cast<qsizetype>(entry.size())));
  muteList_ = true;
  list_->addItem(item);
  muteList_ = false;
}

void QtMainView::listRemove(int index) {
  if (index < 0 || index >= listCount()) return;
  muteList_ = true;
  // Like a stock list box: removing the selected entry leaves nothing selected.
  const bool wasSelected = listSelected() == index;
  delete list_->takeItem(index);
  if (wasSelected) list_->clearSelection();
  muteList_ = false;
}

int QtMainView::listCount() const {
  return static_cast<int>(list_->count());
}

std::string QtMainView::listItem(int index) const {
  const QListWidgetItem* item = list_->item(index);
  if (item == nullptr) return {};
  return item->data(Qt::UserRole).toByteArray().toStdString();
}

int QtMainView::listSelected() const {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return -1;
  return list_->row(selected.front());
}

void QtMainView::listSelect(int index) {
  muteList_ = true;
  if (index < 0 || index >= listCount()) {
    list_->clearSelection();
    list_->setCurrentRow(-1);
  } else {
    list_->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    list_->scrollToItem(list_->item(index));
  }
  muteList_ = false;
}

void QtMainView::setChecked(ports::Command command, int number, bool on) {
  const ItemKey key{command, number};
  const auto it = actions_.find(key);
  if (it == actions_.end()) return;  // no such item: nothing to mark
  checks_[key] = on;
  // Only a checked item is checkable, so the others show no empty box.
  it->second->setCheckable(on);
  it->second->setChecked(on);
}

bool QtMainView::checked(ports::Command command, int number) const {
  const auto it = checks_.find({command, number});
  return it != checks_.end() && it->second;
}

void QtMainView::setBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void QtMainView::setProgress(int value, int maximum) {
  const int top = std::max(maximum, 1);
  // The bar paints itself at once at every step it shows, and a read reports a step every few
  // hundred records: it is painted at once at most once a frame, a step within the frame with
  // the window's next paint.
  constexpr qint64 kFrameMs = 16;
  const bool paintNow = !progressPainted_.isValid() || progressPainted_.elapsed() >= kFrameMs;
  if (!paintNow) progress_->setUpdatesEnabled(false);
  progress_->setRange(0, top);
  progress_->setValue(std::clamp(value, 0, top));
  progress_->show();
  if (paintNow) {
    progressPainted_.start();
  } else {
    progress_->setUpdatesEnabled(true);
  }
}

void QtMainView::setProgressVisible(bool visible) {
  progress_->setVisible(visible);
}

void QtMainView::showGrid(ports::GridContent grid) {
  // A grid of titles alone has no cell to show the focus on: no Tab stop until it has rows.
  grid_->setFocusPolicy(grid.rows > 1 ? Qt::StrongFocus : Qt::NoFocus);
  // Twips are 1/1440 inch: the screen's dots per inch give the pixels.
  const int dpi = grid_->logicalDpiX();
  std::vector<int> minimum;
  for (const int twips : grid.widthsTwips) {
    minimum.push_back(twips >= 0 ? twips * dpi / 1440
                                 : grid_->horizontalHeader()->defaultSectionSize());
  }
  grid_->display(std::move(grid), minimum);
}

}  // namespace kestrand::adapters::qt
