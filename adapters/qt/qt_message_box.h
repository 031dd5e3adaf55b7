#pragma once
// Modal message boxes as QMessageBox.

#include "ports/message_box.h"

class QWidget;

namespace kestrand::platform::qt {

class QtMessageBox : public MessageBox {
 public:
  // Boxes are centred over `owner` when given.
  explicit QtMessageBox(QWidget* owner = nullptr) : owner_(owner) {}
  Answer show(const std::string& text, Buttons buttons, bool warningIcon,
              const std::string& title) override;

 private:
  QWidget* owner_;
};

}  // namespace kestrand::platform::qt
