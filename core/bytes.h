#pragma once
// Eight bytes of text at a time in one 64-bit word (written by hand: nothing standard looks at
// the bytes of a word side by side). The word holds them as memory does on this machine, the
// first in its lowest byte.

#include <cstdint>
#include <cstring>

namespace kestrand {

inline constexpr std::uint64_t kEveryByte = 0x0101'0101'0101'0101u;
inline constexpr std::uint64_t kHighBits = 0x80 * kEveryByte;

// The eight bytes at `at`.
inline std::uint64_t eightBytes(const char* at) {
  std::uint64_t word = 0;
  std::memcpy(&word, at, 8);
  return word;
}

// 0x80 in each byte of the result whose byte of `word` is 0, and 0 elsewhere, exactly: no sum
// carries from one byte into the next.
inline std::uint64_t zeroBytes(std::uint64_t word) {
  constexpr std::uint64_t kLow7 = 0x7F * kEveryByte;
  return ~(((word & kLow7) + kLow7) | word | kLow7);
}

// Each byte of `a` less the byte of `b` beside it, modulo 256, without borrowing from the next.
inline std::uint64_t byteDifferences(std::uint64_t a, std::uint64_t b) {
  return ((a | kHighBits) - (b & ~kHighBits)) ^ ((a ^ ~b) & kHighBits);
}

}  // namespace kestrand
