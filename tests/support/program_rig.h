#pragma once
// One program run wired to fakes (window, message box, clock, timers, serial port) over a file
// system of the caller's choosing, loaded as at start-up with "COM1" as its port and no file
// list. Shared by the tests, the fuzzer and the benchmarks.

#include <string>

#include "app/program.h"
#include "platform/fake/fake_timers.h"
#include "platform/fake/fakes.h"

namespace kestrand::testing {

struct ProgramRig {
  ProgramRig(platform::FileSystem& files, const std::string& dataDir)
      : prog(app::Platform{view, box, files, clock, timers, port}, dataDir) {
    prog.load(
        {.openPort = [this] { prog.link.openPort("COM1"); }, .listFiles = false, .failed = {}});
  }

  platform::fake::FakeMainView view;
  platform::fake::ScriptedMessageBox box;
  platform::fake::FakeClock clock;
  platform::fake::FakeTimerHub timers;
  platform::fake::FakeSerialPort port;
  app::Program prog;
};

}  // namespace kestrand::testing
