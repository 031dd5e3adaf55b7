// A device that goes away (the far end of a pseudo-terminal closes, as when the simulated meter
// exits or an adapter is unplugged) closes the port with one event and no busy waiting; the same
// name opens again once a device is back behind it.

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/resource.h>

#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <functional>
#include <utility>

#include "adapters/qt/serial/qt_serial_port.h"
#include "tests/serial/pty.h"

namespace kestrand::adapters::qt {
namespace {

double cpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TEST(PortLost, DeviceGoneClosesThePortOnceAndTheSameNameOpensAgain) {
  constexpr int kPortLost = 2001;
  QTemporaryDir dir;
  const std::string link = dir.filePath("COM1").toStdString();
  QtSerialPort port;
  std::vector<int> codes;
  std::string data;
  port.onEvent([&](int code) {
    codes.push_back(code);
    if (code == ports::comm_event::kReceive) data += port.readAll();
  });
  // The far end closes (the simulator exits); the device hangs up (an adapter is unplugged;
  // needs the right to hang up a terminal); then a device is back behind the same name.
  const std::function<bool(test::Pty&)> ways[] = {
      [](test::Pty& p) { return ::close(std::exchange(p.master, -1)) == 0; },
      [](test::Pty& p) { return ::ioctl(p.slave, TIOCVHANGUP) == 0; }, nullptr};
  for (const auto& lose : ways) {
    test::Pty pty;
    ::unlink(link.c_str());
    ASSERT_EQ(0, ::symlink(pty.slavePath.c_str(), link.c_str()));
    port.open(link);
    EXPECT_EQ(port.systemDevice(), pty.slavePath);  // the device behind the link
    codes.clear();
    data.clear();
    pty.send("AB");
    ASSERT_TRUE(QTest::qWaitFor([&] { return data == "AB"; }, 5000)) << data;
    if (!lose) {
      port.write("\x06");
      EXPECT_EQ(test::readFd(pty.master, 1), "\x06");
      break;
    }
    if (!lose(pty)) continue;
    ASSERT_TRUE(QTest::qWaitFor([&] { return codes.back() == kPortLost; }, 5000));
    EXPECT_EQ(port.systemDevice(), "");  // closed
    const double before = cpuSeconds();
    QTest::qWait(2000);
    EXPECT_LT(cpuSeconds() - before, 0.1);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), kPortLost), 1);
    EXPECT_EQ(codes.back(), kPortLost);
  }
}

}  // namespace
}  // namespace kestrand::adapters::qt
