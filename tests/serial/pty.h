#pragma once
// A pseudo-terminal for the tests: the slave stands for the serial device, the master for
// the meter at the other end of the line.

#include <string>
#include <string_view>

namespace kestrand::test {

class Pty {
 public:
  Pty();
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  const std::string& slavePath() const { return slavePath_; }
  int masterFd() const { return master_; }
  int slaveFd() const { return slave_; }

  // Sends bytes from the meter's side (blocking until the terminal took them all).
  void send(std::string_view bytes);
  // What the meter's side has received so far (non-blocking; empty when nothing).
  std::string drain();
  // Keeps draining while running the Qt event loop until `count` bytes have arrived or
  // `timeoutMs` has passed; returns what arrived.
  std::string receive(std::size_t count, int timeoutMs = 5000);

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

// Every byte value 0..255 once, in order.
std::string allByteValues();

}  // namespace kestrand::test
