#pragma once
// The desktop program's start procedure and the policy of its load: the splash window for three
// seconds by the clock, then the main window shown and loaded while the splash is still up, then
// the splash closed. An error that escapes a load step brings the port dialog (a port in use, a
// file not found) and runs the step again, or ends the program after "Error on Open!  ".

#include <functional>
#include <memory>
#include <string>

#include "app/main_view.h"
#include "app/program.h"
#include "ports/timer.h"

namespace kestrand::app {

std::string splashText();  // "Version 3.2.15"

class StartUp {
 public:
  // `unload`: the main window's close step, which ends the program after a failed load.
  StartUp(Program& prog, ports::Dialogs& dialogs, std::function<void()> unload);

  // Shows the splash window and arms its timer.
  void start();
  // The load steps in order, with the load-time failure handling. False when the program ended.
  bool loadWindow();

 private:
  // Shows the main window once three seconds have passed by the clock, or arms itself again for
  // the time still to run.
  void splashTick();

  Program& prog_;
  ports::Dialogs& dialogs_;
  std::function<void()> unload_;
  std::unique_ptr<ports::Timer> splashTimer_;
  double splashStart_ = 0.0;
};

}  // namespace kestrand::app
