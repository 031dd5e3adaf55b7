// kestrand-meter-sim: plays the meter on a serial line for the upload program.

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "tools/meter_sim/serial_line.h"
#include "tools/meter_sim/sim.h"

namespace {

extern "C" void onSignal(int) {
  kestrand::meter_sim::requestStop();
}

void installSignalHandlers() {
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no restart: waits return early and the upload stops
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
  installSignalHandlers();
  const std::vector<std::string> args(argv + 1, argv + argc);
  return kestrand::meter_sim::runSim(args, std::cout, std::cerr);
}
