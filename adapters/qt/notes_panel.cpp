#include "adapters/qt/notes_panel.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

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
  connect(save_, &QPushButton::clicked, this, [this] {
    if (onSave_) onSave_(notes());
  });
  setNotes({}, false);
}

void NotesPanel::setNotes(const store::Notes& n, bool editable) {
  site_->setText(QString::fromStdString(n.site));
  operator_->setText(QString::fromStdString(n.operatorName));
  comment_->setPlainText(QString::fromStdString(n.comment));
  for (QWidget* w : {static_cast<QWidget*>(site_), static_cast<QWidget*>(operator_),
                     static_cast<QWidget*>(comment_), static_cast<QWidget*>(save_)}) {
    w->setEnabled(editable);
  }
}

store::Notes NotesPanel::notes() const {
  return {site_->text().toStdString(), operator_->text().toStdString(),
          comment_->toPlainText().toStdString()};
}

void NotesPanel::onSave(std::function<void(const store::Notes&)> handler) {
  onSave_ = std::move(handler);
}

}  // namespace kestrand::platform::qt
