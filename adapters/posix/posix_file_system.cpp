#include "adapters/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace kestrand::adapters::posix {
namespace {

[[noreturn]] void fail(int err, const std::string& path) {
  ErrorKind kind = ErrorKind::kIo;
  std::string what;
  switch (err) {
    case ENOENT:
      kind = ErrorKind::kFileNotFound;
      what = "File not found";
      break;
    case ENOTDIR:
      kind = ErrorKind::kPathNotFound;
      what = "Path not found";
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      kind = ErrorKind::kPermissionDenied;
      what = "Permission denied";
      break;
    case ENXIO:
      what = "Nothing reads from the FIFO";
      break;
    default:
      what = std::strerror(err);
  }
  throw Error(kind, what + ": " + path);
}

// A directory, a device, a FIFO or a socket is no file to read or replace.
void refuseUnlessRegular(const struct stat& st, const std::string& path) {
  if (S_ISREG(st.st_mode)) return;
  throw Error(ErrorKind::kIo,
              (S_ISDIR(st.st_mode) ? "Is a directory: " : "Not a regular file: ") + path);
}

std::string directoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

void syncDirectoryOf(const std::string& path) {
  int fd = ::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // the data itself is synced; an unreadable directory is not an error
  ::fsync(fd);
  ::close(fd);
}

void writeFully(int fd, std::string_view bytes, const std::string& path) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno, path);
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

// 1 or 2 when `path` names the program's standard output or error, else -1. Written to as they
// are: resolving them would find a terminal, a pipe, or a file the shell holds open.
int standardStream(const std::string& path) {
  if (path == "/dev/stdout" || path == "/dev/fd/1") return 1;
  if (path == "/dev/stderr" || path == "/dev/fd/2") return 2;
  return -1;
}

// The path a chain of symbolic links ends at (a relative link is taken from its own
// directory); `path` itself when it is no link. The end need not exist: writing through a
// dangling link creates its target.
std::string followLinks(const std::string& path) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    char buf[4096];
    const ssize_t n = ::readlink(at.c_str(), buf, sizeof buf);
    if (n < 0) fail(errno, path);
    if (static_cast<std::size_t>(n) == sizeof buf) fail(ENAMETOOLONG, path);
    std::string next(buf, static_cast<std::size_t>(n));
    at = next.starts_with('/') ? next : ports::joinPath(directoryOf(at), next);
  }
  fail(ELOOP, path);
}

// Puts `content` in the place of `target` (which `old` describes when it exists) through a
// hidden temporary file beside it; errors name `shown`, the path the caller gave.
void replaceFile(const std::string& target, std::string_view content, const struct stat* old,
                 const std::string& shown) {
  const auto slash = target.rfind('/');
  const std::string name = target.substr(slash == std::string::npos ? 0 : slash + 1);
  // Hidden, so that no list takes it for a data file; short enough for any name.
  std::string temporary =
      target.substr(0, target.size() - name.size()) + "." + name.substr(0, 200) + ".XXXXXX";
  int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) fail(errno, shown);
  try {
    if (old) {
      // The owner first: a change of owner clears the set-user-ID bits the mode then restores.
      // Only root may give a file away; anyone may keep at least a group they belong to.
      if (::fchown(fd, old->st_uid, old->st_gid) != 0) (void)::fchown(fd, -1, old->st_gid);
      if (::fchmod(fd, old->st_mode & 07777) != 0) fail(errno, shown);
    } else {
      const mode_t mask = ::umask(0);  // the mask is read by setting it (one thread: no race)
      ::umask(mask);
      if (::fchmod(fd, 0666 & ~mask) != 0) fail(errno, shown);
    }
    writeFully(fd, content, shown);
    if (::fsync(fd) != 0) fail(errno, shown);
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0) fail(errno, shown);
    if (::rename(temporary.c_str(), target.c_str()) != 0) fail(errno, shown);
  } catch (const Error&) {
    if (fd >= 0) ::close(fd);
    ::unlink(temporary.c_str());
    throw;
  }
  syncDirectoryOf(target);
}

// The regular file `path` opened for reading (`st` describes it). Looked at before it is opened:
// opening a device can have effects of its own, and a FIFO would wait for a writer. O_NONBLOCK
// and fstat close the gap to a path swapped in between.
int openRegular(const std::string& path, struct stat& st) {
  if (::stat(path.c_str(), &st) != 0) fail(errno, path);
  refuseUnlessRegular(st, path);
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) fail(errno, path);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    refuseUnlessRegular(st, path);
  }
  return fd;
}

class PosixWritableFile : public ports::WritableFile {
 public:
  PosixWritableFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixWritableFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  void write(std::string_view bytes) override {
    if (fd_ < 0) throw Error(ErrorKind::kIo, "File is closed: " + path_);
    writeFully(fd_, bytes, path_);
  }
  void sync() override {
    if (fd_ < 0) return;
    if (::fdatasync(fd_) != 0) fail(errno, path_);
    if (!entrySynced_) {
      // A new file survives a power failure only when its directory entry is on disk too.
      syncDirectoryOf(path_);
      entrySynced_ = true;
    }
  }
  void truncate(std::uint64_t size) override {
    if (fd_ < 0) throw Error(ErrorKind::kIo, "File is closed: " + path_);
    const auto at = static_cast<off_t>(size);
    if (::ftruncate(fd_, at) != 0 || ::lseek(fd_, at, SEEK_SET) != at || ::fdatasync(fd_) != 0)
      fail(errno, path_);
  }
  void close() override {
    if (fd_ < 0) return;
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail(errno, path_);
  }

 private:
  int fd_;
  std::string path_;
  bool entrySynced_ = false;
};

}  // namespace

std::string executableDirectory() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void ignoreFileSizeSignal() {
  std::signal(SIGXFSZ, SIG_IGN);
}

PosixFileSystem::PosixFileSystem(std::string programDir)
    : programDir_(programDir.empty() ? executableDirectory() : std::move(programDir)) {
  ignoreFileSizeSignal();
  while (programDir_.size() > 1 && programDir_.back() == '/') programDir_.pop_back();
}

std::vector<std::string> PosixFileSystem::list(const std::string& dir,
                                               const std::string& pattern) const {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.c_str());
  if (!d) fail(errno, dir);
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name.empty() || name[0] == '.') continue;  // hidden files and . ..
    if (!ports::wildcardMatch(pattern, name)) continue;
    struct stat st {};
    if (::stat(ports::joinPath(dir, name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    names.push_back(std::move(name));
  }
  ::closedir(d);
  return names;
}

bool PosixFileSystem::isRegularFile(const std::string& path) const {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PosixFileSystem::exists(const std::string& path) const {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::optional<std::string> PosixFileSystem::linkTarget(const std::string& path) const {
  std::string target(4096, '\0');
  const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
  if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return std::nullopt;
  target.resize(static_cast<std::size_t>(n));
  return target;
}

std::uint64_t PosixFileSystem::size(const std::string& path) const {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) fail(errno, path);
  return static_cast<std::uint64_t>(st.st_size);
}

std::string PosixFileSystem::readHead(const std::string& path, std::size_t maxBytes) const {
  std::string out;
  readHeadInto(path, maxBytes, out);
  return out;
}

void PosixFileSystem::readHeadInto(const std::string& path, std::size_t maxBytes,
                                   std::string& into) const {
  struct stat st {};
  const int fd = openRegular(path, st);
  // Straight into `into`, sized for the file and a byte more (to see its end at once); a file
  // that grows meanwhile grows it.
  into.resize(std::min(maxBytes, static_cast<std::size_t>(st.st_size) + 1));
  std::size_t size = 0;
  while (size < maxBytes) {
    if (size == into.size())
      into.resize(std::min(maxBytes, std::max<std::size_t>(2 * size, 65536)));
    const ssize_t n = ::read(fd, into.data() + size, into.size() - size);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      into.clear();
      fail(err, path);
    }
    if (n == 0) break;
    size += static_cast<std::size_t>(n);
  }
  ::close(fd);
  into.resize(size);
}

// Written here with POSIX calls rather than QSaveFile: this file system serves Qt-free code (the
// logic and its tests), and QSaveFile neither keeps the owner, nor syncs the directory, nor
// refuses a device; its direct-write fallback would truncate the old file in place, which is
// what a failure must never do.
void PosixFileSystem::writeAll(const std::string& path, std::string_view content) {
  if (const int stream = standardStream(path); stream >= 0) {
    writeFully(stream, content, path);
    return;
  }
  const std::string target = followLinks(path);
  struct stat st {};
  const bool existed = ::stat(target.c_str(), &st) == 0;
  if (!existed && errno != ENOENT) fail(errno, path);
  if (existed && S_ISFIFO(st.st_mode)) {
    // Without a reader the open fails at once (ENXIO) instead of waiting for one.
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fail(errno, path);
    try {
      if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) fail(errno, path);
      writeFully(fd, content, path);
    } catch (const Error&) {
      ::close(fd);
      throw;
    }
    ::close(fd);
    return;
  }
  if (existed) refuseUnlessRegular(st, path);
  // A rename could replace a file that may not be written; refuse as writing in place would.
  if (existed && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) fail(errno, path);
  replaceFile(target, content, existed ? &st : nullptr, path);
}

std::optional<ports::FileIdentity> PosixFileSystem::identity(const std::string& path) const {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return ports::FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                             static_cast<std::uint64_t>(st.st_ino)};
}

std::unique_ptr<ports::WritableFile> PosixFileSystem::create(const std::string& path) {
  // Nothing but a regular file is opened, let alone emptied: a link is not followed (out of the
  // data directory), and a FIFO or a device neither blocks the open nor is written to.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    throw Error(ErrorKind::kIo, "Not a regular file: " + path);
  const int fd = ::open(path.c_str(),
                        O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
  if (fd < 0 && (errno == ELOOP || errno == ENXIO || errno == EISDIR))
    throw Error(ErrorKind::kIo, "Not a regular file: " + path);
  if (fd < 0) fail(errno, path);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    refuseUnlessRegular(st, path);
  }
  if (::ftruncate(fd, 0) != 0) {
    const int err = errno;
    ::close(fd);
    fail(err, path);
  }
  return std::make_unique<PosixWritableFile>(fd, path);
}

void PosixFileSystem::remove(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
    fail(errno, path);
  if (::unlink(path.c_str()) != 0) fail(errno, path);
}

namespace {
void makeDirectories(const std::string& dir) {
  if (dir.empty() || dir == "/" || dir == ".") return;
  struct stat st {};
  if (::stat(dir.c_str(), &st) == 0) {
    if (!S_ISDIR(st.st_mode)) throw Error(ErrorKind::kIo, "Not a directory: " + dir);
    return;
  }
  makeDirectories(directoryOf(dir));
  if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) fail(errno, dir);
  syncDirectoryOf(dir);
}
}  // namespace

void PosixFileSystem::moveInto(const std::string& path, const std::string& dir) {
  makeDirectories(dir);
  const auto slash = path.rfind('/');
  const std::string target =
      ports::joinPath(dir, slash == std::string::npos ? path : path.substr(slash + 1));
  // A hard link then the old name's removal: unlike rename(), link() never replaces a file that
  // is already there.
  if (::link(path.c_str(), target.c_str()) != 0) fail(errno, target);
  if (::unlink(path.c_str()) != 0) {
    const int err = errno;
    ::unlink(target.c_str());
    fail(err, path);
  }
  syncDirectoryOf(target);
  syncDirectoryOf(path);
}

namespace {
class PosixFileLock : public ports::FileLock {
 public:
  explicit PosixFileLock(int fd) : fd_(fd) {}
  ~PosixFileLock() override { ::close(fd_); }  // closing releases the lock

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<ports::FileLock> PosixFileSystem::lock(const std::string& path) {
  struct stat st {};
  const int fd = openRegular(path, st);
  int locked = 0;
  while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (locked != 0) {
    const int err = errno;
    ::close(fd);
    fail(err, path);
  }
  return std::make_unique<PosixFileLock>(fd);
}

}  // namespace kestrand::adapters::posix
