#include "adapters/posix/data_directory.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace kestrand::adapters::posix {
namespace {

// True for the directories where package managers put programs.
bool isSystemProgramDirectory(const std::string& dir) {
  static constexpr std::array<std::string_view, 8> kProgramDirs = {
      "/bin",           "/sbin",           "/usr/bin",   "/usr/sbin",
      "/usr/local/bin", "/usr/local/sbin", "/usr/games", "/usr/local/games"};
  std::string_view d = dir;
  while (d.size() > 1 && d.back() == '/') d.remove_suffix(1);
  for (auto p : kProgramDirs)
    if (d == p) return true;
  // Add-on packages: /opt/NAME/bin.
  constexpr std::string_view kOpt = "/opt/";
  constexpr std::string_view kBin = "/bin";
  if (d.size() > kOpt.size() + kBin.size() && d.substr(0, kOpt.size()) == kOpt &&
      d.substr(d.size() - kBin.size()) == kBin) {
    auto name = d.substr(kOpt.size(), d.size() - kOpt.size() - kBin.size());
    return name.find('/') == std::string_view::npos;
  }
  return false;
}

}  // namespace

std::string chooseDataDirectory(const std::string& exeDir, const DataDirectoryProbe& probe) {
  // A root user may write into /usr/bin, but files there belong to the package manager.
  if (!isSystemProgramDirectory(exeDir) && probe.writable(exeDir)) return exeDir;
  std::string base = probe.env("XDG_DATA_HOME");
  if (base.empty() || base.front() != '/') {  // relative values are ignored by convention
    const std::string home = probe.env("HOME");
    if (home.empty() || home.front() != '/') return exeDir;
    base = (home.size() > 1 && home.back() == '/' ? home : home + "/") + ".local/share";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string dir = base + "/kestrand-upload";
  return probe.makeDirectories(dir) ? dir : exeDir;
}

namespace {

bool makeDirectories(const std::string& dir) {
  for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
    const std::string part = dir.substr(0, slash);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string homeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  const passwd* pw = ::getpwuid(::getuid());
  return pw && pw->pw_dir ? pw->pw_dir : "";
}

}  // namespace

DataDirectoryProbe systemDataDirectoryProbe() {
  return {[](const std::string& name) -> std::string {
            if (name == "HOME") return homeDirectory();
            const char* v = std::getenv(name.c_str());
            return v ? v : "";
          },
          [](const std::string& dir) { return ::access(dir.c_str(), W_OK | X_OK) == 0; },
          makeDirectories};
}

}  // namespace kestrand::adapters::posix
