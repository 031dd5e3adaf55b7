#pragma once
// The general message label and the timer that clears it.

#include <string>

#include "app/main_view.h"
#include "ports/timer.h"

namespace kestrand {

class GeneralMessage {
 public:
  GeneralMessage(ports::MainView& view, ports::Timer& timer) : view_(view), timer_(timer) {
    timer_.onTick([this] { tmrShowGenMsg_Timer(); });
  }

  // Shows `message` for five seconds; a second call replaces it and starts the five seconds anew.
  void ShowGeneralMsg(const std::string& message) {
    timer_.setInterval(0);
    timer_.setEnabled(false);
    view_.setLabel(ports::LabelId::kLblGenMsg, message);
    timer_.setInterval(5000);
    timer_.setEnabled(true);
  }

  // Writes the label directly; only a clear already pending (or started later) removes it.
  void write(const std::string& message) { view_.setLabel(ports::LabelId::kLblGenMsg, message); }

  // Starts the clearing timer with its own interval (the checksum notice uses one second).
  void clearAfter(int ms) {
    timer_.setInterval(ms);
    timer_.setEnabled(true);
  }

  void tmrShowGenMsg_Timer() {
    view_.setLabel(ports::LabelId::kLblGenMsg, "");
    timer_.setInterval(0);
    timer_.setEnabled(false);
  }

 private:
  ports::MainView& view_;
  ports::Timer& timer_;
};

}  // namespace kestrand
