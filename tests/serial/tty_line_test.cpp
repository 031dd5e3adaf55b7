#include "platform/qt/serial/tty_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "tests/serial/pty.h"

namespace kestrand::platform {
namespace {

using namespace std::string_literals;

// Reads from `fd` until `count` bytes came or the line stayed quiet for a second.
std::string readSome(int fd, std::size_t count) {
  std::string got;
  char buf[512];
  while (got.size() < count) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 1000) <= 0) break;
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<std::size_t>(n));
  }
  return got;
}

void makeRaw(int fd) {
  termios tio{};
  ASSERT_EQ(0, ::tcgetattr(fd, &tio));
  ::cfmakeraw(&tio);
  ASSERT_EQ(0, ::tcsetattr(fd, TCSANOW, &tio));
}

TEST(TtyLine, PseudoTerminalDoublesFfOnlyWhileMarking) {
  test::Pty pty;
  makeRaw(pty.slaveFd());
  pty.send(
      "\xFF"
      "A\xFF"s);
  EXPECT_EQ(
      "\xFF"
      "A\xFF"s,
      readSome(pty.slaveFd(), 3));

  ASSERT_TRUE(markLineErrors(pty.slaveFd()));
  pty.send(
      "\xFF"
      "A\xFF"s);
  EXPECT_EQ(
      "\xFF\xFF"
      "A\xFF\xFF"s,
      readSome(pty.slaveFd(), 5));
}

TEST(TtyLine, WhileMarkingEveryOtherByteValuePassesUntouched) {
  test::Pty pty;
  makeRaw(pty.slaveFd());
  ASSERT_TRUE(markLineErrors(pty.slaveFd()));
  const std::string all = test::allByteValues();
  pty.send(all);
  const std::string want = all.substr(0, 255) + "\xFF\xFF"s;
  EXPECT_EQ(want, readSome(pty.slaveFd(), want.size()));
}

TEST(TtyLine, MarkingChangesOnlyTheErrorHandlingFlags) {
  test::Pty pty;
  termios before{};
  ASSERT_EQ(0, ::tcgetattr(pty.slaveFd(), &before));
  ::cfmakeraw(&before);
  before.c_iflag |= IGNPAR | ISTRIP | IGNBRK | BRKINT | IXOFF;
  ASSERT_EQ(0, ::tcsetattr(pty.slaveFd(), TCSANOW, &before));
  ASSERT_EQ(0, ::tcgetattr(pty.slaveFd(), &before));

  ASSERT_TRUE(markLineErrors(pty.slaveFd()));
  termios after{};
  ASSERT_EQ(0, ::tcgetattr(pty.slaveFd(), &after));
  EXPECT_EQ(0u, after.c_iflag & (IGNPAR | ISTRIP | IGNBRK | BRKINT));
  EXPECT_EQ(static_cast<tcflag_t>(INPCK | PARMRK), after.c_iflag & (INPCK | PARMRK));
  EXPECT_EQ(static_cast<tcflag_t>(IXOFF), after.c_iflag & IXOFF);
  EXPECT_EQ(before.c_cflag, after.c_cflag);
  EXPECT_EQ(before.c_lflag, after.c_lflag);
  EXPECT_EQ(before.c_oflag, after.c_oflag);
}

TEST(TtyLine, WhatIsNoTerminalRefusesMarkingAndHasNoCounters) {
  int fds[2];
  ASSERT_EQ(0, ::pipe(fds));
  EXPECT_FALSE(markLineErrors(fds[0]));
  EXPECT_FALSE(readLineCounters(fds[0]).has_value());
  ::close(fds[0]);
  ::close(fds[1]);
  EXPECT_FALSE(markLineErrors(-1));
}

TEST(TtyLine, PseudoTerminalKeepsNoErrorCounters) {
  test::Pty pty;
  EXPECT_FALSE(readLineCounters(pty.slaveFd()).has_value());
}

}  // namespace
}  // namespace kestrand::platform
