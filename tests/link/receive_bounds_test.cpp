// The receive buffer stays bounded on endless noise and decides, whatever the chunks, exactly as
// a search of the whole unbounded buffer would.

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "link/receive_path.h"

namespace kestrand::testing {
namespace {

using link::ReceivePath;
using link::RxOutcome;
using Kind = RxOutcome::Kind;

const std::string kFrame = "\x10\x02\x81\x02\x23\xE8\x8E\x10\x04";  // a data message, DLE EOT

TEST(ReceiveBounds, EightMegabytesOfNoiseKeepTheBufferSmall) {
  // Noise behind a DLE that never ends (stuffed DLE DLE 04 pairs are data, also when a chunk
  // border splits them), which makes the next frame over-long; the resend then lands.
  ReceivePath rx;
  rx.onChunk("\x10\x02");
  std::string chunk;
  while (chunk.size() < 4093) chunk += "\x41\x10\x10\x04\x42";  // borders at every phase
  std::size_t sent = 2;
  for (; sent < (8u << 20); sent += chunk.size())
    ASSERT_EQ(rx.onChunk(chunk).kind, Kind::kNeedMore);
  EXPECT_LE(rx.RxBuffer().capacity() + rx.LastMsg().capacity(), 8192u);
  const RxOutcome out = rx.onChunk(kFrame);
  EXPECT_EQ(out.kind, Kind::kTooLong);
  EXPECT_EQ(out.bufferLength, sent + kFrame.size());  // counted whole
  ASSERT_EQ(rx.onChunk(kFrame).kind, Kind::kMessage);
  EXPECT_EQ(rx.message().MsgLength, 9);
}

// The first DLE+`code` in `buffer` that is a control DLE (1-based position of its DLE, 0 when
// absent): a DLE after an odd run of DLEs is stuffed data; positions 1 and 2 stand.
int findTerminator(const std::string& buffer, char code) {
  const std::string pattern = {'\x10', code};
  for (std::size_t at = buffer.find(pattern); at != std::string::npos;
       at = buffer.find(pattern, at + 1)) {
    std::size_t run = 0;
    while (run < at && buffer[at - 1 - run] == '\x10') ++run;
    if (at < 2 || run % 2 == 0) return static_cast<int>(at) + 1;
  }
  return 0;
}

// The receive buffer as a plain unbounded text, searched whole on every chunk.
struct Unbounded {
  RxOutcome onChunk(std::string_view chunk) {
    RxOutcome out;
    if (chunk.empty()) return out;
    buffer.append(chunk);
    const std::size_t dle = buffer.find('\x10');
    if (dle != std::string::npos) buffer.erase(0, dle);
    if (buffer.size() < 2) return out;
    last = buffer;
    out.kind = Kind::kEnquiry;
    if (findTerminator(buffer, '\x05') == 0) {
      int endpt = 0;
      for (char code : {'\x04', '\x17', '\x03'})
        if (endpt == 0) endpt = findTerminator(buffer, code);
      out.kind = Kind::kNeedMore;
      if (endpt == 0) return out;
      out.bufferLength = buffer.size();
      out.kind = link::ConvMsg(buffer, endpt, msg) ? Kind::kMessage : Kind::kTooLong;
    }
    buffer.clear();
    return out;
  }
  std::string buffer;
  std::string last;
  link::Message msg;
};

TEST(ReceiveBounds, AnyChunkingDecidesAsTheWholeBufferWould) {
  // Frames, enquiries, stuffed pairs, stray terminators and noise; message starts followed by
  // more than the message array takes, so that over-long runs end in terminators and hold
  // message starts of their own.
  std::mt19937 random(20061205);
  const std::string pieces[] = {kFrame,         "\x10\x05",
                                "\x10\x10\x04", "\x10\x01",
                                "\x10\x03",     "\x10\x17",
                                "\x10",         std::string(300, 'n'),
                                "xy",           "\x10\x02" + std::string(1100, 'A')};
  std::string stream;
  for (int i = 0; i < 1000; ++i) stream += pieces[random() % std::size(pieces)];
  for (std::size_t maxChunk : {std::size_t{1}, std::size_t{16}, std::size_t{700}, stream.size()}) {
    ReceivePath rx;
    Unbounded whole;
    std::map<Kind, int> seen;
    for (std::size_t at = 0; at < stream.size();) {
      const std::string_view chunk = std::string_view(stream).substr(at, 1 + random() % maxChunk);
      at += chunk.size();
      const RxOutcome got = rx.onChunk(chunk);
      const RxOutcome want = whole.onChunk(chunk);
      ++seen[got.kind];
      ASSERT_EQ(got.kind, want.kind) << at;
      ASSERT_EQ(got.bufferLength, want.bufferLength) << at;
      ASSERT_EQ(rx.message().MsgBytes, whole.msg.MsgBytes) << at;
      ASSERT_EQ(rx.RxBuffer(), whole.buffer.substr(0, 1025)) << at;
      ASSERT_EQ(rx.LastMsg(), whole.last.substr(0, 1025)) << at;
    }
    if (maxChunk < 700u) {
      EXPECT_GT(seen[Kind::kTooLong] * seen[Kind::kMessage], 0) << maxChunk;
    }
  }
}

}  // namespace
}  // namespace kestrand::testing
