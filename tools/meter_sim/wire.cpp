#include "tools/meter_sim/wire.h"

namespace kestrand::meter_sim {

std::uint8_t checksum(std::span<const std::uint8_t> body) {
  unsigned sum = 0;
  for (std::uint8_t b : body) sum += b;
  return static_cast<std::uint8_t>(sum & 0xFFu);
}

void appendStuffed(Bytes& out, std::span<const std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) {
    out.push_back(b);
    if (b == kDle) out.push_back(kDle);
  }
}

Bytes encodeFrame(MessageType type, std::span<const std::uint8_t> body, Terminator terminator,
                  std::optional<std::uint8_t> checksumOverride) {
  Bytes frame;
  frame.reserve(body.size() * 2 + 6);
  frame.push_back(kDle);
  frame.push_back(static_cast<std::uint8_t>(type));
  appendStuffed(frame, body);
  const std::uint8_t sum = checksumOverride.value_or(checksum(body));
  frame.push_back(sum);
  if (sum == kDle) frame.push_back(kDle);
  frame.push_back(kDle);
  frame.push_back(static_cast<std::uint8_t>(terminator));
  return frame;
}

void appendBe16(Bytes& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value & 0xFFu));
}

void appendBe32(Bytes& out, std::uint32_t value) {
  appendBe16(out, static_cast<std::uint16_t>(value >> 16));
  appendBe16(out, static_cast<std::uint16_t>(value & 0xFFFFu));
}

}  // namespace kestrand::meter_sim
