#pragma once
// A pseudo-terminal for the tests: the slave stands for the serial device, the master for
// the meter at the other end of the line.

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrand::test {

struct Pty {
  Pty() {
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
      throw std::runtime_error("openpty failed");
    slavePath = name;
  }
  ~Pty() {
    ::close(slave);
    ::close(master);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  // Sends bytes from the meter's side.
  void send(std::string_view bytes) const {
    while (!bytes.empty()) {
      const ssize_t n = ::write(master, bytes.data(), bytes.size());
      if (n < 0 && errno != EINTR) throw std::runtime_error("pty write failed");
      if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  int master = -1;
  int slave = -1;
  std::string slavePath;
};

// Reads `fd`, with no event loop running, until `count` bytes came or it stayed quiet for a
// second.
inline std::string readFd(int fd, std::size_t count) {
  std::string got;
  char buf[512];
  pollfd p{fd, POLLIN, 0};
  while (got.size() < count && ::poll(&p, 1, 1000) > 0) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<std::size_t>(n));
  }
  return got;
}

// Every byte value 0..255 once, in order.
inline std::string allByteValues() {
  std::string s;
  for (int b = 0; b < 256; ++b) s.push_back(static_cast<char>(b));
  return s;
}

}  // namespace kestrand::test
