#include "adapters/qt/qt_dialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <array>
#include <cmath>

#include "adapters/qt/cp1252.h"

namespace kestrand::adapters::qt {
namespace {

QLabel* namedLabel(const char* name, const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->setTextFormat(Qt::PlainText);
  return l;
}

QPushButton* okButton(const char* name, QDialog* dialog, QBoxLayout* layout) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  auto* b = new QPushButton("OK", dialog);
  b->setObjectName(name);
  b->setDefault(true);
  row->addWidget(b);
  row->addStretch(1);
  layout->addLayout(row);
  return b;
}

void centreOn(QWidget* w, const QRect& area) {
  w->adjustSize();
  w->move(area.left() + (area.width() - w->width()) / 2,
          area.top() + (area.height() - w->height()) / 2);
}

QRect screenArea(const QWidget* near) {
  QScreen* screen = near != nullptr ? near->screen() : QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

QPixmap drawLogo() {
  QPixmap pix(320, 150);
  pix.fill(QColor(18, 40, 74));
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  // A field probe: a sphere on a stem, with the field lines around it.
  p.setPen(QPen(QColor(210, 220, 235), 6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(60, 130), QPointF(60, 70));
  p.setBrush(QColor(240, 180, 40));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(60, 52), 20, 20);
  p.setBrush(Qt::NoBrush);
  for (int k = 1; k <= 3; ++k) {
    p.setPen(QPen(QColor(120, 190, 255, 255 - 60 * k), 2.5));
    const double r = 20.0 + 14.0 * k;
    p.drawArc(QRectF(60 - r, 52 - r, 2 * r, 2 * r), 30 * 16, 120 * 16);
  }
  // A logged trace.
  QPainterPath trace;
  trace.moveTo(120, 110);
  for (int x = 0; x <= 180; x += 4) {
    trace.lineTo(120 + x, 110 - 18 * std::sin(x / 14.0) * std::exp(-x / 160.0) - x / 9.0);
  }
  p.setPen(QPen(QColor(120, 220, 140), 2));
  p.drawPath(trace);
  QFont f = p.font();
  f.setPointSize(20);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(110, 14, 200, 40), Qt::AlignLeft | Qt::AlignVCenter, "Kestrand");
  f.setPointSize(10);
  f.setBold(false);
  p.setFont(f);
  p.drawText(QRectF(112, 46, 200, 20), Qt::AlignLeft | Qt::AlignVCenter, "Data Upload");
  return pix;
}

QtDialogs::QtDialogs(QWidget* owner) : owner_(owner) {}

QtDialogs::~QtDialogs() = default;

void QtDialogs::showSplash(const std::string& versionText) {
  splash_ = std::make_unique<QWidget>(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint);
  splash_->setObjectName("frmSplash");
  auto* layout = new QVBoxLayout(splash_.get());
  auto* logo = namedLabel("picLogo", QString(), splash_.get());
  logo->setPixmap(drawLogo());
  layout->addWidget(logo);
  auto* version = namedLabel("lblVersion", fromCp1252(versionText), splash_.get());
  version->setAlignment(Qt::AlignRight);
  layout->addWidget(version);
  centreOn(splash_.get(), screenArea(nullptr));
  if (owner_ != nullptr) {
    // The splash belongs to the main window: a window manager keeps it above the main window,
    // which comes up while the splash is still on the screen.
    splash_->winId();
    owner_->winId();
    splash_->windowHandle()->setTransientParent(owner_->windowHandle());
  }
  splash_->show();
  // The start-up then blocks for three seconds: the window must be on the screen before that.
  QCoreApplication::processEvents();
  splash_->repaint();
}

void QtDialogs::closeSplash() {
  if (splash_) splash_->close();
  splash_.reset();
}

int QtDialogs::choosePort(int initial) {
  QDialog dialog(owner_);
  dialog.setObjectName("frmPort");
  dialog.setWindowTitle("Select a Comm Port");
  dialog.setModal(true);
  auto* layout = new QVBoxLayout(&dialog);
  auto* frame = new QGroupBox("Port Number", &dialog);
  frame->setObjectName("Frame1");
  auto* frameLayout = new QVBoxLayout(frame);
  QButtonGroup group(&dialog);
  static constexpr std::array<const char*, 5> kNames = {"OptCom1", "OptCom2", "OptCom3", "OpCom4",
                                                        "OpCom5"};
  const int chosen = std::clamp(initial, 1, 5);
  for (int n = 1; n <= 5; ++n) {
    auto* option = new QRadioButton(QString("Comm%1").arg(n), frame);
    option->setObjectName(kNames[static_cast<std::size_t>(n - 1)]);
    option->setChecked(n == chosen);
    group.addButton(option, n);
    frameLayout->addWidget(option);
  }
  layout->addWidget(frame);
  auto* go = new QPushButton("Continue", &dialog);
  go->setObjectName("Command1");
  go->setDefault(true);
  layout->addWidget(go);
  QObject::connect(go, &QPushButton::clicked, &dialog, &QDialog::accept);
  // Wide enough for its title in a window manager's bold title font, beside an icon and three
  // buttons of the title bar.
  QFont title = dialog.font();
  title.setBold(true);
  title.setPointSizeF(title.pointSizeF() * 1.2);
  dialog.setMinimumWidth(QFontMetrics(title).horizontalAdvance(dialog.windowTitle()) + 4 * 32);
  const QRect screen = screenArea(owner_);
  centreOn(&dialog, screen);
  // Asked during the load, the dialog comes up while the splash is on the screen: the main
  // window, shown just before, has come up over the splash, which goes back on top of it; the
  // dialog then opens over both.
  if (splash_) {
    // The splash stays where it stood: the dialog goes below it where the screen has room.
    const int below = splash_->frameGeometry().bottom() + 8;
    if (below + dialog.height() <= screen.bottom()) dialog.move(dialog.x(), below);
    splash_->raise();
  }
  dialog.exec();
  // Closing the dialog another way keeps the option chosen so far.
  return group.checkedId() > 0 ? group.checkedId() : chosen;
}

void QtDialogs::showAbout(const std::string& versionText) {
  QDialog dialog(owner_);
  dialog.setObjectName("About");
  dialog.setWindowTitle(QString());
  auto* layout = new QVBoxLayout(&dialog);
  auto* name = namedLabel("Label1", "RI-Viriro", &dialog);
  QFont f = name->font();
  f.setPointSizeF(f.pointSizeF() * 1.6);
  f.setBold(true);
  name->setFont(f);
  layout->addWidget(name, 0, Qt::AlignHCenter);
  layout->addWidget(namedLabel("Version", fromCp1252(versionText), &dialog), 0, Qt::AlignHCenter);
  layout->addSpacing(8);
  layout->addWidget(namedLabel("Label2", "Kestrand Instruments", &dialog), 0, Qt::AlignHCenter);
  layout->addWidget(namedLabel("Label3", "Field measurement support", &dialog), 0,
                    Qt::AlignHCenter);
  layout->addWidget(namedLabel("Label4", "support@kestrand.example", &dialog), 0, Qt::AlignHCenter);
  layout->addSpacing(8);
  QPushButton* ok = okButton("cmdAboutOK", &dialog, layout);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  dialog.exec();
}

void QtDialogs::showDataWarning(const std::string& text) {
  if (!warning_) {
    warning_ = std::make_unique<QDialog>();
    warning_->setObjectName("DataQtyError");
    warning_->setWindowTitle("Data Warning");
    warning_->setModal(false);
    auto* layout = new QVBoxLayout(warning_.get());
    warningText_ = namedLabel("lblDataWarning", QString(), warning_.get());
    warningText_->setWordWrap(true);
    warningText_->setMinimumWidth(320);
    layout->addWidget(warningText_);
    QPushButton* ok = okButton("cmdDataExit", warning_.get(), layout);
    QObject::connect(ok, &QPushButton::clicked, warning_.get(), &QWidget::hide);
  }
  warningText_->setText(displayText(text));
  warning_->show();
  warning_->raise();
}

void QtDialogs::showHelp(const std::string& caption, const std::string& text) {
  QDialog dialog(owner_);
  dialog.setObjectName("FormatHelp");
  dialog.setWindowTitle(fromCp1252(caption));
  auto* layout = new QVBoxLayout(&dialog);
  // The text's blank runs pad each sentence to a line of its own; the label is as wide as the
  // longest line and wraps anything longer.
  const QString shown = paddedLinesText(text);
  auto* label = namedLabel("lblHelpText", shown, &dialog);
  label->setWordWrap(true);
  int widest = 0;
  for (const QString& line : shown.split('\n')) {
    widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
  }
  label->setFixedWidth(std::clamp(widest + 4, 200, 520));
  layout->addWidget(label);
  QPushButton* ok = okButton("TimeHelpOK", &dialog, layout);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  dialog.exec();
}

QStringList nameFilters(const std::string& filter) {
  const QStringList parts = fromCp1252(filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    if (patterns == "*.*") patterns = "*";
    filters << parts[i] + " (" + patterns + ")";
  }
  return filters;
}

namespace {

std::optional<ports::SaveChoice> chooseFile(QWidget* owner, const ports::FileDialogRequest& r,
                                            bool save) {
  QFileDialog dialog(owner, fromCp1252(r.title), fromCp1252(r.folder));
  dialog.setObjectName("CommonDialog1");
  dialog.setNameFilters(nameFilters(r.filter));
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !r.confirmOverwrite);
  if (!r.fileName.empty()) dialog.selectFile(fromCp1252(r.fileName));
  QCheckBox* option = nullptr;
  if (save && !r.option.empty()) {
    // A box of our own goes under the name: only Qt's own dialog takes one.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    option = new QCheckBox(fromCp1252(r.option), &dialog);
    option->setObjectName("chkOption");
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
      grid->addWidget(option, grid->rowCount(), 0, 1, -1);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  // The dialog names its filter as it shows it: its blanks tidied and, with the details hidden,
  // without the patterns in brackets at the end.
  const QString chosen = dialog.selectedNameFilter();
  const QStringList shown = dialog.nameFilters();
  int filter = 0;
  for (qsizetype i = 0; i < shown.size(); ++i) {
    if (shown[i] == chosen || shown[i].left(shown[i].lastIndexOf(" (")) == chosen) {
      filter = static_cast<int>(i);
    }
  }
  return ports::SaveChoice{toCp1252(dialog.selectedFiles().constFirst()), filter,
                           option != nullptr && option->isChecked()};
}

}  // namespace

std::optional<std::string> QtDialogs::openFile(const ports::FileDialogRequest& request) {
  auto chosen = chooseFile(owner_, request, false);
  if (!chosen) return std::nullopt;
  return std::move(chosen->path);
}

std::optional<ports::SaveChoice> QtDialogs::saveFile(const ports::FileDialogRequest& request) {
  return chooseFile(owner_, request, true);
}

bool QtDialogs::YesNo(const std::string& caption, const std::string& text) {
  QDialog dialog(owner_);
  dialog.setObjectName("YesNo");
  dialog.setWindowTitle(fromCp1252(caption));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(namedLabel("Label1", displayText(text), &dialog));
  auto* row = new QHBoxLayout;
  auto* yes = new QPushButton("Yes", &dialog);
  yes->setObjectName("cmdYes");
  auto* no = new QPushButton("No", &dialog);
  no->setObjectName("cmdNo");
  no->setDefault(true);
  row->addStretch(1);
  row->addWidget(yes);
  row->addWidget(no);
  row->addStretch(1);
  layout->addLayout(row);
  QObject::connect(yes, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(no, &QPushButton::clicked, &dialog, &QDialog::reject);
  centreOn(&dialog, screenArea(owner_));
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace kestrand::adapters::qt
