#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kestrand::platform::posix {
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
    default:
      what = std::strerror(err);
  }
  throw Error(kind, what + ": " + path);
}

void syncDirectoryOf(const std::string& path) {
  auto slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // the data itself is synced; an unreadable directory is not an error
  ::fsync(fd);
  ::close(fd);
}

class PosixWritableFile : public WritableFile {
 public:
  PosixWritableFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixWritableFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  void write(std::string_view bytes) override {
    if (fd_ < 0) throw Error(ErrorKind::kIo, "File is closed: " + path_);
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
      ssize_t n = ::write(fd_, p, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        fail(errno, path_);
      }
      p += n;
      left -= static_cast<size_t>(n);
    }
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

PosixFileSystem::PosixFileSystem(std::string programDir)
    : programDir_(programDir.empty() ? executableDirectory() : std::move(programDir)) {
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
    if (!wildcardMatch(pattern, name)) continue;
    struct stat st {};
    if (::stat(joinPath(dir, name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    names.push_back(std::move(name));
  }
  ::closedir(d);
  return names;
}

bool PosixFileSystem::exists(const std::string& path) const {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::uint64_t PosixFileSystem::size(const std::string& path) const {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) fail(errno, path);
  return static_cast<std::uint64_t>(st.st_size);
}

std::string PosixFileSystem::readAll(const std::string& path) const {
  return readHead(path, std::string::npos);
}

std::string PosixFileSystem::readHead(const std::string& path, std::size_t maxBytes) const {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail(errno, path);
  std::string out;
  char buf[65536];
  while (out.size() < maxBytes) {
    const std::size_t want = std::min(sizeof buf, maxBytes - out.size());
    ssize_t n = ::read(fd, buf, want);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      fail(err, path);
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return out;
}

void PosixFileSystem::writeAll(const std::string& path, std::string_view content) {
  auto f = create(path);
  f->write(content);
  f->close();
}

std::unique_ptr<WritableFile> PosixFileSystem::create(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) fail(errno, path);
  return std::make_unique<PosixWritableFile>(fd, path);
}

void PosixFileSystem::remove(const std::string& path) {
  if (::unlink(path.c_str()) != 0) fail(errno, path);
}

void PosixFileSystem::rename(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) fail(errno, to);
  syncDirectoryOf(to);
}

}  // namespace kestrand::platform::posix
