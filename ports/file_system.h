#pragma once
// The file system as the logic uses it. Paths are Windows-1252 byte strings; every failure is
// thrown as kestrand::Error with a description fit for a message box.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"

namespace kestrand::ports {

// A file as the file system knows it, whatever names it has.
struct FileIdentity {
  std::uint64_t device = 0, node = 0;
  bool operator==(const FileIdentity&) const = default;
};

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

// An exclusive lock on a file, held until it is destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// A one-line settings file is read no further than this, whatever the file holds.
inline constexpr std::size_t kSettingsFileBytes = 256;
// No file is read whole beyond this: far more than any file of the program can usefully hold,
// and far less than the memory a run may take.
inline constexpr std::size_t kReadAllBytes = std::size_t{32} << 20;

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
  // True when `path` itself is a regular file: not a link to one, a directory, a device or a FIFO.
  virtual bool isRegularFile(const std::string& path) const = 0;
  // What the symbolic link `path` points to, as written in the link, also when it leads
  // nowhere; nullopt when `path` is no symbolic link.
  virtual std::optional<std::string> linkTarget(const std::string&) const { return std::nullopt; }
  virtual std::uint64_t size(const std::string& path) const = 0;
  // The first `maxBytes` bytes of the regular file `path` (all of it when it is shorter).
  // Anything else the path names (a directory, a device, a FIFO) is refused at once, without
  // waiting for a writer. Reading never needs write access.
  virtual std::string readHead(const std::string& path, std::size_t maxBytes) const = 0;
  // The same into `into`, whose room is used again: a reader of many files in turn need not
  // take fresh memory, and fault it in, for every file.
  virtual void readHeadInto(const std::string& path, std::size_t maxBytes,
                            std::string& into) const {
    into = readHead(path, maxBytes);
  }
  // The file, or its first kReadAllBytes bytes.
  std::string readAll(const std::string& path) const { return readHead(path, kReadAllBytes); }
  // Replaces the file `path` with `content`, the one way every output file is written: into a
  // temporary file beside it, synced, then renamed into its place and the directory synced, so
  // that a failure at any step leaves the old file byte for byte and no temporary file behind.
  // A symbolic link is followed and kept (its target is replaced); an existing file keeps its
  // mode and, where allowed, its owner, and must be writable. Standard output and error
  // (/dev/stdout, /dev/stderr, /dev/fd/1, /dev/fd/2) and a FIFO are written through; any other
  // target that is not a regular file (a directory, a device) is refused and left as it is.
  virtual void writeAll(const std::string& path, std::string_view content) = 0;
  // What tells the file `path` names (after links) from every other file; nullopt when there
  // is no such file.
  virtual std::optional<FileIdentity> identity(const std::string& path) const = 0;
  // True when `a` and `b` name one existing file (after links), so a command can refuse to
  // write over the file it reads.
  bool sameFile(const std::string& a, const std::string& b) const {
    const auto file = identity(a);
    return file && file == identity(b);
  }
  // Creates or replaces a raw data file and opens it for writing (the upload's own file, which
  // grows line by line and is synced as it goes). Only a regular file is replaced: a symbolic
  // link, a FIFO, a directory or a device at `path` is refused and left as it is, without
  // waiting on it.
  virtual std::unique_ptr<WritableFile> create(const std::string& path) = 0;
  // Removes the file `path`; a file the user may not write is refused, as writing it would be.
  virtual void remove(const std::string& path) = 0;
  // Moves the file `path` into the folder `dir` (created first, with its parents, when missing),
  // under its own name, by renaming: the bytes are never copied. A file of that name already in
  // `dir` is never replaced; the move is then refused. Both directories are synced.
  virtual void moveInto(const std::string& path, const std::string& dir) = 0;
  // Takes the lock (flock) on the existing regular file `path`, waiting while another process
  // holds it, so that two programs changing what belongs to the file take turns. The file is
  // opened for reading only; a missing file throws kFileNotFound.
  virtual std::unique_ptr<FileLock> lock(const std::string& path) = 0;
};

// A bare file name placed in a directory.
inline std::string joinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

// The bare name at the end of a path.
inline std::string fileNameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);  // all of it when there is no slash
}
// The directory a path names its file in: "." for a bare name, "/" for one at the root.
inline std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}
// A path without the extension of its file's name (".dat"); a name starting with its only dot
// has none.
inline std::string withoutExtension(const std::string& path) {
  const auto slash = path.rfind('/');
  const auto dot = path.rfind('.');
  const bool hasExtension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return hasExtension ? path.substr(0, dot) : path;
}

// Case-insensitive wildcard match ('*' any run, '?' one character), ASCII letters only folded.
bool wildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace kestrand::ports
