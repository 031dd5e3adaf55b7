#include "adapters/posix/serial/receive_queue.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "ports/serial_port.h"

namespace kestrand::adapters::posix {
namespace {

constexpr int kReceive = ports::comm_event::kReceive;
constexpr int kFrame = ports::comm_event::kFrame;
constexpr int kBreak = ports::comm_event::kBreak;

// What a handler saw: the code, and for receive notifications what take() gave.
struct Seen {
  int code;
  std::string read;
  bool operator==(const Seen&) const = default;
};
using Log = std::vector<Seen>;

// A queue whose handler records every event (reading on receive notifications unless told
// not to) and how deeply it is nested, then runs `during`.
class ReceiveQueueTest : public ::testing::Test {
 protected:
  ReceiveQueueTest() {
    q.setHandler([this](int code) {
      deepest = std::max(deepest, ++depth);
      seen.push_back({code, code == kReceive && reads ? q.take() : std::string()});
      if (during) during();
      --depth;
    });
  }
  ReceiveQueue q;
  Log seen;
  bool reads = true;
  int depth = 0;
  int deepest = 0;
  std::function<void()> during;
};

TEST_F(ReceiveQueueTest, EachStepsDataIsReadBeforeItsErrorAndEmptyStepsRaiseNothing) {
  const std::pair<std::vector<ReceiveStep>, Log> rows[] = {
      {{{"ab", kFrame}, {"cd", 0}}, {{kReceive, "ab"}, {kFrame, ""}, {kReceive, "cd"}}},
      {{{"", kBreak}, {"", 0}, {"x", 0}, {"", kFrame}},
       {{kBreak, ""}, {kReceive, "x"}, {kFrame, ""}}},
  };
  for (const auto& [steps, want] : rows) {
    seen.clear();
    q.push(steps);
    q.deliver();
    EXPECT_EQ(want, seen);
    EXPECT_TRUE(q.empty());
  }
  // Bytes not read stay for the next read, and only for it.
  reads = false;
  q.push({{"ab", kFrame}, {"cd", 0}});
  q.deliver();
  EXPECT_EQ("abcd", q.take());
  EXPECT_EQ("", q.take());
}

TEST_F(ReceiveQueueTest, DeliveryAskedForInsideTheHandlerWaitsUntilItReturns) {
  during = [this] {
    if (seen.size() > 1) return;
    // As a nested event loop would: more bytes arrive and ask for delivery.
    q.push({{"x", kBreak}});
    q.deliver();
    EXPECT_TRUE(q.delivering());
  };
  q.push({{"a", kFrame}});
  q.deliver();
  EXPECT_EQ(1, deepest);
  EXPECT_FALSE(q.delivering());
  EXPECT_EQ((Log{{kReceive, "a"}, {kFrame, ""}, {kReceive, "x"}, {kBreak, ""}}), seen);
}

TEST_F(ReceiveQueueTest, ClearingInsideTheHandlerStopsWhatWasQueuedButNotWhatComesAfter) {
  during = [this] {
    if (seen.size() == 1) q.clear();  // the port was closed
  };
  q.push({{"ab", kFrame}, {"cd", kBreak}});
  q.deliver();
  EXPECT_EQ("", q.take());
  q.push({{"e", 0}});  // the port reopened
  q.deliver();
  EXPECT_EQ((Log{{kReceive, "ab"}, {kReceive, "e"}}), seen);
}

}  // namespace
}  // namespace kestrand::adapters::posix
