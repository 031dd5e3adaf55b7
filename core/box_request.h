#pragma once
// A message box as the logic asks for it: text, buttons, icon and title. The libraries return
// these; the window's logic shows them.

#include <string>

namespace kestrand {

enum class Buttons { kOk, kYesNo };
enum class Answer { kOk, kYes, kNo };

struct BoxRequest {
  std::string text;  // Windows-1252 bytes; line breaks inside are LF CR pairs
  Buttons buttons = Buttons::kOk;
  bool warningIcon = false;
  std::string title;

  bool operator==(const BoxRequest&) const = default;
};

}  // namespace kestrand
