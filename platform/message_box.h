#pragma once
// Modal message boxes: text, buttons, optional warning icon, title -> the button pressed.

#include <string>

namespace kestrand::platform {

enum class Buttons { kOk, kYesNo };
enum class Answer { kOk, kYes, kNo };

class MessageBox {
 public:
  virtual ~MessageBox() = default;
  // `text` and `title` are Windows-1252 bytes; line breaks inside `text` are LF CR pairs.
  virtual Answer show(const std::string& text, Buttons buttons, bool warningIcon,
                      const std::string& title) = 0;
};

}  // namespace kestrand::platform
