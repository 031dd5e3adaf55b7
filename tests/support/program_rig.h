#pragma once
// A program run wired to fakes (window, message box, clock, timers, serial port) over a file
// system of the caller's choosing, loaded as at start-up with "COM1" as its port and no file
// list: the whole program, or only the side an upload goes through (no document, so no sample
// table to build). Shared by the tests, the fuzzer and the benchmarks.

#include <string>

#include "app/program.h"
#include "tests/fakes/fake_timers.h"
#include "tests/fakes/fakes.h"

namespace kestrand::testing {

template <typename Program>
struct Rig {
  Rig(ports::FileSystem& files, const std::string& dataDir)
      : prog(app::Platform{view, box, files, clock, timers, port}, dataDir) {
    prog.load(
        {.openPort = [this] { prog.link.openPort("COM1"); }, .listFiles = false, .failed = {}});
  }

  ports::fake::FakeMainView view;
  ports::fake::ScriptedMessageBox box;
  ports::fake::FakeClock clock;
  ports::fake::FakeTimerHub timers;
  ports::fake::FakeSerialPort port;
  Program prog;
};

using ProgramRig = Rig<app::Program>;
using ReceiveRig = Rig<app::ReceiveSide>;

}  // namespace kestrand::testing
