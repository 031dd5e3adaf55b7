#pragma once
// The desktop program's window logic against fakes, in an in-memory program directory "/prog"
// whose port settings file holds the port asked for.

#include <string>

#include "app/main_window.h"
#include "tests/fakes/fake_timers.h"
#include "tests/fakes/fakes.h"
#include "tests/fakes/memory_file_system.h"

namespace kestrand::testing {

class Shell {
 public:
  // A program directory whose port settings file holds `portSetting` (none when empty).
  explicit Shell(const std::string& portSetting = " 1\r\n")
      : win(app::Platform{view, box, fs, clock, timers, port}, dialogs, "/prog") {
    timers.onTimePassed = [this](std::int64_t ms) { clock.advanceSeconds(double(ms) / 1000); };
    if (!portSetting.empty()) put("riviriro.inf", portSetting);
  }
  // The start procedure through its three seconds; false when the program ended.
  bool started() {
    win.start();
    timers.advance(3000);
    return !win.ended();
  }

  ports::fake::FakeMainView view;
  ports::fake::ScriptedMessageBox box;
  ports::fake::MemoryFileSystem fs{"/prog"};
  ports::fake::FakeClock clock;
  ports::fake::FakeTimerHub timers;
  ports::fake::FakeSerialPort port;
  ports::fake::FakeDialogs dialogs;
  app::MainWindow win;

  std::string file(const std::string& name) { return fs.files.at("/prog/" + name); }
  void put(const std::string& name, const std::string& content) {
    fs.files["/prog/" + name] = content;
  }
};

}  // namespace kestrand::testing
