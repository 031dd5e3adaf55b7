#pragma once
// The notes of the upload on display, on the "Chart" tab: where it was measured, by whom, a
// remark, the client and the instrument (serial, calibration date), with "Save notes". The notes
// are UTF-8 (the user's own words, in any script); they are converted here, at the Qt boundary, and
// nowhere else.

#include <QGroupBox>
#include <functional>

#include "store/notes.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kestrand::adapters::qt {

class NotesPanel : public QGroupBox {
 public:
  explicit NotesPanel(QWidget* parent = nullptr);

  // Shows `notes`; `editable` false shows them greyed, with "Save notes" off.
  void setNotes(const store::Notes& notes, bool editable);
  store::Notes notes() const;
  // Called with the notes when "Save notes" is pressed; true when they were saved.
  void onSave(std::function<bool(const store::Notes&)> handler);
  // Whether the notes were edited since they were shown or saved.
  bool edited() const;
  // Before what is shown gives way: edited notes ask Save, Discard or Cancel. False on Cancel,
  // or when saving failed.
  bool mayLeave();

 private:
  QLineEdit* site_;
  QLineEdit* operator_;
  QPlainTextEdit* comment_;
  QLineEdit* client_;
  QLineEdit* serial_;
  QLineEdit* calibration_;
  QPushButton* save_;
  std::function<bool(const store::Notes&)> onSave_;
  bool save();
};

}  // namespace kestrand::adapters::qt
