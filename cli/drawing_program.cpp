#include "cli/drawing_program.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

namespace kestrand::cli {
namespace {

char** commandLine = nullptr;

// The folder of the running program, found through the kernel (argv[0] may be a bare name).
std::string programFolder() {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) return ".";
  path.resize(static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/'));
}

}  // namespace

void keepCommandLine(char** argv) {
  commandLine = argv;
}

int runDrawingProgram() {
  const std::string folder = programFolder();
  const std::string places[] = {folder + "/kestrand-cli-draw",
                                folder + "/../libexec/kestrand-upload/kestrand-cli-draw"};
  std::cout.flush();
  std::cerr.flush();
  int error = ENOENT;
  std::string tried = places[1];
  for (const std::string& place : places) {
    if (::access(place.c_str(), X_OK) != 0) continue;
    ::execv(place.c_str(), commandLine);
    error = errno;  // execv returns only when it failed
    tried = place;
  }
  std::cerr << "kestrand-cli: the drawing program " << tried
            << " cannot be run: " << std::strerror(error) << "\n";
  return 1;
}

}  // namespace kestrand::cli
