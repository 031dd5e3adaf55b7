#pragma once
// The file system as the logic uses it. Paths are Windows-1252 byte strings; every failure is
// thrown as kestrand::Error with a description fit for a message box.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"

namespace kestrand::platform {

// A file open for writing. Lines reach the operating system on write(); sync() returns only
// when everything written so far is on stable storage. A write that fails part-way (a full
// disk, a file-size limit) may leave a prefix of its bytes in the file before it throws.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  virtual void write(std::string_view bytes) = 0;
  virtual void sync() = 0;
  // Cuts the file back to its first `size` bytes, puts the next write there and syncs the
  // shortened file, so that what a failed write left behind is gone for good.
  virtual void truncate(std::uint64_t size) = 0;
  virtual void close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The directory that holds the program, without a trailing separator.
  virtual std::string programDirectory() const = 0;
  // Ordinary, non-hidden files of `dir` whose names match `pattern` ('*' and '?' wildcards)
  // without regard to case, in the directory's own order.
  virtual std::vector<std::string> list(const std::string& dir,
                                        const std::string& pattern) const = 0;
  virtual bool exists(const std::string& path) const = 0;
  virtual std::uint64_t size(const std::string& path) const = 0;
  virtual std::string readAll(const std::string& path) const = 0;
  // The first `maxBytes` bytes of the file (all of it when it is shorter).
  virtual std::string readHead(const std::string& path, std::size_t maxBytes) const = 0;
  // Creates or replaces the file with `content`.
  virtual void writeAll(const std::string& path, std::string_view content) = 0;
  // Creates or replaces the file and opens it for writing.
  virtual std::unique_ptr<WritableFile> create(const std::string& path) = 0;
  virtual void remove(const std::string& path) = 0;
  // Puts the file `from` in the place of `to` in one step (replacing a file `to`), and makes
  // the change durable: a reader sees the old file or the new one, never a part of either.
  virtual void rename(const std::string& from, const std::string& to) = 0;
};

// A bare file name placed in a directory.
inline std::string joinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

// Case-insensitive wildcard match ('*' any run, '?' one character), ASCII letters only folded.
bool wildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace kestrand::platform
