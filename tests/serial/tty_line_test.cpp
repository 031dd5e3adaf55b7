#include "platform/serial/tty_line.h"

#include <gtest/gtest.h>
#include <termios.h>

#include "tests/serial/pty.h"

namespace kestrand::platform {
namespace {

using namespace std::string_literals;

// Makes the terminal raw, as the serial port leaves it, with the input flags `extra` set too.
void makeRaw(int fd, tcflag_t extra = 0) {
  termios tio{};
  ASSERT_EQ(0, ::tcgetattr(fd, &tio));
  ::cfmakeraw(&tio);
  tio.c_iflag |= extra;
  ASSERT_EQ(0, ::tcsetattr(fd, TCSANOW, &tio));
}

TEST(TtyLine, MarkingDoublesFfAndPassesEveryOtherByteValue) {
  test::Pty pty;
  makeRaw(pty.slave);
  const std::string all = test::allByteValues();
  pty.send(all);
  EXPECT_EQ(all, test::readFd(pty.slave, all.size()));

  ASSERT_TRUE(markLineErrors(pty.slave));
  pty.send(all);
  const std::string doubled = all + "\xFF"s;
  EXPECT_EQ(doubled, test::readFd(pty.slave, doubled.size()));
  // A pseudo-terminal keeps no error counters.
  EXPECT_FALSE(readLineCounters(pty.slave).has_value());
}

}  // namespace
}  // namespace kestrand::platform
