#include "tools/meter_sim/serial_line.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kestrand::meter_sim {

namespace {

volatile std::sig_atomic_t gStop = 0;

std::runtime_error systemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

void makeRaw(int fd, const std::string& name) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) throw systemError("cannot read the settings of " + name);
  cfmakeraw(&t);
  t.c_cflag &= static_cast<tcflag_t>(~(CSIZE | PARENB | CSTOPB | CRTSCTS));
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (cfsetispeed(&t, B9600) != 0 || cfsetospeed(&t, B9600) != 0 ||
      tcsetattr(fd, TCSANOW, &t) != 0) {
    throw systemError("cannot set 9600 8N1 raw mode on " + name);
  }
}

void setNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
    throw systemError("cannot make the line non-blocking");
  }
  fcntl(fd, F_SETFD, FD_CLOEXEC);
}

int remainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

void requestStop() noexcept {
  gStop = 1;
}
bool stopRequested() noexcept {
  return gStop != 0;
}

SerialLine SerialLine::openPty(const std::string& linkPath) {
  SerialLine line;
  int master = -1;
  int slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
    throw systemError("cannot create a pseudo-terminal");
  }
  line.fd_ = master;
  line.keepOpenFd_ = slave;
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  std::vector<char> name(256);
  if (ttyname_r(slave, name.data(), name.size()) != 0) {
    throw std::runtime_error("cannot name the pseudo-terminal");
  }
  line.deviceName_ = name.data();
  makeRaw(slave, line.deviceName_);
  setNonBlocking(master);

  struct stat st {};
  if (lstat(linkPath.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      throw std::runtime_error(linkPath + " exists and is not a symbolic link; not replaced");
    }
    if (unlink(linkPath.c_str()) != 0) throw systemError("cannot replace " + linkPath);
  }
  if (symlink(line.deviceName_.c_str(), linkPath.c_str()) != 0) {
    throw systemError("cannot create the link " + linkPath);
  }
  line.linkPath_ = linkPath;
  return line;
}

SerialLine SerialLine::openDevice(const std::string& path) {
  SerialLine line;
  line.fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (line.fd_ < 0) throw systemError("cannot open " + path);
  if (!isatty(line.fd_)) throw std::runtime_error(path + " is not a terminal");
  line.deviceName_ = path;
  makeRaw(line.fd_, path);
  tcflush(line.fd_, TCIOFLUSH);
  return line;
}

SerialLine::SerialLine(SerialLine&& other) noexcept
    : fd_(other.fd_),
      keepOpenFd_(other.keepOpenFd_),
      deviceName_(std::move(other.deviceName_)),
      linkPath_(std::move(other.linkPath_)) {
  other.fd_ = -1;
  other.keepOpenFd_ = -1;
  other.linkPath_.clear();
}

SerialLine::~SerialLine() {
  if (!linkPath_.empty()) {
    // Remove the link only while it still points at this line.
    std::vector<char> target(512);
    const ssize_t n = readlink(linkPath_.c_str(), target.data(), target.size() - 1);
    if (n >= 0 && std::string(target.data(), static_cast<std::size_t>(n)) == deviceName_) {
      unlink(linkPath_.c_str());
    }
  }
  if (fd_ >= 0) ::close(fd_);
  if (keepOpenFd_ >= 0) ::close(keepOpenFd_);
}

bool SerialLine::write(std::span<const std::uint8_t> bytes, bool paced,
                       std::chrono::milliseconds timeout) {
  const auto begin = std::chrono::steady_clock::now();
  std::size_t done = 0;
  while (done < bytes.size()) {
    if (stopRequested()) return false;
    std::size_t count = bytes.size() - done;
    if (paced) {
      std::this_thread::sleep_until(begin + kCharacterTime * static_cast<long>(done));
      count = 1;
    }
    const ssize_t n = ::write(fd_, bytes.data() + done, count);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
    // The line is full: wait until it takes more, but not for ever.
    pollfd p{fd_, POLLOUT, 0};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const int r = ::poll(&p, 1, remainingMs(deadline));
    if (r == 0) return false;
    if (r < 0 && errno != EINTR) return false;
  }
  return true;
}

Bytes SerialLine::read(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (stopRequested()) return {};
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, remainingMs(deadline));
    if (r < 0) {
      if (errno == EINTR) continue;
      throw systemError("waiting for the line failed");
    }
    if (r == 0) return {};
    if ((p.revents & POLLIN) != 0) {
      Bytes buf(256);
      const ssize_t n = ::read(fd_, buf.data(), buf.size());
      if (n > 0) {
        buf.resize(static_cast<std::size_t>(n));
        return buf;
      }
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
      throw systemError("reading the line failed");
    }
    if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      throw std::runtime_error("the line was hung up");
    }
  }
}

}  // namespace kestrand::meter_sim
