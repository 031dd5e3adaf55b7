#include "adapters/qt/qt_message_box.h"

#include <QMessageBox>

#include "adapters/qt/cp1252.h"

namespace kestrand::adapters::qt {

ports::Answer QtMessageBox::show(const std::string& text, ports::Buttons buttons, bool warningIcon,
                                 const std::string& title) {
  QMessageBox box(owner_);
  box.setObjectName("MsgBox");
  box.setWindowTitle(fromCp1252(title));
  box.setTextFormat(Qt::PlainText);
  box.setText(displayText(text));
  box.setIcon(warningIcon ? QMessageBox::Warning : QMessageBox::NoIcon);
  if (buttons == ports::Buttons::kYesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  const int pressed = box.exec();
  if (buttons == ports::Buttons::kOk) return ports::Answer::kOk;
  return pressed == QMessageBox::Yes ? ports::Answer::kYes : ports::Answer::kNo;
}

}  // namespace kestrand::adapters::qt
