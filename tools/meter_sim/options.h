#pragma once
// Command line of kestrand-meter-sim.

#include <string>
#include <vector>

#include "tools/meter_sim/session.h"
#include "tools/meter_sim/upload.h"

namespace kestrand::meter_sim {

struct Options {
  std::string linkPath;    // --link
  std::string devicePath;  // --device
  std::string expectDir;   // --expect-dir
  UploadDescription upload;
  SessionSettings session;
  bool help = false;
};

struct ParsedOptions {
  Options options;
  std::string error;  // empty when the command line is valid
};

// Parses the arguments after the program name.
ParsedOptions parseOptions(const std::vector<std::string>& args);

std::string helpText();

}  // namespace kestrand::meter_sim
