#include "adapters/posix/serial/tty_line.h"

#if !defined(_WIN32)
#include <sys/ioctl.h>
#include <termios.h>
#endif
#if defined(__linux__)
#include <linux/serial.h>
#endif

namespace kestrand::adapters::posix {

#if !defined(_WIN32)

bool markLineErrors(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  tio.c_iflag &= ~static_cast<tcflag_t>(IGNPAR | IGNBRK | BRKINT | ISTRIP);
  tio.c_iflag |= INPCK | PARMRK;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) return false;
  // tcsetattr succeeds when any of the settings took: check that these did.
  termios now{};
  if (::tcgetattr(fd, &now) != 0) return false;
  return (now.c_iflag & (PARMRK | INPCK)) == (PARMRK | INPCK) &&
         (now.c_iflag & (IGNPAR | ISTRIP)) == 0;
}

#else

bool markLineErrors(int) {
  return false;
}

#endif

#if defined(__linux__)

std::optional<LineCounters> readLineCounters(int fd) {
  serial_icounter_struct c{};
  if (::ioctl(fd, TIOCGICOUNT, &c) != 0) return std::nullopt;
  LineCounters out;
  out.frame = static_cast<std::uint32_t>(c.frame);
  out.parity = static_cast<std::uint32_t>(c.parity);
  out.overrun = static_cast<std::uint32_t>(c.overrun);
  out.brk = static_cast<std::uint32_t>(c.brk);
  out.bufferOverrun = static_cast<std::uint32_t>(c.buf_overrun);
  return out;
}

#else

std::optional<LineCounters> readLineCounters(int) {
  return std::nullopt;
}

#endif

}  // namespace kestrand::adapters::posix
