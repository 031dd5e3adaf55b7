#pragma once
// How a long operation of the store or the view keeps the user informed: the main window's busy
// pointer, the status label and the progress bar. The window's side fills in what it shows;
// an empty function is simply not called.

#include <cstdint>
#include <functional>
#include <string>

namespace kestrand::store {

struct Feedback {
  std::function<void(bool on)> busy;                    // busy pointer on / normal again
  std::function<void(const std::string& text)> status;  // the status label `StatDat`
  std::function<void(std::int64_t value, std::int64_t maximum)> progress;  // shows the bar
  std::function<void()> hideProgress;

  void setBusy(bool on) const {
    if (busy) busy(on);
  }
  void setStatus(const std::string& text) const {
    if (status) status(text);
  }
  void setProgress(std::int64_t value, std::int64_t maximum) const {
    if (progress) progress(value, maximum);
  }
  void hide() const {
    if (hideProgress) hideProgress();
  }
};

}  // namespace kestrand::store
