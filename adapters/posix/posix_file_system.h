#pragma once
// The file system of a POSIX machine. Raw data files sync with fdatasync; whole files are
// replaced through a synced temporary file.

#include <string>

#include "ports/file_system.h"

namespace kestrand::adapters::posix {

class PosixFileSystem : public ports::FileSystem {
 public:
  // `programDir` empty: the directory of the running executable.
  explicit PosixFileSystem(std::string programDir = {});
  std::string programDirectory() const override { return programDir_; }
  std::vector<std::string> list(const std::string& dir, const std::string& pattern) const override;
  bool exists(const std::string& path) const override;
  bool isRegularFile(const std::string& path) const override;
  std::optional<std::string> linkTarget(const std::string& path) const override;
  std::uint64_t size(const std::string& path) const override;
  std::string readHead(const std::string& path, std::size_t maxBytes) const override;
  void readHeadInto(const std::string& path, std::size_t maxBytes,
                    std::string& into) const override;
  void writeAll(const std::string& path, std::string_view content) override;
  std::optional<ports::FileIdentity> identity(const std::string& path) const override;
  std::unique_ptr<ports::WritableFile> create(const std::string& path) override;
  void remove(const std::string& path) override;
  void moveInto(const std::string& path, const std::string& dir) override;
  std::unique_ptr<ports::FileLock> lock(const std::string& path) override;

 private:
  std::string programDir_;
};

// The directory that holds the running executable.
std::string executableDirectory();

// A file-size limit (ulimit -f) makes a write past it fail with EFBIG, handled as a full disk
// is, instead of killing the program with SIGXFSZ. Every program calls this at start, and so
// does every PosixFileSystem.
void ignoreFileSizeSignal();

}  // namespace kestrand::adapters::posix
