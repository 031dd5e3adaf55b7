#include "tests/serial/pty.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <QTest>
#include <cerrno>
#include <stdexcept>

namespace kestrand::test {

Pty::Pty() {
  char name[256] = {};
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
    throw std::runtime_error("openpty failed");
  slavePath_ = name;
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

Pty::~Pty() {
  ::close(slave_);
  ::close(master_);
}

void Pty::send(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno != EAGAIN && errno != EINTR) throw std::runtime_error("pty write");
    if (n > 0) done += static_cast<std::size_t>(n);
  }
}

std::string Pty::drain() {
  std::string out;
  char buf[512];
  for (;;) {
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  return out;
}

std::string Pty::receive(std::size_t count, int timeoutMs) {
  std::string got;
  (void)QTest::qWaitFor(
      [&] {
        got += drain();
        return got.size() >= count;
      },
      timeoutMs);
  return got;
}

std::string allByteValues() {
  std::string s;
  for (int b = 0; b < 256; ++b) s.push_back(static_cast<char>(b));
  return s;
}

}  // namespace kestrand::test
