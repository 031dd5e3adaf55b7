#pragma once
// Byte-level framing of the meter link: control bytes, byte stuffing, checksum and frames.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kestrand::meter_sim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kDle = 16;
inline constexpr std::uint8_t kEnq = 5;
inline constexpr std::uint8_t kAck = 6;
inline constexpr std::uint8_t kNak = 21;

// Second byte of a frame.
enum class MessageType : std::uint8_t { kHeader = 1, kData = 2 };

// Byte after the closing DLE of a frame.
enum class Terminator : std::uint8_t {
  kHeaderEnd = 3,   // ETX: ends a header message
  kLast = 4,        // EOT: ends the last data message of an upload
  kMoreFollow = 23  // ETB: ends a data message that more data messages follow
};

// The sum of the (unstuffed) body bytes, modulo 256.
std::uint8_t checksum(std::span<const std::uint8_t> body);

// Appends `bytes` with every byte 16 doubled.
void appendStuffed(Bytes& out, std::span<const std::uint8_t> bytes);

// A whole frame as it travels: DLE, type, stuffed body, checksum (itself doubled when it is 16),
// DLE, terminator. `checksumOverride` replaces the computed checksum (a deliberately bad frame).
Bytes encodeFrame(MessageType type, std::span<const std::uint8_t> body, Terminator terminator,
                  std::optional<std::uint8_t> checksumOverride = std::nullopt);

// Big-endian appenders.
void appendBe16(Bytes& out, std::uint16_t value);
void appendBe32(Bytes& out, std::uint32_t value);

}  // namespace kestrand::meter_sim
