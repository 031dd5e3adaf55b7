#pragma once
// An in-memory file system for tests: files are byte strings by path, with what was synced. A
// path can refuse creation, syncing, removal or listing; a replacement can fail at a chosen step;
// bytes read are counted. `freeBytes`, the disk's free space shared by all files: a longer write
// writes the prefix that fits, then throws; cutting a file back gives its bytes back.

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "ports/file_system.h"

namespace kestrand::ports::fake {

class MemoryFileSystem : public FileSystem {
 public:
  explicit MemoryFileSystem(std::string programDir = "/prog") : dir_(std::move(programDir)) {}
  std::string programDirectory() const override { return dir_; }
  std::vector<std::string> list(const std::string& dir, const std::string& pattern) const override;
  bool exists(const std::string& path) const override { return files.count(path) > 0; }
  bool isRegularFile(const std::string& path) const override { return exists(path); }
  std::uint64_t size(const std::string& path) const override;
  std::string readHead(const std::string& path, std::size_t maxBytes) const override;
  // Through a temporary file beside `path`, as the real one: created, written, synced, renamed.
  void writeAll(const std::string& path, std::string_view content) override;
  // A name is its own file here (no links): its identity is the name's hash.
  std::optional<FileIdentity> identity(const std::string& path) const override {
    if (!exists(path)) return std::nullopt;
    return FileIdentity{1, std::hash<std::string>{}(path)};
  }
  std::unique_ptr<WritableFile> create(const std::string& path) override;
  void remove(const std::string& path) override;
  void moveInto(const std::string& path, const std::string& dir) override;
  std::unique_ptr<FileLock> lock(const std::string& path) override;

  // Content of `path` as synced to stable storage (what survives a power failure).
  std::string durable(const std::string& path) const;

  std::map<std::string, std::string> files;
  std::map<std::string, std::string> synced;
  std::set<std::string> refuseCreate;
  std::set<std::string> refuseSync;
  std::set<std::string> refuseRemove;
  std::set<std::string> refuseList;  // directories that cannot be listed
  enum class Step { kNone, kCreate, kWrite, kSync, kRename };
  Step failReplaceAt = Step::kNone;  // writeAll fails there (a write after half the bytes)
  static constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t freeBytes = kUnlimited;
  mutable std::uint64_t bytesRead = 0;  // by readAll and readHead
  int openFiles = 0;

 private:
  std::string dir_;
};

}  // namespace kestrand::ports::fake
