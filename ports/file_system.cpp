#include "ports/file_system.h"

namespace kestrand::ports {
namespace {
char fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name) {
  // Iterative matcher with one back-tracking point for the last '*'.
  size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace kestrand::ports

#include "ports/serial_port.h"

namespace kestrand::ports {

std::string comPortDevice(const FileSystem& fs, const std::string& dataDir, int n) {
  const std::string name = "COM" + std::to_string(n);
#ifdef _WIN32
  (void)fs;
  (void)dataDir;
  return name;
#else
  const std::string local = joinPath(dataDir, name);
  // A link that leads nowhere (the adapter unplugged) is still the port the user set up.
  if (fs.exists(local) || fs.linkTarget(local)) return local;
  return "/dev/ttyS" + std::to_string(n - 1);
#endif
}

}  // namespace kestrand::ports
