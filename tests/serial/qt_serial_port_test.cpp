#include "platform/qt/serial/qt_serial_port.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <vector>

#include "platform/error.h"
#include "tests/serial/pty.h"

namespace kestrand::platform::qt {
namespace {

using namespace std::string_literals;
using test::Pty;

// Records the events of a port and reads on every receive notification, as the program does.
struct Listener {
  explicit Listener(QtSerialPort& p) : port(p) {
    port.onEvent([this](int code) {
      codes.push_back(code);
      if (code == comm_event::kReceive) data += port.readAll();
    });
  }
  bool waitForData(std::size_t count, int timeoutMs = 5000) {
    return QTest::qWaitFor([&] { return data.size() >= count; }, timeoutMs);
  }
  bool onlyReceives() const {
    return std::all_of(codes.begin(), codes.end(), [](int c) { return c == comm_event::kReceive; });
  }
  QtSerialPort& port;
  std::vector<int> codes;
  std::string data;
};

// Expects `open(device)` to fail with `kind`; returns the description.
std::string openFailure(QtSerialPort& port, const std::string& device, ErrorKind kind) {
  try {
    port.open(device);
  } catch (const Error& e) {
    EXPECT_TRUE(e.is(kind)) << "code " << e.code() << ": " << e.description();
    EXPECT_FALSE(port.isOpen());
    return e.description();
  }
  ADD_FAILURE() << "opening " << device << " did not fail";
  return {};
}

std::string linkIn(const QTemporaryDir& dir, const std::string& name, const std::string& target) {
  const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
  EXPECT_EQ(0, ::symlink(target.c_str(), path.c_str()));
  return path;
}

// --- Bytes in both directions ------------------------------------------------------------

TEST(QtSerialPortBytes, EveryByteValueFromTheMeterArrivesUnchanged) {
  Pty pty;
  QtSerialPort port;
  Listener events(port);
  port.open(pty.slavePath());
  ASSERT_TRUE(port.isOpen());
  EXPECT_TRUE(port.marksLineErrors());

  const std::string all = test::allByteValues();
  pty.send(all);
  ASSERT_TRUE(events.waitForData(all.size())) << events.data.size() << " bytes arrived";
  EXPECT_EQ(all, events.data);
  EXPECT_FALSE(events.codes.empty());
  EXPECT_TRUE(events.onlyReceives());
}

TEST(QtSerialPortBytes, DataThatLooksLikeMarksStaysData) {
  Pty pty;
  QtSerialPort port;
  Listener events(port);
  port.open(pty.slavePath());
  // XON, XOFF, CR, LF, ETX, DEL, and 0xFF followed by 0x00 as a break mark would be.
  const std::string tricky = "\x11\x13\r\n\x03\x7F\xFF\x00\x00\xFF\xFF\x00\x41\xFF"s;
  pty.send(tricky);
  ASSERT_TRUE(events.waitForData(tricky.size()));
  EXPECT_EQ(tricky, events.data);
  EXPECT_TRUE(events.onlyReceives());
}

TEST(QtSerialPortBytes, FfAtTheEndOfWhatWasSentIsNotHeldBack) {
  Pty pty;
  QtSerialPort port;
  Listener events(port);
  port.open(pty.slavePath());
  pty.send("A\xFF"s);
  ASSERT_TRUE(events.waitForData(2));
  EXPECT_EQ("A\xFF"s, events.data);
  pty.send("\xFF"s);
  ASSERT_TRUE(events.waitForData(3));
  EXPECT_EQ("A\xFF\xFF"s, events.data);
}

TEST(QtSerialPortBytes, EveryByteValueReachesTheMeterUnchanged) {
  Pty pty;
  QtSerialPort port;
  port.open(pty.slavePath());
  const std::string all = test::allByteValues();
  port.write(all);
  EXPECT_EQ(all, pty.receive(all.size()));
}

TEST(QtSerialPortBytes, AnswerLeavesWithoutWaitingForTheEventLoop) {
  Pty pty;
  QtSerialPort port;
  port.open(pty.slavePath());
  port.write("\x06"s);
  // No event loop runs here: the byte must already be on its way.
  pollfd p{pty.masterFd(), POLLIN, 0};
  ASSERT_EQ(1, ::poll(&p, 1, 2000));
  EXPECT_EQ("\x06"s, pty.drain());
}

TEST(QtSerialPortBytes, ReadAllReturnsEachByteOnce) {
  Pty pty;
  QtSerialPort port;
  std::string first;
  std::string second;
  port.onEvent([&](int) {
    first += port.readAll();
    second += port.readAll();
  });
  port.open(pty.slavePath());
  pty.send("hello"s);
  ASSERT_TRUE(QTest::qWaitFor([&] { return first.size() >= 5; }, 5000));
  EXPECT_EQ("hello", first);
  EXPECT_EQ("", second);
}

// --- Opening and closing -----------------------------------------------------------------

TEST(QtSerialPortOpen, SecondUserOfTheSameDeviceFindsItInUse) {
  Pty pty;
  QtSerialPort first;
  Listener events(first);
  first.open(pty.slavePath());
  QtSerialPort second;
  const std::string why = openFailure(second, pty.slavePath(), ErrorKind::kPortInUse);
  EXPECT_NE(std::string::npos, why.find(pty.slavePath())) << why;
  EXPECT_NE(std::string::npos, why.find("dialout")) << why;

  // The first keeps working.
  pty.send("ok"s);
  ASSERT_TRUE(events.waitForData(2));
  EXPECT_EQ("ok", events.data);

  first.close();
  second.open(pty.slavePath());
  EXPECT_TRUE(second.isOpen());
}

TEST(QtSerialPortOpen, LinkAndTheDeviceItPointsAtAreOnePort) {
  Pty pty;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string link = linkIn(dir, "COM1", pty.slavePath());

  QtSerialPort viaLink;
  Listener events(viaLink);
  viaLink.open(link);
  QtSerialPort direct;
  openFailure(direct, pty.slavePath(), ErrorKind::kPortInUse);

  pty.send("via link"s);
  ASSERT_TRUE(events.waitForData(8));
  EXPECT_EQ("via link", events.data);

  viaLink.close();
  direct.open(pty.slavePath());
  const std::string why = openFailure(viaLink, link, ErrorKind::kPortInUse);
  EXPECT_NE(std::string::npos, why.find(link)) << why;
}

TEST(QtSerialPortOpen, RelativeNameIsTakenFromTheCurrentDirectory) {
  Pty pty;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  linkIn(dir, "COM3", pty.slavePath());
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  QtSerialPort port;
  Listener events(port);
  try {
    port.open("COM3");
  } catch (const Error& e) {
    ADD_FAILURE() << e.description();
  }
  QDir::setCurrent(before);
  ASSERT_TRUE(port.isOpen());
  pty.send("rel"s);
  ASSERT_TRUE(events.waitForData(3));
  EXPECT_EQ("rel", events.data);
  QtSerialPort other;
  openFailure(other, pty.slavePath(), ErrorKind::kPortInUse);
}

TEST(QtSerialPortOpen, MissingOrUnsuitableDevicesFailToOpenButAreNotMissingFiles) {
  QtSerialPort port;
  const std::string missing = "/nonexistent-kestrand/ttyNONE";
  EXPECT_NE(std::string::npos,
            openFailure(port, missing, ErrorKind::kPortOpenFailed).find(missing));

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string dangling = linkIn(dir, "COM4", dir.path().toStdString() + "/gone");
  EXPECT_NE(std::string::npos,
            openFailure(port, dangling, ErrorKind::kPortOpenFailed).find(dangling));

  const std::string plain = dir.filePath("plain").toStdString();
  QFile file(QString::fromStdString(plain));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  openFailure(port, plain, ErrorKind::kPortOpenFailed);

  openFailure(port, "", ErrorKind::kPortOpenFailed);
}

TEST(QtSerialPortOpen, ReadingOrWritingAClosedPortFails) {
  QtSerialPort port;
  EXPECT_FALSE(port.isOpen());
  auto expectClosed = [&] {
    try {
      (void)port.readAll();
      ADD_FAILURE() << "readAll on a closed port";
    } catch (const Error& e) {
      EXPECT_TRUE(e.is(ErrorKind::kIo));
    }
    try {
      port.write("\x15"s);
      ADD_FAILURE() << "write on a closed port";
    } catch (const Error& e) {
      EXPECT_TRUE(e.is(ErrorKind::kIo));
    }
  };
  expectClosed();
  Pty pty;
  port.open(pty.slavePath());
  port.close();
  EXPECT_FALSE(port.isOpen());
  expectClosed();
  port.close();  // closing a closed port is harmless
}

TEST(QtSerialPortOpen, OpeningAnotherDeviceLeavesTheFirstFree) {
  Pty one;
  Pty two;
  QtSerialPort port;
  Listener events(port);
  port.open(one.slavePath());
  port.open(two.slavePath());
  QtSerialPort other;
  other.open(one.slavePath());
  two.send("two"s);
  ASSERT_TRUE(events.waitForData(3));
  EXPECT_EQ("two", events.data);
}

// --- Notifications -----------------------------------------------------------------------

TEST(QtSerialPortEvents, NothingArrivesAfterClosing) {
  Pty pty;
  QtSerialPort port;
  Listener events(port);
  port.open(pty.slavePath());
  pty.send("a"s);
  ASSERT_TRUE(events.waitForData(1));
  port.close();
  pty.send("b"s);
  QTest::qWait(200);
  EXPECT_EQ("a", events.data);
  EXPECT_EQ(1u, events.codes.size());
}

TEST(QtSerialPortEvents, HandlerThatClosesThePortGetsNoMoreEvents) {
  Pty pty;
  QtSerialPort port;
  int calls = 0;
  port.onEvent([&](int) {
    ++calls;
    port.close();
  });
  port.open(pty.slavePath());
  pty.send("a"s);
  ASSERT_TRUE(QTest::qWaitFor([&] { return calls > 0; }, 5000));
  pty.send("b"s);
  QTest::qWait(200);
  EXPECT_EQ(1, calls);
  EXPECT_FALSE(port.isOpen());
}

TEST(QtSerialPortEvents, HandlerIsNeverEnteredAgainWhileItRuns) {
  Pty pty;
  QtSerialPort port;
  int depth = 0;
  int deepest = 0;
  std::string data;
  std::vector<std::string> reads;
  port.onEvent([&](int code) {
    ++depth;
    deepest = std::max(deepest, depth);
    ASSERT_EQ(comm_event::kReceive, code);
    reads.push_back(port.readAll());
    data += reads.back();
    if (reads.size() == 1) {
      // As a message box would: a nested event loop while more bytes come in.
      pty.send("second"s);
      QTest::qWait(300);
    }
    --depth;
  });
  port.open(pty.slavePath());
  pty.send("first"s);
  ASSERT_TRUE(QTest::qWaitFor([&] { return data.size() >= 11; }, 5000)) << data;
  EXPECT_EQ("firstsecond", data);
  EXPECT_EQ(1, deepest);
  ASSERT_GE(reads.size(), 2u);
  EXPECT_EQ("first", reads.front());
}

}  // namespace
}  // namespace kestrand::platform::qt
