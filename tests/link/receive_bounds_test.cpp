// The receive buffer stays bounded on endless noise, costs the same per chunk whatever came
// before, and decides exactly as a search of the whole unbounded buffer would.

#include <gtest/gtest.h>

#include <random>

#include "link/receive_path.h"

namespace kestrand::testing {
namespace {

using link::ReceivePath;
using link::RxOutcome;
using Kind = RxOutcome::Kind;

const std::string kFrame = "\x10\x02\x81\x02\x23\xE8\x8E\x10\x04";  // a data message, DLE EOT
constexpr std::size_t kBound = 4096;

std::string messageOf(const ReceivePath& rx) {
  std::string s;
  for (int i = 0; i < rx.message().MsgLength; ++i)
    s.push_back(static_cast<char>(rx.message().MsgBytes[static_cast<std::size_t>(i)]));
  return s;
}

TEST(ReceiveBounds, EightMegabytesOfNoiseKeepTheBufferSmall) {
  // Noise without any DLE; noise behind a DLE that never ends (with stuffed DLE DLE 04 pairs
  // that are data, split across chunk borders); the latter makes the next frame over-long.
  const std::string patterns[] = {"ABC\x03\x04\x05\x17xyz", "\x41\x10\x10\x04\x42"};
  for (const std::string& pattern : patterns) {
    const bool framed = pattern.find('\x10') != std::string::npos;
    ReceivePath rx;
    if (framed) rx.onChunk("\x10\x02");
    std::string chunk;
    while (chunk.size() < 4093) chunk += pattern;  // chunk borders fall at every phase
    for (std::size_t sent = 0; sent < (8u << 20); sent += chunk.size())
      ASSERT_EQ(rx.onChunk(chunk).kind, Kind::kNeedMore);
    EXPECT_LE(rx.RxBuffer().capacity(), kBound);
    EXPECT_LE(rx.LastMsg().capacity(), kBound);
    EXPECT_GE(rx.bufferedLength(), 8u << 20);
    const std::size_t before = rx.bufferedLength();
    RxOutcome out = rx.onChunk(kFrame);
    if (framed) {
      EXPECT_EQ(out.kind, Kind::kTooLong);
      EXPECT_EQ(out.bufferLength, before + kFrame.size());
      out = rx.onChunk(kFrame);  // the resend
    }
    ASSERT_EQ(out.kind, Kind::kMessage);
    EXPECT_EQ(out.bufferLength, kFrame.size());
    EXPECT_EQ(messageOf(rx), kFrame);
  }
}

TEST(ReceiveBounds, OverLongRunEndsInALineErrorWhateverItHolds) {
  // A message start inside an over-long run is body, not a new message; a terminator at
  // 1-based position 1025 is the first that does not fit.
  const std::string body(2000, 'A');
  const std::string cases[] = {"\x10\x02" + body + "\x10\x04", "\x10\x02" + body + kFrame,
                               "\x10\x02" + std::string(1022, 'A') + "\x10\x17"};
  for (std::size_t step : {1u, 2u, 7u, 1000u, 5000u}) {
    for (const std::string& stream : cases) {
      ReceivePath rx;
      RxOutcome out;
      for (std::size_t at = 0; at < stream.size(); at += step)
        out = rx.onChunk(std::string_view(stream).substr(at, step));
      EXPECT_EQ(out.kind, Kind::kTooLong) << step;
      EXPECT_EQ(out.bufferLength, stream.size()) << step;
      EXPECT_EQ(rx.onChunk(kFrame).kind, Kind::kMessage) << step;
    }
  }
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
    if (link::findTerminator(buffer, '\x05') > 0) {
      buffer.clear();
      out.kind = Kind::kEnquiry;
      return out;
    }
    int endpt = 0;
    for (char code : {'\x04', '\x17', '\x03'})
      if (endpt == 0) endpt = link::findTerminator(buffer, code);
    out.kind = Kind::kNeedMore;
    if (endpt == 0) return out;
    out.bufferLength = buffer.size();
    out.kind = link::ConvMsg(buffer, endpt, msg) ? Kind::kMessage : Kind::kTooLong;
    buffer.clear();
    return out;
  }
  std::string buffer;
  link::Message msg;
};

TEST(ReceiveBounds, AnyChunkingDecidesAsTheWholeBufferWould) {
  std::mt19937 random(20061205);
  const std::string pieces[] = {kFrame,     "\x10\x05", "\x10\x10\x04", "\x10\x01",
                                "\x10\x03", "\x10\x17", "\x10",         std::string(300, 'n'),
                                "xy"};
  std::string stream;
  for (int i = 0; i < 3000; ++i) stream += pieces[random() % std::size(pieces)];
  for (std::size_t maxChunk : {1u, 16u, 700u}) {
    ReceivePath rx;
    Unbounded whole;
    for (std::size_t at = 0; at < stream.size();) {
      const std::size_t n = 1 + random() % maxChunk;
      const std::string_view chunk = std::string_view(stream).substr(at, n);
      at += n;
      const RxOutcome got = rx.onChunk(chunk);
      const RxOutcome want = whole.onChunk(chunk);
      ASSERT_EQ(got.kind, want.kind) << at;
      ASSERT_EQ(got.bufferLength, want.bufferLength) << at;
      if (got.kind == Kind::kMessage) {
        ASSERT_EQ(rx.message().MsgLength, whole.msg.MsgLength);
        ASSERT_EQ(rx.message().MsgBytes, whole.msg.MsgBytes);
      }
      ASSERT_EQ(rx.RxBuffer(), whole.buffer.substr(0, 1025)) << at;
    }
  }
}

}  // namespace
}  // namespace kestrand::testing
