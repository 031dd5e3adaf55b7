#pragma once
// kestrand-cli run as a whole process in a scratch data directory: its exit status and what it
// printed.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include "tests/pty/process.h"

namespace kestrand::testing {

using Args = std::vector<std::string>;

// How the child process starts: in the data directory, as user nobody, within 300 MB, with
// files of at most 100 bytes.
inline std::string gDir;
inline bool gAsNobody = false, gLimited = false, gFileLimit = false;
inline void childSetup() {
  if (::chdir(gDir.c_str()) != 0) ::_exit(126);
  const rlimit memory{rlim_t{300} << 20, rlim_t{300} << 20}, size{100, 100};
  if (gLimited) ::setrlimit(RLIMIT_AS, &memory);
  if (gFileLimit) ::setrlimit(RLIMIT_FSIZE, &size);
  if (gAsNobody && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(126);
}

struct CliRig : ::testing::Test {
  CliRig() {
    gDir = d.path;
    gAsNobody = gLimited = gFileLimit = false;
  }
  void put(const std::string& name, const std::string& content) const {
    std::ofstream(d / name, std::ios::binary) << content;
  }
  // Runs kestrand-cli with `args` in the data directory: its exit status (-1 after five minutes),
  // what it printed in `out` and `err`.
  // With `redirect`, the standard output is the shell's redirection's ("2>&1 >/dev/full").
  int run(Args args, const Args& env = {}, const std::string& redirect = {}) {
    args.insert(args.begin(), KESTRAND_CLI);
    if (!redirect.empty())
      args.insert(args.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" " + redirect});
    Process p(args, stdoutTo.empty() ? logs / "out" : stdoutTo, logs / "err", env, childSetup);
    // A guard against a hang only: the sanitizer build on a busy machine is slow.
    const int status = p.wait(std::chrono::minutes(5));
    out = stdoutTo.empty() ? slurp(logs / "out") : "";
    err = slurp(logs / "err");
    return status;
  }
  const TempDir d, logs;
  std::string out, err;
  std::string stdoutTo;  // a terminal, say; logs/out when empty
};

}  // namespace kestrand::testing
