#include "adapters/posix/serial/line_marks.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "ports/serial_port.h"
#include "tests/serial/pty.h"

namespace kestrand::adapters::posix {

namespace {

using namespace std::string_literals;
using ::testing::PrintToString;

const auto bad = [](std::size_t at, unsigned char b = 0x41) {
  return MarkAt{LineMark::kBadByte, at, b};
};
const auto brk = [](std::size_t at) { return MarkAt{LineMark::kBreak, at, 0}; };

// Decodes `raw` in pieces cut at `cuts` (ascending), the pieces' mark offsets made absolute,
// and compares with `want`. A decoder still holding the start of a mark at the end is wrong.
::testing::AssertionResult decodesTo(const DecodedBytes& want, std::string_view raw,
                                     std::vector<std::size_t> cuts) {
  LineMarkDecoder decoder;
  DecodedBytes got;
  std::size_t from = 0;
  cuts.push_back(raw.size());
  for (const std::size_t to : cuts) {
    const DecodedBytes piece = decoder.feed(raw.substr(from, to - from));
    for (MarkAt m : piece.marks) {
      m.offset += got.bytes.size();
      got.marks.push_back(m);
    }
    got.bytes += piece.bytes;
    from = to;
  }
  if (got.bytes == want.bytes && got.marks == want.marks && !decoder.holding())
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "got " << PrintToString(got.bytes) << " with " << PrintToString(got.marks)
         << (decoder.holding() ? ", holding a mark" : "");
}

// --- LineMarkDecoder ---------------------------------------------------------------------

TEST(LineMarkDecoder, ExamplesDecodeTheSameWholeAndCutAtAnyOneOrTwoPositions) {
  struct Row {
    std::string raw;
    DecodedBytes want;
  };
  const Row rows[] = {
      {test::allByteValues() + "\xFF"s, {test::allByteValues(), {}}},  // FF doubled by the driver
      {"xy\xFF\x00\x00z\xFF\x00\x7Fw"s, {"xyzw", {brk(2), bad(3, 0x7F)}}},
      // A bad byte FF is not doubled and ends its mark.
      {"\xFF\x00\xFF\xFF\xFF"s, {"\xFF", {bad(0, 0xFF)}}},
      // Marks at both ends and in a row; 01 is the smallest bad byte, 00 a break.
      {"\xFF\x00\x00\xFF\x00\x01x\xFF\x00\x02"s, {"x", {brk(0), bad(0, 0x01), bad(1, 0x02)}}},
      // FF before an ordinary byte is no mark (the driver never sends it): nothing is lost.
      {"\xFFz\xFF\x10"s, {"\xFFz\xFF\x10", {}}},
      // Data 00 and FF next to marks.
      {"x\xFF\xFF\x00\xFF\x00\x00\xFF\x00\x41\x00\xFF\xFF"s,
       {"x\xFF\x00\x00\xFF"s, {brk(3), bad(3)}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(PrintToString(row.raw));
    for (std::size_t a = 0; a <= row.raw.size(); ++a) {
      for (std::size_t b = a; b <= row.raw.size(); ++b) {
        ASSERT_TRUE(decodesTo(row.want, row.raw, {a, b})) << "cut at " << a << " and " << b;
      }
    }
  }
}

// --- LineErrorClassifier -----------------------------------------------------------------

using Steps = std::vector<ReceiveStep>;
using C = LineCounters;
constexpr int kF = ports::comm_event::kFrame;
constexpr int kP = ports::comm_event::kRxParity;
constexpr int kB = ports::comm_event::kBreak;
constexpr int kO = ports::comm_event::kOverrun;
constexpr int kX = ports::comm_event::kRxOver;

const auto dec = [](std::string bytes, std::vector<MarkAt> marks = {}) {
  return DecodedBytes{std::move(bytes), std::move(marks)};
};

TEST(LineErrorClassifier, WorkedReadSequences) {
  LineErrorClassifier c;
  std::string what;
  int n = 0;
  auto start = [&](std::string name, std::optional<LineCounters> baseline) {
    what = std::move(name);
    n = 0;
    c.reset(baseline);
  };
  // One read: the decoded data, the counters read just after it, the steps expected.
  auto read = [&](DecodedBytes in, std::optional<LineCounters> now, const Steps& want) {
    EXPECT_EQ(want, c.steps(in, now)) << what << ", read " << ++n;
  };
  const auto none = std::nullopt;

  start("without counters: bad bytes are framing, break marks breaks", none);
  read(dec("abc"), none, {{"abc", 0}});
  read(dec(""), none, {});
  read(dec("abcd", {bad(2)}), none, {{"ab", kF}, {"cd", 0}});
  read(dec("xy", {brk(2)}), none, {{"xy", kB}});

  start("marks in a row with the same code raise it once, others stay separate", none);
  read(dec("ab", {bad(1), bad(1), bad(1)}), none, {{"a", kF}, {"b", 0}});
  read(dec("a", {bad(1), brk(1), bad(1)}), none, {{"a", kF}, {"", kB}, {"", kF}});

  start("each counter rise is a credit that one mark uses up", C{});
  read(dec("abc", {bad(1), bad(2)}), C{.frame = 1, .parity = 1}, {{"a", kP}, {"b", kF}, {"c", 0}});
  read(dec("", {brk(0)}), C{.frame = 2, .parity = 1}, {{"", kF}});
  read(dec("", {brk(0)}), C{.frame = 2, .parity = 1, .brk = 1}, {{"", kB}});
  read(dec("", {brk(0)}), C{.frame = 2, .parity = 2, .brk = 1}, {{"", kP}});
  // A break mark takes a break credit before a frame credit.
  read(dec("", {brk(0), brk(0)}), C{.frame = 3, .parity = 2, .brk = 2}, {{"", kB}, {"", kF}});
  // A bad byte taken as framing uses the frame credit up.
  read(dec("", {bad(0), brk(0)}), C{.frame = 4, .parity = 2, .brk = 2}, {{"", kF}, {"", kB}});

  start("a credit waits one read for its mark, then lapses", C{});
  read(dec("a"), C{.parity = 1}, {{"a", 0}});
  read(dec("", {bad(0)}), C{.parity = 1}, {{"", kP}});
  read(dec("a"), C{.parity = 2}, {{"a", 0}});
  read(dec("b"), C{.parity = 2}, {{"b", 0}});
  read(dec("", {bad(0)}), C{.parity = 2}, {{"", kF}});

  const C old{.frame = 7, .parity = 3, .overrun = 5, .brk = 4, .bufferOverrun = 2};
  start("counts from before opening are not reported", old);
  read(dec("ok", {bad(2)}), old, {{"ok", kF}});

  start("a read without counters invents no rise", C{});
  read(dec("", {brk(0)}), none, {{"", kB}});
  read(dec("", {brk(0)}), C{.frame = 1}, {{"", kF}});

  start("overrun and overflow come once per read, after its data", C{});
  read(dec("ab"), C{.overrun = 3}, {{"ab", kO}});
  read(dec(""), C{.overrun = 3, .bufferOverrun = 1}, {{"", kX}});
  read(dec("a", {bad(1)}), C{.overrun = 4, .bufferOverrun = 2}, {{"a", kF}, {"", kO}, {"", kX}});

  start("a counter that wraps around still rises", C{.overrun = 0xFFFFFFFFu});
  read(dec("x"), C{}, {{"x", kO}});
}

}  // namespace
}  // namespace kestrand::adapters::posix
