#pragma once
// The headless receiver: the desktop program's link, list and format settings without a window.
// It runs the desktop program's load steps with one device as its port and without the file
// list, and reports when the first upload has ended.

#include <functional>
#include <string>

#include "app/program.h"

namespace kestrand::cli {

class Receiver {
 public:
  Receiver(app::Platform p, std::string dataDir);

  // Opens `device`, reads the format settings and fills the probe table. Throws kestrand::Error
  // when the device cannot be opened or a settings file cannot be written.
  void start(const std::string& device);
  // Closes the raw data file of an upload in progress.
  void stop();

  bool uploadEnded() const { return ended_; }
  // Called (once per upload) when an upload has ended, inside the handler that ended it.
  void onEnded(std::function<void()> handler) { whenEnded_ = std::move(handler); }
  app::Program& program() { return prog_; }

 private:
  app::Program prog_;
  bool ended_ = false;
  std::function<void()> whenEnded_;
};

}  // namespace kestrand::cli
