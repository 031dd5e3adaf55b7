#include "adapters/qt/notes_panel.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

namespace kestrand::adapters::qt {

NotesPanel::NotesPanel(QWidget* parent) : QGroupBox(tr("Notes"), parent) {
  setObjectName("notesPanel");
  auto* form = new QFormLayout(this);
  const auto edit = [this](const char* name) {
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    return e;
  };
  site_ = edit("txtSite");
  operator_ = edit("txtOperator");
  comment_ = new QPlainTextEdit(this);
  comment_->setObjectName("txtComment");
  comment_->setTabChangesFocus(true);
  client_ = edit("txtClient");
  serial_ = edit("txtInstrumentSerial");
  calibration_ = edit("txtCalibrationDate");
  // A few lines: the chart keeps the room.
  comment_->setFixedHeight(comment_->fontMetrics().lineSpacing() * 3 + 12);
  save_ = new QPushButton(tr("Save notes"), this);
  save_->setObjectName("cmdSaveNotes");
  form->addRow(tr("&Site:"), site_);
  form->addRow(tr("&Operator:"), operator_);
  form->addRow(tr("Co&mment:"), comment_);
  // The client and the instrument share a row: the chart keeps the room.
  auto* instrument = new QHBoxLayout;
  instrument->addWidget(client_, 1);
  auto* serialLabel = new QLabel(tr("Instrument se&rial:"), this);
  serialLabel->setBuddy(serial_);
  instrument->addWidget(serialLabel);
  instrument->addWidget(serial_, 1);
  auto* calibrationLabel = new QLabel(tr("Calibration &date:"), this);
  calibrationLabel->setBuddy(calibration_);
  instrument->addWidget(calibrationLabel);
  instrument->addWidget(calibration_, 1);
  // A row's label takes its field as buddy only when the field is a widget: this one is named.
  auto* clientLabel = new QLabel(tr("C&lient:"), this);
  clientLabel->setBuddy(client_);
  form->addRow(clientLabel, instrument);
  form->addRow(QString(), save_);
  connect(save_, &QPushButton::clicked, this, [this] { save(); });
  setNotes({}, false);
}

void NotesPanel::setNotes(const store::Notes& n, bool editable) {
  site_->setText(QString::fromStdString(n.site));
  operator_->setText(QString::fromStdString(n.operatorName));
  comment_->setPlainText(QString::fromStdString(n.comment));
  client_->setText(QString::fromStdString(n.client));
  serial_->setText(QString::fromStdString(n.instrumentSerial));
  calibration_->setText(QString::fromStdString(n.calibrationDate));
  site_->setModified(false);
  operator_->setModified(false);
  comment_->document()->setModified(false);
  client_->setModified(false);
  serial_->setModified(false);
  calibration_->setModified(false);
  for (QWidget* w : {static_cast<QWidget*>(site_), static_cast<QWidget*>(operator_),
                     static_cast<QWidget*>(comment_), static_cast<QWidget*>(client_),
                     static_cast<QWidget*>(serial_), static_cast<QWidget*>(calibration_),
                     static_cast<QWidget*>(save_)}) {
    w->setEnabled(editable);
  }
}

store::Notes NotesPanel::notes() const {
  return {site_->text().toStdString(),           operator_->text().toStdString(),
          comment_->toPlainText().toStdString(), client_->text().toStdString(),
          serial_->text().toStdString(),         calibration_->text().toStdString()};
}

void NotesPanel::onSave(std::function<bool(const store::Notes&)> handler) {
  onSave_ = std::move(handler);
}

bool NotesPanel::save() {
  if (onSave_ && !onSave_(notes())) return false;
  site_->setModified(false);
  operator_->setModified(false);
  comment_->document()->setModified(false);
  return true;
}

bool NotesPanel::edited() const {
  return save_->isEnabled() &&
         (site_->isModified() || operator_->isModified() || comment_->document()->isModified() ||
          client_->isModified() || serial_->isModified() || calibration_->isModified());
}

bool NotesPanel::mayLeave() {
  if (!edited()) return true;
  QMessageBox box(QMessageBox::Question, tr("Notes"),
                  tr("The notes have been changed. Save them before going on?"),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, window());
  box.setObjectName("NotesChanged");
  box.setDefaultButton(QMessageBox::Save);
  switch (box.exec()) {
    case QMessageBox::Save:
      return save();
    case QMessageBox::Discard:
      return true;
    default:
      return false;
  }
}

}  // namespace kestrand::adapters::qt
