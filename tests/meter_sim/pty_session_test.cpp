// The simulator against a small receiver of the test's own over a real pseudo-terminal: the
// receiver opens the linked terminal, frames what arrives and answers as each test decides.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "tools/meter_sim/sim.h"
#include "tools/meter_sim/wire.h"

namespace kestrand::meter_sim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Frame {
  std::uint8_t type = 0;
  std::uint8_t terminator = 0;
  Bytes body;
  std::uint8_t sum = 0;
  std::size_t junkBefore = 0;  // bytes before the frame's DLE that started nothing
  Clock::time_point firstByte;
  Clock::time_point lastByte;
  std::size_t wireBytes = 0;
};

// What the receiver sends back for frame `index`.
using Policy = std::function<Bytes(std::size_t index, const Frame&)>;

Bytes ackAll(std::size_t, const Frame&) {
  return {kAck};
}

class TestReceiver {
 public:
  TestReceiver(std::filesystem::path link, Policy policy)
      : link_(std::move(link)), policy_(std::move(policy)) {}

  void openAfter(std::chrono::milliseconds delay) { openDelay_ = delay; }
  // Sends NAK once when no frame has come for `interval` after a frame.
  void watchdog(std::chrono::milliseconds interval) { watchdog_ = interval; }

  void start() {
    thread_ = std::thread([this] { run(); });
  }
  void stop() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
  }

  std::vector<Frame> frames;
  int enquiries = 0;
  int badEscapes = 0;
  bool opened = false;

 private:
  void run() {
    std::this_thread::sleep_for(openDelay_);
    const auto giveUp = Clock::now() + 10s;
    int fd = -1;
    while (fd < 0 && !done_ && Clock::now() < giveUp) {
      fd = ::open(link_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      if (fd < 0) std::this_thread::sleep_for(10ms);
    }
    if (fd < 0) return;
    opened = true;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    auto lastFrame = Clock::now();
    bool armed = false;
    while (!done_) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN) != 0) {
        std::uint8_t buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        for (ssize_t i = 0; i < n; ++i) {
          if (feed(fd, buf[i])) {
            lastFrame = Clock::now();
            armed = true;
          }
        }
      }
      if (watchdog_ && armed && Clock::now() - lastFrame > *watchdog_) {
        send(fd, {kNak});
        armed = false;
      }
    }
    ::close(fd);
  }

  static void send(int fd, const Bytes& bytes) {
    if (!bytes.empty()) (void)!::write(fd, bytes.data(), bytes.size());
  }

  // Returns true when `b` completed a frame.
  bool feed(int fd, std::uint8_t b) {
    switch (state_) {
      case State::kIdle:
        if (b == kDle) {
          state_ = State::kAfterDle;
        } else {
          ++junk_;
        }
        return false;
      case State::kAfterDle:
        if (b == kEnq) {
          ++enquiries;
          send(fd, {kAck});
          state_ = State::kIdle;
        } else if (b == 1 || b == 2) {
          current_ = Frame{};
          current_.type = b;
          current_.junkBefore = junk_;
          current_.firstByte = Clock::now();
          current_.wireBytes = 2;
          junk_ = 0;
          data_.clear();
          state_ = State::kInFrame;
        } else {
          ++junk_;
          state_ = State::kIdle;
        }
        return false;
      case State::kInFrame:
        ++current_.wireBytes;
        if (b == kDle) {
          state_ = State::kEscape;
        } else {
          data_.push_back(b);
        }
        return false;
      case State::kEscape:
        ++current_.wireBytes;
        if (b == kDle) {
          data_.push_back(b);
          state_ = State::kInFrame;
          return false;
        }
        state_ = State::kIdle;
        if (b != 3 && b != 4 && b != 23) {
          ++badEscapes;
          return false;
        }
        current_.terminator = b;
        current_.lastByte = Clock::now();
        if (!data_.empty()) {
          current_.sum = data_.back();
          current_.body.assign(data_.begin(), data_.end() - 1);
        }
        frames.push_back(current_);
        send(fd, policy_(frames.size() - 1, frames.back()));
        return true;
    }
    return false;
  }

  enum class State { kIdle, kAfterDle, kInFrame, kEscape };
  std::filesystem::path link_;
  Policy policy_;
  std::chrono::milliseconds openDelay_{0};
  std::optional<std::chrono::milliseconds> watchdog_;
  std::atomic<bool> done_{false};
  std::thread thread_;
  State state_ = State::kIdle;
  std::size_t junk_ = 0;
  Frame current_;
  Bytes data_;
};

std::uint8_t sumOf(const Bytes& body) {
  unsigned s = 0;
  for (auto b : body) s += b;
  return static_cast<std::uint8_t>(s % 256);
}

class PtySession : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("meter_sim_pty_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    link_ = dir_ / "ttyMeter";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Runs the simulator with `extra` options on the link while `receiver` listens.
  int run(TestReceiver* receiver, std::vector<std::string> extra) {
    std::vector<std::string> args{"--link", link_.string(), "--connect-timeout", "5"};
    args.insert(args.end(), extra.begin(), extra.end());
    if (receiver != nullptr) receiver->start();
    const int rc = runSim(args, out_, err_);
    if (receiver != nullptr) receiver->stop();
    return rc;
  }

  std::string out() const { return out_.str(); }

  std::filesystem::path dir_;
  std::filesystem::path link_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(PtySession, FullUploadIsFramedAndAcknowledged) {
  TestReceiver receiver(link_, ackAll);
  const auto expectDir = dir_ / "expected";
  const int rc = run(&receiver, {"--records", "45", "--expect-dir", expectDir.string()});
  EXPECT_EQ(rc, kExitOk) << out() << err_.str();
  ASSERT_EQ(receiver.frames.size(), 4u);
  const std::uint8_t types[] = {1, 2, 2, 2};
  const std::uint8_t terminators[] = {3, 23, 23, 4};
  const std::size_t sizes[] = {10, 80, 80, 20};
  for (std::size_t i = 0; i < 4; ++i) {
    const Frame& f = receiver.frames[i];
    EXPECT_EQ(f.type, types[i]) << i;
    EXPECT_EQ(f.terminator, terminators[i]) << i;
    EXPECT_EQ(f.body.size(), sizes[i]) << i;
    EXPECT_EQ(f.sum, sumOf(f.body)) << i;
    EXPECT_EQ(f.junkBefore, 0u) << i;
  }
  EXPECT_EQ(Bytes(receiver.frames[0].body.begin(), receiver.frames[0].body.begin() + 6),
            (Bytes{0x71, 0x53, 0x18, 0xB4, 0x04, 0x40}));
  EXPECT_EQ(receiver.frames[3].body[0], 0x80 | 41);
  EXPECT_EQ(receiver.badEscapes, 0);
  EXPECT_NE(out().find("ACKs: 4\n"), std::string::npos) << out();
  EXPECT_NE(out().find("result: OK"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link_)));
  EXPECT_TRUE(std::filesystem::exists(expectDir / "QV 05.Dec.06  14.05.33.dat"));
}

TEST_F(PtySession, NakIsReportedAndTheUploadGoesOn) {
  TestReceiver receiver(link_, [](std::size_t i, const Frame&) {
    return i == 2 ? Bytes{kNak, kAck} : Bytes{kAck};
  });
  EXPECT_EQ(run(&receiver, {"--records", "45"}), kExitProtocol);
  EXPECT_EQ(receiver.frames.size(), 4u);
  EXPECT_NE(out().find("NAKs: 1 (0 expected)"), std::string::npos) << out();
  EXPECT_NE(out().find("result: FAILED"), std::string::npos);
}

TEST_F(PtySession, MissingAnswerStopsTheUpload) {
  TestReceiver receiver(link_,
                        [](std::size_t i, const Frame&) { return i == 1 ? Bytes{} : Bytes{kAck}; });
  EXPECT_EQ(run(&receiver, {"--records", "45", "--ack-timeout-ms", "300"}), kExitProtocol);
  EXPECT_EQ(receiver.frames.size(), 2u);
  EXPECT_NE(out().find("missing answers: 1"), std::string::npos) << out();
}

TEST_F(PtySession, DataWithoutHeaderWantsNakThenAck) {
  TestReceiver receiver(link_, [](std::size_t, const Frame& f) {
    return f.type == 2 ? Bytes{kNak, kAck} : Bytes{kAck};
  });
  EXPECT_EQ(run(&receiver, {"--records", "45", "--no-header"}), kExitOk) << out();
  ASSERT_EQ(receiver.frames.size(), 3u);
  for (const Frame& f : receiver.frames) EXPECT_EQ(f.type, 2);
  EXPECT_NE(out().find("NAKs: 3 (3 expected)"), std::string::npos) << out();
}

TEST_F(PtySession, DataWithoutHeaderAnsweredOnlyAckFails) {
  TestReceiver receiver(link_, ackAll);
  EXPECT_EQ(run(&receiver, {"--records", "5", "--no-header"}), kExitProtocol) << out();
}

TEST_F(PtySession, NoiseSplitPiecesStuffingAndABadChecksum) {
  TestReceiver receiver(link_, ackAll);
  const int rc = run(&receiver, {"--records", "30", "--noise", "--split-chunks", "4",
                                 "--bad-checksum", "1", "--stuffing-heavy", "--columns", "7"});
  EXPECT_EQ(rc, kExitOk) << out() << err_.str();
  ASSERT_EQ(receiver.frames.size(), 3u);
  EXPECT_EQ(receiver.badEscapes, 0);
  for (std::size_t i = 0; i < 3; ++i) {
    const Frame& f = receiver.frames[i];
    EXPECT_EQ(f.junkBefore, 3u) << i;
    EXPECT_EQ(f.sum, static_cast<std::uint8_t>(sumOf(f.body) + (i == 1 ? 1 : 0))) << i;
  }
  const Bytes& first = receiver.frames[1].body;
  ASSERT_EQ(first.size(), 20u * 8);
  EXPECT_EQ(Bytes(first.begin(), first.begin() + 8),
            (Bytes{0x81, 0x10, 0x10, 0x10, 0x10, 0x04, 0x10, 0x17}));
}

TEST_F(PtySession, PacedBytesTakeTheLineRate) {
  TestReceiver receiver(link_, ackAll);
  EXPECT_EQ(run(&receiver, {"--records", "100", "--records-per-message", "100", "--pace"}),
            kExitOk);
  ASSERT_EQ(receiver.frames.size(), 2u);
  const Frame& f = receiver.frames[1];
  EXPECT_EQ(f.body.size(), 400u);
  EXPECT_GE(f.wireBytes, 405u);
  // A character time (about 1.04 ms) between each byte and the next.
  EXPECT_GE(f.lastByte - f.firstByte, static_cast<long>(f.wireBytes - 1) * 1ms);
}

TEST_F(PtySession, EnquiryRepeatsUntilTheReceiverOpens) {
  TestReceiver receiver(link_, ackAll);
  receiver.openAfter(1500ms);
  EXPECT_EQ(run(&receiver, {"--records", "3"}), kExitOk) << out();
  EXPECT_NE(out().find("enquiries sent: 2 (connected)"), std::string::npos) << out();
}

TEST_F(PtySession, NobodyAnswersTheEnquiry) {
  const auto start = Clock::now();
  EXPECT_EQ(run(nullptr, {"--connect-timeout", "1"}), kExitProtocol);
  EXPECT_LT(Clock::now() - start, 3s);
  EXPECT_NE(out().find("(no ACK)"), std::string::npos) << out();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link_)));
}

TEST_F(PtySession, ARegularFileIsNotReplacedByTheLink) {
  std::ofstream(link_) << "keep";
  EXPECT_EQ(run(nullptr, {}), kExitUsage);
  std::ifstream in(link_);
  std::string text;
  in >> text;
  EXPECT_EQ(text, "keep");
}

TEST_F(PtySession, AnExistingLinkIsReplaced) {
  std::filesystem::create_symlink("/nonexistent", link_);
  TestReceiver receiver(link_, ackAll);
  EXPECT_EQ(run(&receiver, {"--records", "1"}), kExitOk) << out() << err_.str();
  EXPECT_TRUE(receiver.opened);
}

TEST_F(PtySession, WatchdogNakDuringALongPause) {
  TestReceiver receiver(link_, ackAll);
  receiver.watchdog(10s);
  const auto expectDir = dir_ / "expected";
  const int rc = run(&receiver, {"--records", "45", "--pause-before", "2", "--pause-ms", "11000",
                                 "--expect-dir", expectDir.string()});
  EXPECT_EQ(rc, kExitOk) << out();
  EXPECT_EQ(receiver.frames.size(), 4u);
  EXPECT_NE(out().find("NAKs: 1 (1 expected)"), std::string::npos) << out();
  // Only the header and the first data message are stored: 2 + 20 * 2 lines.
  std::ifstream in(expectDir / "QV 05.Dec.06  14.05.33.dat", std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  const std::string text = content.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 42);
}

TEST_F(PtySession, LongPauseWithoutWatchdogNakFails) {
  TestReceiver receiver(link_, ackAll);
  EXPECT_EQ(run(&receiver, {"--records", "45", "--pause-before", "1", "--pause-ms", "11000"}),
            kExitProtocol);
  EXPECT_NE(out().find("no NAK from the receiver's watchdog"), std::string::npos) << out();
}

}  // namespace
}  // namespace kestrand::meter_sim
