#include "cli/drawing_program.h"

#include <dlfcn.h>
#include <unistd.h>

#include <iostream>
#include <string>

namespace kestrand::cli {
namespace {

// The folder of the running program, found through the kernel (argv[0] may be a bare name).
std::string programFolder() {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) return ".";
  path.resize(static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/'));
}

}  // namespace

int runDrawingProgram(int argc, char** argv) {
  const std::string folder = programFolder();
  const std::string places[] = {folder + "/kestrand-cli-draw.so",
                                folder + "/../lib/kestrand-upload/kestrand-cli-draw.so"};
  std::string why = places[1] + ": not found";
  for (const std::string& place : places) {
    if (::access(place.c_str(), R_OK) != 0) continue;
    // Its own copies of the program's code stay its own (RTLD_LOCAL); only the entry is shared.
    void* half = ::dlopen(place.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (half == nullptr) {
      why = ::dlerror();
      continue;
    }
    using Entry = int (*)(int, char**);
    if (auto entry = reinterpret_cast<Entry>(::dlsym(half, "kestrand_cli_draw")))
      return entry(argc, argv);
    why = place + ": no entry kestrand_cli_draw";
  }
  std::cerr << "kestrand-cli: its drawing half cannot be loaded: " << why << "\n";
  return 1;
}

}  // namespace kestrand::cli
