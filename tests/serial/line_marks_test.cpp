#include "platform/qt/serial/line_marks.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <vector>

#include "platform/serial_port.h"
#include "tests/serial/pty.h"

namespace kestrand::platform {

void PrintTo(const MarkAt& m, std::ostream* os) {
  *os << (m.mark == LineMark::kBreak ? "break" : "bad byte") << " at " << m.offset << " ("
      << static_cast<int>(m.byte) << ")";
}
void PrintTo(const ReceiveStep& s, std::ostream* os) {
  *os << "{\"" << s.bytes << "\", " << s.lineError << "}";
}

namespace {

using namespace std::string_literals;

// What the line brought, one entry per received character or condition.
struct Item {
  enum Kind { kData, kBad, kBreak } kind;
  unsigned char byte = 0;
};

// The stream as the terminal driver hands it over with marking on.
std::string asDriverSends(const std::vector<Item>& items) {
  std::string s;
  for (const Item& i : items) {
    const char b = static_cast<char>(i.byte);
    switch (i.kind) {
      case Item::kData:
        if (i.byte == 0xFF)
          s += "\xFF\xFF"s;
        else
          s += b;
        break;
      case Item::kBad:
        s += "\xFF\x00"s;
        s += b;
        break;
      case Item::kBreak:
        s += "\xFF\x00\x00"s;
        break;
    }
  }
  return s;
}

DecodedBytes expectedOf(const std::vector<Item>& items) {
  DecodedBytes d;
  for (Item i : items) {
    // A bad zero byte looks exactly like a break.
    if (i.kind == Item::kBad && i.byte == 0) i.kind = Item::kBreak;
    if (i.kind == Item::kData) {
      d.bytes.push_back(static_cast<char>(i.byte));
    } else {
      d.marks.push_back(MarkAt{i.kind == Item::kBreak ? LineMark::kBreak : LineMark::kBadByte,
                               d.bytes.size(),
                               i.kind == Item::kBreak ? static_cast<unsigned char>(0) : i.byte});
    }
  }
  return d;
}

// Decodes `raw` cut at `cuts` (ascending positions) and joins the pieces, offsets made
// absolute.
DecodedBytes decodeInPieces(std::string_view raw, const std::vector<std::size_t>& cuts) {
  LineMarkDecoder decoder;
  DecodedBytes all;
  std::size_t from = 0;
  auto take = [&](std::size_t to) {
    DecodedBytes part = decoder.feed(raw.substr(from, to - from));
    for (MarkAt m : part.marks) {
      m.offset += all.bytes.size();
      all.marks.push_back(m);
    }
    all.bytes += part.bytes;
    from = to;
  };
  for (std::size_t c : cuts) take(c);
  take(raw.size());
  EXPECT_FALSE(decoder.holding());
  return all;
}

void expectSame(const DecodedBytes& want, const DecodedBytes& got) {
  EXPECT_EQ(want.bytes, got.bytes);
  EXPECT_EQ(want.marks, got.marks);
}

std::vector<Item> mixedItems() {
  return {{Item::kData, 'A'},  {Item::kData, 0xFF}, {Item::kData, 0x00}, {Item::kBreak},
          {Item::kData, 0xFF}, {Item::kData, 0xFF}, {Item::kBad, 0x41},  {Item::kBad, 0xFF},
          {Item::kData, 0x10}, {Item::kData, 0x04}, {Item::kBreak},      {Item::kBreak},
          {Item::kData, 0x00}, {Item::kData, 0xFF}};
}

// --- LineMarkDecoder ---------------------------------------------------------------------

TEST(LineMarkDecoder, EveryByteValueComesBackOnceAndUnmarked) {
  std::vector<Item> items;
  for (int b = 0; b < 256; ++b) items.push_back({Item::kData, static_cast<unsigned char>(b)});
  LineMarkDecoder decoder;
  const DecodedBytes d = decoder.feed(asDriverSends(items));
  EXPECT_EQ(test::allByteValues(), d.bytes);
  EXPECT_TRUE(d.marks.empty());
  EXPECT_FALSE(decoder.holding());
}

TEST(LineMarkDecoder, MarksAreTakenOutAndReportedWhereTheyStood) {
  LineMarkDecoder decoder;
  const DecodedBytes d = decoder.feed(
      "AB\xFF\x00\x00"
      "C\xFF\x00\x7F"
      "D"s);
  EXPECT_EQ("ABCD", d.bytes);
  ASSERT_EQ(2u, d.marks.size());
  EXPECT_EQ((MarkAt{LineMark::kBreak, 2, 0}), d.marks[0]);
  EXPECT_EQ((MarkAt{LineMark::kBadByte, 3, 0x7F}), d.marks[1]);
}

TEST(LineMarkDecoder, BadByteFfIsNotDoubledAndEndsTheMark) {
  LineMarkDecoder decoder;
  const DecodedBytes d = decoder.feed(
      "\xFF\x00\xFF"
      "\xFF\xFF"s);
  EXPECT_EQ("\xFF", d.bytes);
  ASSERT_EQ(1u, d.marks.size());
  EXPECT_EQ((MarkAt{LineMark::kBadByte, 0, 0xFF}), d.marks[0]);
}

TEST(LineMarkDecoder, MarksAtTheEdgesAndInARow) {
  LineMarkDecoder decoder;
  const DecodedBytes d = decoder.feed(
      "\xFF\x00\x00\xFF\x00\x01"
      "x"
      "\xFF\x00\x02"s);
  EXPECT_EQ("x", d.bytes);
  ASSERT_EQ(3u, d.marks.size());
  EXPECT_EQ(0u, d.marks[0].offset);
  EXPECT_EQ(0u, d.marks[1].offset);
  EXPECT_EQ((MarkAt{LineMark::kBadByte, 1, 0x02}), d.marks[2]);
}

TEST(LineMarkDecoder, ChunkEndingInAMarkKeepsItsStartForTheNextChunk) {
  LineMarkDecoder decoder;
  DecodedBytes d = decoder.feed("A\xFF"s);
  EXPECT_EQ("A", d.bytes);
  EXPECT_TRUE(decoder.holding());
  d = decoder.feed("\xFF"s);
  EXPECT_EQ("\xFF", d.bytes);
  EXPECT_FALSE(decoder.holding());

  d = decoder.feed("\xFF"s);
  EXPECT_TRUE(d.bytes.empty());
  d = decoder.feed("\x00"s);
  EXPECT_TRUE(d.bytes.empty());
  EXPECT_TRUE(d.marks.empty());
  EXPECT_TRUE(decoder.holding());
  d = decoder.feed(
      "\x00"
      "B"s);
  EXPECT_EQ("B", d.bytes);
  ASSERT_EQ(1u, d.marks.size());
  EXPECT_EQ((MarkAt{LineMark::kBreak, 0, 0}), d.marks[0]);
}

TEST(LineMarkDecoder, EmptyChunkChangesNothing) {
  LineMarkDecoder decoder;
  decoder.feed("\xFF"s);
  const DecodedBytes d = decoder.feed("");
  EXPECT_TRUE(d.bytes.empty());
  EXPECT_TRUE(decoder.holding());
  EXPECT_EQ("\xFF", decoder.feed("\xFF"s).bytes);
}

TEST(LineMarkDecoder, FfBeforeAnOrdinaryByteIsKeptAsData) {
  // The driver never sends this while marking; nothing may be lost if it happens.
  LineMarkDecoder decoder;
  EXPECT_EQ(
      "\xFF"
      "A\xFF"
      "B",
      decoder
          .feed("\xFF"
                "A\xFF"s +
                "B")
          .bytes);
  decoder.feed("\xFF"s);
  EXPECT_EQ("\xFF\x10", decoder.feed("\x10"s).bytes);
}

TEST(LineMarkDecoder, ResetDropsAnUnfinishedMark) {
  LineMarkDecoder decoder;
  decoder.feed("\xFF\x00"s);
  decoder.reset();
  EXPECT_FALSE(decoder.holding());
  const DecodedBytes d = decoder.feed("\x05"s);
  EXPECT_EQ("\x05", d.bytes);
  EXPECT_TRUE(d.marks.empty());
}

TEST(LineMarkDecoder, SplitAtEveryPositionGivesTheSameResult) {
  const std::vector<Item> items = mixedItems();
  const std::string raw = asDriverSends(items);
  const DecodedBytes want = expectedOf(items);
  for (std::size_t cut = 0; cut <= raw.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    expectSame(want, decodeInPieces(raw, {cut}));
  }
  for (std::size_t a = 0; a <= raw.size(); ++a) {
    for (std::size_t b = a; b <= raw.size(); ++b) {
      SCOPED_TRACE("cuts at " + std::to_string(a) + ", " + std::to_string(b));
      expectSame(want, decodeInPieces(raw, {a, b}));
    }
  }
}

TEST(LineMarkDecoder, RandomStreamsInRandomPieces) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> kind(0, 9);
  for (int round = 0; round < 300; ++round) {
    std::vector<Item> items;
    const int n = 1 + round % 40;
    for (int i = 0; i < n; ++i) {
      const int k = kind(rng);
      // Favour 0xFF and 0x00, which make the marks.
      const int b = k < 2 ? 0xFF : k < 3 ? 0x00 : byte(rng);
      items.push_back({k == 8   ? Item::kBad
                       : k == 9 ? Item::kBreak
                                : Item::kData,
                       static_cast<unsigned char>(k == 9 ? 0 : b)});
    }
    const std::string raw = asDriverSends(items);
    std::vector<std::size_t> cuts;
    for (std::size_t i = 1; i < raw.size(); ++i)
      if (rng() % 3 == 0) cuts.push_back(i);
    SCOPED_TRACE("round " + std::to_string(round));
    expectSame(expectedOf(items), decodeInPieces(raw, cuts));
  }
}

// --- LineErrorClassifier -----------------------------------------------------------------

DecodedBytes decoded(std::string bytes, std::vector<MarkAt> marks = {}) {
  return DecodedBytes{std::move(bytes), std::move(marks)};
}
MarkAt bad(std::size_t at, unsigned char b = 0x41) {
  return {LineMark::kBadByte, at, b};
}
MarkAt brk(std::size_t at) {
  return {LineMark::kBreak, at, 0};
}

using Steps = std::vector<ReceiveStep>;
constexpr int kFrame = comm_event::kFrame;
constexpr int kParity = comm_event::kRxParity;
constexpr int kBreak = comm_event::kBreak;
constexpr int kOverrun = comm_event::kOverrun;
constexpr int kRxOver = comm_event::kRxOver;

TEST(LineErrorClassifier, DataWithoutMarksIsOneStep) {
  LineErrorClassifier c;
  c.reset(std::nullopt);
  EXPECT_EQ((Steps{{"abc", 0}}), c.steps(decoded("abc"), std::nullopt));
  EXPECT_EQ(Steps{}, c.steps(decoded(""), std::nullopt));
}

TEST(LineErrorClassifier, WithoutCountersBadBytesAreFramingAndBreaksAreBreaks) {
  LineErrorClassifier c;
  c.reset(std::nullopt);
  EXPECT_EQ((Steps{{"ab", kFrame}, {"cd", 0}}), c.steps(decoded("abcd", {bad(2)}), std::nullopt));
  EXPECT_EQ((Steps{{"", kBreak}, {"x", 0}}), c.steps(decoded("x", {brk(0)}), std::nullopt));
  EXPECT_EQ((Steps{{"xy", kBreak}}), c.steps(decoded("xy", {brk(2)}), std::nullopt));
}

TEST(LineErrorClassifier, MarksInARowWithTheSameCodeRaiseItOnce) {
  LineErrorClassifier c;
  c.reset(std::nullopt);
  EXPECT_EQ((Steps{{"a", kFrame}, {"b", 0}}),
            c.steps(decoded("ab", {bad(1), bad(1), bad(1)}), std::nullopt));
  // Different codes in a row, and the same code with data between, stay apart.
  EXPECT_EQ((Steps{{"a", kFrame}, {"", kBreak}, {"", kFrame}}),
            c.steps(decoded("a", {bad(1), brk(1), bad(1)}), std::nullopt));
  EXPECT_EQ((Steps{{"a", kFrame}, {"b", kFrame}}),
            c.steps(decoded("ab", {bad(1), bad(2)}), std::nullopt));
}

TEST(LineErrorClassifier, ParityCountTurnsOneBadByteIntoAParityError) {
  LineErrorClassifier c;
  c.reset(LineCounters{});
  LineCounters now;
  now.parity = 1;
  now.frame = 1;
  EXPECT_EQ((Steps{{"a", kParity}, {"b", kFrame}, {"c", 0}}),
            c.steps(decoded("abc", {bad(1), bad(2)}), now));
}

TEST(LineErrorClassifier, BreakMarkIsFramingWhenOnlyTheFrameCounterRose) {
  LineErrorClassifier c;
  c.reset(LineCounters{});
  LineCounters now;
  now.frame = 1;
  EXPECT_EQ((Steps{{"", kFrame}}), c.steps(decoded("", {brk(0)}), now));
  now.brk = 1;
  EXPECT_EQ((Steps{{"", kBreak}}), c.steps(decoded("", {brk(0)}), now));
  now.parity = 1;
  EXPECT_EQ((Steps{{"", kParity}}), c.steps(decoded("", {brk(0)}), now));
  // Counters that did not rise leave the default.
  EXPECT_EQ((Steps{{"", kBreak}}), c.steps(decoded("", {brk(0)}), now));
}

TEST(LineErrorClassifier, HistoryBeforeOpeningIsNotReported) {
  LineErrorClassifier c;
  LineCounters old;
  old.frame = 7;
  old.parity = 3;
  old.overrun = 5;
  old.bufferOverrun = 2;
  old.brk = 4;
  c.reset(old);
  EXPECT_EQ((Steps{{"ok", kFrame}}), c.steps(decoded("ok", {bad(2)}), old));
  // Counters that only become readable later start from their first reading.
  LineErrorClassifier late;
  late.reset(std::nullopt);
  EXPECT_EQ((Steps{{"ok", 0}}), late.steps(decoded("ok"), old));
  old.overrun += 1;
  EXPECT_EQ((Steps{{"ok", kOverrun}}), late.steps(decoded("ok"), old));
}

TEST(LineErrorClassifier, OverrunAndBufferOverflowFollowTheReadsData) {
  LineErrorClassifier c;
  c.reset(LineCounters{});
  LineCounters now;
  now.overrun = 3;  // three lost bytes in one read: one event
  EXPECT_EQ((Steps{{"ab", kOverrun}}), c.steps(decoded("ab"), now));
  now.bufferOverrun = 1;
  EXPECT_EQ((Steps{{"", kRxOver}}), c.steps(decoded(""), now));
  now.overrun += 1;
  now.bufferOverrun += 1;
  EXPECT_EQ((Steps{{"a", kFrame}, {"", kOverrun}, {"", kRxOver}}),
            c.steps(decoded("a", {bad(1)}), now));
  EXPECT_EQ((Steps{{"quiet", 0}}), c.steps(decoded("quiet"), now));
}

TEST(LineErrorClassifier, CountersThatWrapAroundStillCount) {
  LineErrorClassifier c;
  LineCounters old;
  old.overrun = 0xFFFFFFFFu;
  c.reset(old);
  LineCounters now;
  now.overrun = 0;
  EXPECT_EQ((Steps{{"x", kOverrun}}), c.steps(decoded("x"), now));
}

TEST(LineErrorClassifier, CreditWaitsOneReadForItsMarkThenLapses) {
  LineErrorClassifier c;
  c.reset(LineCounters{});
  LineCounters now;
  now.parity = 1;
  // The counter rose before the marked byte could be read.
  EXPECT_EQ((Steps{{"a", 0}}), c.steps(decoded("a"), now));
  EXPECT_EQ((Steps{{"", kParity}}), c.steps(decoded("", {bad(0)}), now));

  now.parity = 2;
  EXPECT_EQ((Steps{{"a", 0}}), c.steps(decoded("a"), now));
  EXPECT_EQ((Steps{{"b", 0}}), c.steps(decoded("b"), now));
  EXPECT_EQ((Steps{{"", kFrame}}), c.steps(decoded("", {bad(0)}), now));
}

TEST(LineErrorClassifier, NoCountersAfterAReadDoesNotInventRises) {
  LineErrorClassifier c;
  c.reset(LineCounters{});
  EXPECT_EQ((Steps{{"", kBreak}}), c.steps(decoded("", {brk(0)}), std::nullopt));
  LineCounters now;
  now.frame = 1;
  EXPECT_EQ((Steps{{"", kFrame}}), c.steps(decoded("", {brk(0)}), now));
}

}  // namespace
}  // namespace kestrand::platform
