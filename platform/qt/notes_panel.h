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

namespace kestrand::platform::qt {

class NotesPanel : public QGroupBox {
 public:
  explicit NotesPanel(QWidget* parent = nullptr);

  // Shows `notes`; `editable` false shows them greyed, with "Save notes" off.
  void setNotes(const store::Notes& notes, bool editable);
  store::Notes notes() const;
  // Called with the notes when "Save notes" is pressed.
  void onSave(std::function<void(const store::Notes&)> handler);

 private:
  QLineEdit* site_;
  QLineEdit* operator_;
  QPlainTextEdit* comment_;
  QLineEdit* client_;
  QLineEdit* serial_;
  QLineEdit* calibration_;
  QPushButton* save_;
  std::function<void(const store::Notes&)> onSave_;
};

}  // namespace kestrand::platform::qt
