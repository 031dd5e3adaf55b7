#include "platform/qt/serial/receive_queue.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/serial_port.h"

namespace kestrand::platform {
namespace {

constexpr int kReceive = comm_event::kReceive;
constexpr int kFrame = comm_event::kFrame;
constexpr int kBreak = comm_event::kBreak;

// What a handler saw: the code, and for receive notifications what readAll gave.
struct Seen {
  int code;
  std::string read;
  bool operator==(const Seen&) const = default;
};

struct Recorder {
  ReceiveQueue queue;
  std::vector<Seen> seen;
  Recorder() {
    queue.setHandler([this](int code) {
      seen.push_back({code, code == kReceive ? queue.take() : std::string()});
    });
  }
};

TEST(ReceiveQueue, DataBeforeAnErrorIsReadFirstAndDataAfterItComesWithItsOwnNotification) {
  Recorder r;
  r.queue.push({{"ab", kFrame}, {"cd", 0}});
  r.queue.deliver();
  EXPECT_EQ((std::vector<Seen>{{kReceive, "ab"}, {kFrame, ""}, {kReceive, "cd"}}), r.seen);
  EXPECT_TRUE(r.queue.empty());
}

TEST(ReceiveQueue, ErrorWithoutDataRaisesNoReceiveAndEmptyStepsRaiseNothing) {
  Recorder r;
  r.queue.push({{"", kBreak}, {"", 0}, {"", kFrame}});
  r.queue.deliver();
  EXPECT_EQ((std::vector<Seen>{{kBreak, ""}, {kFrame, ""}}), r.seen);
}

TEST(ReceiveQueue, BytesNotReadStayForTheNextRead) {
  ReceiveQueue q;
  std::vector<int> codes;
  q.setHandler([&](int code) { codes.push_back(code); });
  q.push({{"ab", kFrame}, {"cd", 0}});
  q.deliver();
  EXPECT_EQ((std::vector<int>{kReceive, kFrame, kReceive}), codes);
  EXPECT_EQ("abcd", q.take());
  EXPECT_EQ("", q.take());
}

TEST(ReceiveQueue, DeliveryAskedForInsideTheHandlerWaitsUntilItReturns) {
  ReceiveQueue q;
  int depth = 0;
  int deepest = 0;
  std::vector<Seen> seen;
  q.setHandler([&](int code) {
    ++depth;
    deepest = std::max(deepest, depth);
    seen.push_back({code, code == kReceive ? q.take() : std::string()});
    if (seen.size() == 1) {
      // As a nested event loop would: more bytes arrive and ask for delivery.
      q.push({{"x", kBreak}});
      q.deliver();
      EXPECT_TRUE(q.delivering());
    }
    --depth;
  });
  q.push({{"a", kFrame}});
  q.deliver();
  EXPECT_EQ(1, deepest);
  EXPECT_FALSE(q.delivering());
  EXPECT_EQ((std::vector<Seen>{{kReceive, "a"}, {kFrame, ""}, {kReceive, "x"}, {kBreak, ""}}),
            seen);
}

TEST(ReceiveQueue, ClearingInsideTheHandlerStopsWhatWasQueued) {
  ReceiveQueue q;
  std::vector<int> codes;
  q.setHandler([&](int code) {
    codes.push_back(code);
    if (codes.size() == 1) q.clear();  // the port was closed
  });
  q.push({{"ab", kFrame}, {"cd", kBreak}});
  q.deliver();
  EXPECT_EQ((std::vector<int>{kReceive}), codes);
  EXPECT_EQ("", q.take());
  EXPECT_TRUE(q.empty());
  // What is queued after the clearing (the port reopened) is delivered again.
  q.push({{"e", 0}});
  q.deliver();
  EXPECT_EQ((std::vector<int>{kReceive, kReceive}), codes);
}

TEST(ReceiveQueue, HandlerReplacedWhileRunningTakesTheNextEvent) {
  ReceiveQueue q;
  std::vector<std::string> log;
  q.setHandler([&](int code) {
    log.push_back("first " + std::to_string(code));
    q.setHandler([&](int c) { log.push_back("second " + std::to_string(c)); });
    log.push_back("first still running");
  });
  q.push({{"a", kFrame}});
  q.deliver();
  EXPECT_EQ((std::vector<std::string>{"first 2", "first still running", "second 1004"}), log);
}

TEST(ReceiveQueue, HandlerThatThrowsDoesNotBlockLaterDeliveries) {
  ReceiveQueue q;
  int calls = 0;
  q.setHandler([&](int) {
    if (++calls == 1) throw std::runtime_error("handler failed");
  });
  q.push({{"a", 0}});
  EXPECT_THROW(q.deliver(), std::runtime_error);
  EXPECT_FALSE(q.delivering());
  q.push({{"b", 0}});
  q.deliver();
  EXPECT_EQ(2, calls);
}

}  // namespace
}  // namespace kestrand::platform
