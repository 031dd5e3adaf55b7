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
#include "tools/meter_sim/upload.h"
#include "tools/meter_sim/wire.h"

namespace kestrand::meter_sim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Frame {
  std::uint8_t type = 0, terminator = 0, sum = 0;
  Bytes body;
  std::size_t junkBefore = 0;  // bytes before the frame's DLE that started nothing
  std::size_t wireBytes = 0;
  Clock::time_point firstByte, lastByte;
};

// What the receiver sends back for frame `index`.
using Policy = std::function<Bytes(std::size_t index, const Frame&)>;
Bytes ackAll(std::size_t, const Frame&) {
  return {kAck};
}

// A receiver, run on its own thread until `done`: opens the link after `openDelay`, answers each
// enquiry with ACK and each frame by its policy; with a watchdog, sends one NAK when no frame has
// come for that long after a frame.
struct TestReceiver {
  std::filesystem::path link;
  Policy policy;
  std::chrono::milliseconds openDelay{0};
  std::optional<std::chrono::milliseconds> watchdog{};
  std::vector<Frame> frames{};
  std::atomic<bool> done{false};

  void run() {
    std::this_thread::sleep_for(openDelay);
    int fd = -1;
    for (const auto giveUp = Clock::now() + 10s; fd < 0 && !done && Clock::now() < giveUp;) {
      fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      if (fd < 0) std::this_thread::sleep_for(10ms);
    }
    if (fd < 0) return;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    auto lastFrame = Clock::now();
    bool armed = false;
    while (!done) {
      pollfd p{fd, POLLIN, 0};
      std::uint8_t buf[256];
      const ssize_t n = ::poll(&p, 1, 20) > 0 ? ::read(fd, buf, sizeof buf) : 0;
      for (ssize_t i = 0; i < n; ++i) {
        if (feed(fd, buf[i])) {
          lastFrame = Clock::now();
          armed = true;
        }
      }
      if (watchdog && armed && Clock::now() - lastFrame > *watchdog) {
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
    const bool escaped = afterDle_;
    afterDle_ = !escaped && b == kDle;
    if (!inFrame_) {
      if (escaped && b == kEnq) {
        send(fd, {kAck});
      } else if (escaped && (b == 1 || b == 2)) {
        current_ = Frame{b, 0, 0, {}, junk_, 2, Clock::now(), {}};
        junk_ = 0;
        inFrame_ = true;
      } else if (b != kDle || escaped) {
        ++junk_;
      }
      return false;
    }
    ++current_.wireBytes;
    if (afterDle_) return false;
    if (!escaped || b == kDle) {
      current_.body.push_back(b);
      return false;
    }
    inFrame_ = false;
    if ((b != 3 && b != 4 && b != 23) || current_.body.empty()) return false;  // frame lost
    current_.terminator = b;
    current_.lastByte = Clock::now();
    current_.sum = current_.body.back();
    current_.body.pop_back();
    frames.push_back(current_);
    send(fd, policy(frames.size() - 1, frames.back()));
    return true;
  }

  bool inFrame_ = false;
  bool afterDle_ = false;
  std::size_t junk_ = 0;
  Frame current_{};
};

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

  // Runs the simulator with `extra` options on `link` while `receiver` listens; its output,
  // errors included, goes to `out`.
  static int runOn(const std::filesystem::path& link, TestReceiver* receiver,
                   std::vector<std::string> extra, std::ostringstream& out) {
    out.str("");
    std::vector<std::string> args{"--link", link.string(), "--connect-timeout", "5"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::thread listening([receiver] {
      if (receiver != nullptr) receiver->run();
    });
    const int rc = runSim(args, out, out);
    if (receiver != nullptr) receiver->done = true;
    listening.join();
    return rc;
  }
  int run(TestReceiver* receiver, std::vector<std::string> extra) {
    return runOn(link_, receiver, std::move(extra), out_);
  }
  bool said(const std::string& text) const { return out_.str().find(text) != std::string::npos; }

  std::filesystem::path dir_;
  std::filesystem::path link_;
  std::ostringstream out_;
};

TEST_F(PtySession, UploadWithNoiseSplitPiecesStuffingAndABadChecksumIsFramedAndAcknowledged) {
  TestReceiver receiver{.link = link_, .policy = ackAll};
  const auto expectDir = dir_ / "expected";
  EXPECT_EQ(
      run(&receiver, {"--records", "45", "--noise", "--split-chunks", "4", "--bad-checksum", "1",
                      "--stuffing-heavy", "--columns", "7", "--expect-dir", expectDir.string()}),
      kExitOk)
      << out_.str();
  // Every message of the plan arrives whole, after the noise, with its checksum (wrong for 1).
  const UploadDescription d{.columns = 7, .records = 45, .stuffingHeavy = true};
  const auto plan = planUpload(d, makeRecords(d));
  ASSERT_EQ(receiver.frames.size(), plan.size());
  for (std::size_t i = 0; i < plan.size(); ++i) {
    const Frame& f = receiver.frames[i];
    EXPECT_EQ(f.type, static_cast<std::uint8_t>(plan[i].type)) << i;
    EXPECT_EQ(f.terminator, static_cast<std::uint8_t>(plan[i].terminator)) << i;
    EXPECT_EQ(f.body, plan[i].body) << i;
    EXPECT_EQ(f.junkBefore, 3u) << i;
    EXPECT_EQ(f.sum, static_cast<std::uint8_t>(checksum(f.body) + (i == 1 ? 1 : 0))) << i;
  }
  EXPECT_TRUE(said("ACKs: 4\n") && said("result: OK")) << out_.str();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link_)));
  EXPECT_TRUE(std::filesystem::exists(expectDir / "QV 05.Dec.06  14.05.33.dat"));
}

TEST_F(PtySession, AnswersOtherThanOneAckPerMessage) {
  // A NAK is reported, a missing answer stops the upload, data without a header wants NAK then
  // ACK: the receiver's answers, the options, the exit code, the frames sent and the summary.
  const struct {
    Policy policy;
    std::vector<std::string> extra;
    int rc;
    std::size_t frames;
    const char* summary;
  } rows[] = {
      // clang-format off
      {[](std::size_t i, const Frame&) { return i == 2 ? Bytes{kNak, kAck} : Bytes{kAck}; },
       {"--records", "45"}, kExitProtocol, 4, "NAKs: 1 (0 expected)"},
      {[](std::size_t i, const Frame&) { return i == 1 ? Bytes{} : Bytes{kAck}; },
       {"--records", "45", "--ack-timeout-ms", "300"}, kExitProtocol, 2, "missing answers: 1"},
      {[](std::size_t, const Frame& f) { return f.type == 2 ? Bytes{kNak, kAck} : Bytes{kAck}; },
       {"--records", "45", "--no-header"}, kExitOk, 3, "NAKs: 3 (3 expected)"},
      {ackAll, {"--records", "5", "--no-header"}, kExitProtocol, 1, "NAKs: 0 (0 expected)"},
      // clang-format on
  };
  for (const auto& r : rows) {
    TestReceiver receiver{.link = link_, .policy = r.policy};
    EXPECT_EQ(run(&receiver, r.extra), r.rc) << out_.str();
    EXPECT_EQ(receiver.frames.size(), r.frames) << out_.str();
    EXPECT_TRUE(said(r.summary)) << out_.str();
  }
}

TEST_F(PtySession, PacedBytesTakeTheLineRate) {
  TestReceiver receiver{.link = link_, .policy = ackAll};
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
  TestReceiver receiver{.link = link_, .policy = ackAll, .openDelay = 1500ms};
  EXPECT_EQ(run(&receiver, {"--records", "3"}), kExitOk) << out_.str();
  EXPECT_TRUE(said("enquiries sent: 2 (connected)")) << out_.str();

  const auto start = Clock::now();
  EXPECT_EQ(run(nullptr, {"--connect-timeout", "1"}), kExitProtocol);
  EXPECT_LT(Clock::now() - start, 3s);
  EXPECT_TRUE(said("(no ACK)")) << out_.str();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link_)));
}

TEST_F(PtySession, TheLinkReplacesASymbolicLinkButNoRegularFile) {
  std::ofstream(link_) << "keep";
  EXPECT_EQ(run(nullptr, {}), kExitUsage);
  std::string text;
  std::ifstream(link_) >> text;
  EXPECT_EQ(text, "keep");

  std::filesystem::remove(link_);
  std::filesystem::create_symlink("/nonexistent", link_);
  TestReceiver receiver{.link = link_, .policy = ackAll};
  EXPECT_EQ(run(&receiver, {"--records", "1"}), kExitOk) << out_.str();
  EXPECT_EQ(receiver.frames.size(), 2u);
}

TEST_F(PtySession, LongPauseMustDrawTheWatchdogNak) {
  // Two uploads side by side: one receiver's watchdog answers NAK during the pause and it refuses
  // the next message, which stops the upload; the other stays silent, which fails the upload.
  const auto silentLink = dir_ / "ttySilent";
  std::ostringstream silentOut;
  TestReceiver silent{.link = silentLink, .policy = ackAll};
  int silentRc = -1;
  std::thread other([&] {
    silentRc = runOn(silentLink, &silent,
                     {"--records", "45", "--pause-before", "1", "--pause-ms", "11000"}, silentOut);
  });
  TestReceiver watching{
      .link = link_,
      .policy = [](std::size_t i, const Frame&) { return i >= 2 ? Bytes{kNak} : Bytes{kAck}; },
      .watchdog = 10s};
  const auto expectDir = dir_ / "expected";
  const int rc = run(&watching, {"--records", "45", "--pause-before", "2", "--pause-ms", "11000",
                                 "--expect-dir", expectDir.string()});
  other.join();

  EXPECT_EQ(rc, kExitOk) << out_.str();
  EXPECT_EQ(watching.frames.size(), 3u);
  EXPECT_TRUE(said("NAKs: 2 (2 expected)")) << out_.str();
  // Only the header and the first data message are stored: 2 + 20 * 2 lines.
  std::ifstream in(expectDir / "QV 05.Dec.06  14.05.33.dat", std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  const std::string text = content.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 42);

  EXPECT_EQ(silentRc, kExitProtocol);
  EXPECT_NE(silentOut.str().find("no NAK from the receiver's watchdog"), std::string::npos)
      << silentOut.str();
}

}  // namespace
}  // namespace kestrand::meter_sim
