#pragma once
// Modal message boxes as QMessageBox.

#include "ports/message_box.h"

class QWidget;

namespace kestrand::adapters::qt {

class QtMessageBox : public ports::MessageBox {
 public:
  // Boxes are centred over `owner` when given.
  explicit QtMessageBox(QWidget* owner = nullptr) : owner_(owner) {}
  ports::Answer show(const std::string& text, ports::Buttons buttons, bool warningIcon,
                     const std::string& title) override;

 private:
  QWidget* owner_;
};

}  // namespace kestrand::adapters::qt
