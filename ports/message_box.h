#pragma once
// Modal message boxes: text, buttons, optional warning icon, title -> the button pressed.

#include <string>

#include "core/box_request.h"

namespace kestrand::ports {

using Buttons = kestrand::Buttons;
using Answer = kestrand::Answer;

class MessageBox {
 public:
  virtual ~MessageBox() = default;
  // `text` and `title` are Windows-1252 bytes; line breaks inside `text` are LF CR pairs.
  virtual Answer show(const std::string& text, Buttons buttons, bool warningIcon,
                      const std::string& title) = 0;
  Answer show(const BoxRequest& r) { return show(r.text, r.buttons, r.warningIcon, r.title); }
};

}  // namespace kestrand::ports
