#pragma once
// One program run in named parts, wired once, and its load steps. The desktop window, the
// headless receiver, kestrand-cli's reading commands and the tests' rigs all build on it, so
// they run the very same start-up, link, list and formats.

#include <functional>
#include <string>

#include "app/document.h"
#include "app/files.h"
#include "app/link_controller.h"
#include "app/main_view.h"
#include "app/presenter.h"
#include "core/error.h"
#include "core/messages.h"
#include "ports/clock.h"
#include "ports/file_system.h"
#include "ports/message_box.h"
#include "ports/serial_port.h"
#include "ports/timer.h"
#include "store/probe_table.h"

namespace kestrand::app {

// The platform services: the realisations chosen by an executable's main (or a test) and handed
// in.
struct Platform {
  ports::MainView& view;
  ports::MessageBox& box;
  ports::FileSystem& fs;
  ports::Clock& clock;
  ports::TimerFactory& timers;
  ports::SerialPort& port;
};

// How a front end runs the load steps.
struct LoadPlan {
  std::function<void()> openPort;  // the port step
  bool listFiles = true;           // search the data directory and list its raw data files
  // An error that escapes a step: true runs the step again, false ends the load. Without it
  // the error is thrown to the caller.
  std::function<bool(const Error&)> failed;
};

// The parts an upload goes through: the platform services, the tables they share, the presenter,
// the files and the link, with the load steps they take. The program adds the document on
// display; the receive fuzzer builds this side alone.
class ReceiveSide {
 public:
  ReceiveSide(Platform platform, std::string dataPath);
  ReceiveSide(const ReceiveSide&) = delete;
  ReceiveSide& operator=(const ReceiveSide&) = delete;

  // The load steps without the grid's start layout (there is no grid on this side).
  bool load(const LoadPlan& plan) { return runLoad(plan, {}); }
  // Sets the start values of the run's state.
  void initialize_global_vars();

  Platform services;
  const MessageCatalogue messages;
  store::ProbeTable probes;  // filled by the load
  Presenter present;
  Files files;
  LinkController link;

 protected:
  // The load steps in their order: the data path label, the port, the date and time formats,
  // the probe table, the start values, the file list, and `gridLayout` (the grid's start
  // layout). False when the plan's failure handling ended the load.
  bool runLoad(const LoadPlan& plan, const std::function<void()>& gridLayout);
};

class Program : public ReceiveSide {
 public:
  Program(Platform platform, std::string dataPath);

  // Every load step, the grid's start layout last.
  bool load(const LoadPlan& plan) {
    return runLoad(plan, [this] { doc.UpdateDataTable2(); });
  }

  Document doc;
};

}  // namespace kestrand::app
