#pragma once
// The whole program: options to upload, line, session, summary and expected files.

#include <ostream>
#include <string>
#include <vector>

namespace kestrand::meter_sim {

inline constexpr int kExitOk = 0;
inline constexpr int kExitProtocol = 1;
inline constexpr int kExitUsage = 2;

// Runs the program on the arguments after its name; returns the exit code. The terminal name
// and the summary go to `out`, errors and warnings to `err`.
int runSim(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Frames longer than this do not fit the receiver's message array.
inline constexpr std::size_t kReceiverFrameLimit = 1025;

}  // namespace kestrand::meter_sim
