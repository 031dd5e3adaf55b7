#include "adapters/qt/serial/qt_serial_port.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <functional>
#include <vector>

#include "core/error.h"
#include "tests/serial/pty.h"

namespace kestrand::adapters::qt {
namespace {

using namespace std::string_literals;
using test::Pty;

// Records the events of a port and reads on every receive notification, as the program does.
struct Listener {
  explicit Listener(QtSerialPort& p) : port(p) {
    port.onEvent([this](int code) {
      codes.push_back(code);
      if (code == ports::comm_event::kReceive) data += port.readAll();
    });
  }
  bool waitForData(std::size_t count) {
    return QTest::qWaitFor([&] { return data.size() >= count; }, 5000);
  }
  QtSerialPort& port;
  std::vector<int> codes;
  std::string data;
};

// A port open on a pseudo-terminal, its events recorded.
class OpenPort : public ::testing::Test {
 protected:
  void SetUp() override { port.open(pty.slavePath); }
  Pty pty;
  QtSerialPort port;
  Listener events{port};
};

// Expects `act` to fail with an Error of `kind`; returns its description.
std::string failure(const std::function<void()>& act, ErrorKind kind) {
  try {
    act();
  } catch (const Error& e) {
    EXPECT_TRUE(e.is(kind)) << "code " << e.code() << ": " << e.description();
    return e.description();
  }
  ADD_FAILURE() << "no error";
  return {};
}

TEST_F(OpenPort, EveryByteValuePassesUnchangedBothWays) {
  const std::string all = test::allByteValues();
  port.write(all);
  // No event loop runs while reading: the bytes must already be on their way.
  EXPECT_EQ(all, test::readFd(pty.master, all.size()));

  EXPECT_TRUE(port.marksLineErrors());
  // In turn: every value; XON, XOFF, CR, LF, ETX, DEL and what would be a break mark, a
  // doubled FF and a bad-byte mark; FF at the end of what was sent; FF alone.
  std::string sent;
  for (const std::string& chunk :
       {all, "\x11\x13\r\n\x03\x7F\xFF\x00\x00\xFF\xFF\x00\x41\xFF"s, "A\xFF"s, "\xFF"s}) {
    pty.send(chunk);
    sent += chunk;
    ASSERT_TRUE(events.waitForData(sent.size())) << events.data.size() << " of " << sent.size();
    EXPECT_EQ(sent, events.data);
  }
  EXPECT_EQ(std::count(events.codes.begin(), events.codes.end(), ports::comm_event::kReceive),
            std::ssize(events.codes));
}

TEST_F(OpenPort, SecondUserFindsThePortInUseUntilTheFirstMovesToAnotherDevice) {
  QtSerialPort second;
  const std::string why = failure([&] { second.open(pty.slavePath); }, ErrorKind::kPortInUse);
  EXPECT_NE(std::string::npos, why.find(pty.slavePath)) << why;
  EXPECT_NE(std::string::npos, why.find("dialout")) << why;

  pty.send("ok"s);  // the first keeps working
  ASSERT_TRUE(events.waitForData(2));
  Pty other;
  port.open(other.slavePath);
  second.open(pty.slavePath);
  other.send("moved"s);
  ASSERT_TRUE(events.waitForData(7));
  EXPECT_EQ("okmoved", events.data);
}

TEST(QtSerialPortOpen, MissingOrUnsuitableDevicesFailToOpenAndAreNamed) {
  QTemporaryDir dir;
  const std::string plain = dir.filePath("plain").toStdString();
  QFile file(QString::fromStdString(plain));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  const std::string dangling = dir.filePath("COM4").toStdString();
  ASSERT_EQ(0, ::symlink((dir.path().toStdString() + "/gone").c_str(), dangling.c_str()));
  QtSerialPort port;
  for (const std::string& device : {"/nonexistent-kestrand/ttyNONE"s, dangling, plain, ""s}) {
    const std::string why = failure([&] { port.open(device); }, ErrorKind::kPortOpenFailed);
    EXPECT_NE(std::string::npos, why.find(device)) << why;
    EXPECT_FALSE(port.isOpen());
  }
}

}  // namespace
}  // namespace kestrand::adapters::qt
