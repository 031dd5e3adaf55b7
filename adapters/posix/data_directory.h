#pragma once
// Where the desktop program keeps its raw data files, settings and COMn links.

#include <functional>
#include <string>

namespace kestrand::adapters::posix {

// What the choice asks of the machine; the real answers come from systemDataDirectoryProbe().
struct DataDirectoryProbe {
  std::function<std::string(const std::string& name)> env;      // "" when unset
  std::function<bool(const std::string& dir)> writable;         // may we create files in dir
  std::function<bool(const std::string& dir)> makeDirectories;  // mkdir -p; true when dir exists
};

// The executable's directory when it is the user's own copy (writable and not a system program
// directory such as /usr/bin or /opt/NAME/bin); otherwise $XDG_DATA_HOME/kestrand-upload, or
// $HOME/.local/share/kestrand-upload, created when missing. Falls back to `exeDir` when no home
// directory is known or the directory cannot be made, so the first file access reports why.
std::string chooseDataDirectory(const std::string& exeDir, const DataDirectoryProbe& probe);

DataDirectoryProbe systemDataDirectoryProbe();

}  // namespace kestrand::adapters::posix
