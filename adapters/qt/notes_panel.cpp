#include "adapters/qt/notes_panel.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

namespace kestrand::platform::qt {

NotesPanel::NotesPanel(QWidget* parent) : QGroupBox(tr("Notes"), parent) {
  setObjectName("notesPanel");
  auto* form = new QFormLayout(this);
  site_ = new QLineEdit(this);
  site_->setObjectName("txtSite");
  operator_ = new QLineEdit(this);
  operator_->setObjectName("txtOperator");
  comment_ = new QPlainTextEdit(this);
  comment_->setObjectName("txtComment");
  comment_->setTabChangesFocus(true);
  // A few lines: the chart keeps the room.
  comment_->setFixedHeight(comment_->fontMetrics().lineSpacing() * 3 + 12);
  save_ = new QPushButton(tr("Save notes"), this);
  save_->setObjectName("cmdSaveNotes");
  form->addRow(tr("&Site:"), site_);
  form->addRow(tr("&Operator:"), operator_);
  form->addRow(tr("Co&mment:"), comment_);
  form->addRow(QString(), save_);
  connect(save_, &QPushButton::clicked, this, [this] { save(); });
  setNotes({}, false);
}

void NotesPanel::setNotes(const store::Notes& n, bool editable) {
  site_->setText(QString::fromStdString(n.site));
  operator_->setText(QString::fromStdString(n.operatorName));
  comment_->setPlainText(QString::fromStdString(n.comment));
  site_->setModified(false);
  operator_->setModified(false);
  comment_->document()->setModified(false);
  for (QWidget* w : {static_cast<QWidget*>(site_), static_cast<QWidget*>(operator_),
                     static_cast<QWidget*>(comment_), static_cast<QWidget*>(save_)}) {
    w->setEnabled(editable);
  }
}

store::Notes NotesPanel::notes() const {
  return {site_->text().toStdString(), operator_->text().toStdString(),
          comment_->toPlainText().toStdString()};
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
         (site_->isModified() || operator_->isModified() || comment_->document()->isModified());
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

}  // namespace kestrand::platform::qt
