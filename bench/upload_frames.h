#pragma once
// Messages of a whole upload as the meter sends them, for the benchmarks and the latency probe:
// a header message (ends DLE ETX) and data messages of a fixed number of records (DLE ETB, the
// last one DLE EOT). Built from the wire rules alone (standard library only), so that the
// latency probe needs no project library.

#include <cstdint>
#include <string>
#include <vector>

namespace kestrand::bench {

inline constexpr char kDle = 16;
inline constexpr char kEnq = 5;
inline constexpr char kAck = 6;
inline constexpr char kNak = 21;

// DLE, type, stuffed body, stuffed checksum (sum of the body bytes modulo 256), DLE, terminator.
inline std::string frame(int type, const std::vector<std::uint8_t>& body, std::uint8_t terminator) {
  std::string f = {kDle, static_cast<char>(type)};
  unsigned sum = 0;
  for (std::uint8_t b : body) {
    sum += b;
    f.push_back(static_cast<char>(b));
    if (b == 16) f.push_back(kDle);
  }
  const auto checksum = static_cast<std::uint8_t>(sum % 256);
  f.push_back(static_cast<char>(checksum));
  if (checksum == 16) f.push_back(kDle);
  f.push_back(kDle);
  f.push_back(static_cast<char>(terminator));
  return f;
}

inline void put16(std::vector<std::uint8_t>& v, unsigned w) {
  v.push_back(static_cast<std::uint8_t>((w >> 8) & 0xFF));
  v.push_back(static_cast<std::uint8_t>(w & 0xFF));
}
inline void put32(std::vector<std::uint8_t>& v, std::uint32_t w) {
  put16(v, w >> 16);
  put16(v, w & 0xFFFF);
}

// A packed date-and-time stamp: day number (1 = 1 January 1997) in bits 31..19, second of the
// day in bits 18..2.
inline std::uint32_t packedStamp(std::uint32_t dayNumber, std::uint32_t secondOfDay) {
  return (dayNumber << 19) | (secondOfDay << 2);
}

// A 16-bit value: decimal exponent in bits 13..15, mantissa in bits 0..12.
inline unsigned packedValue(unsigned mantissa, unsigned exponent) {
  return (exponent << 13) | (mantissa & 0x1FFF);
}

struct UploadShape {
  int mode = 1;          // the header's mode field; 0 = every record carries a time stamp
  unsigned columns = 2;  // data columns per record (bits of the data format)
  bool movingAverage = true;
  int recordsPerMessage = 60;
  int dataMessages = 100;
};

struct Upload {
  std::string header;
  std::vector<std::string> data;  // the last one ends DLE EOT, the others DLE ETB
  long long records = 0;
  long long wireBytes = 0;  // header and data messages as they travel
};

inline Upload makeUpload(const UploadShape& s) {
  Upload u;
  const std::uint32_t start = packedStamp(8000, 12 * 3600);
  std::vector<std::uint8_t> h;
  put32(h, start);
  put16(h, (3u << 12) | (static_cast<unsigned>(s.mode) << 10) | (2u << 6));
  put16(h, (1u << s.columns) - 1u);
  put16(h, s.movingAverage ? 4u : 0u);
  u.header = frame(1, h, 3);
  u.wireBytes += static_cast<long long>(u.header.size());

  unsigned n = 0;
  for (int m = 0; m < s.dataMessages; ++m) {
    std::vector<std::uint8_t> body;
    for (int r = 0; r < s.recordsPerMessage; ++r, ++n) {
      body.push_back(static_cast<std::uint8_t>(0x80 | (n % 128)));
      body.push_back(2);  // units code
      if (s.mode == 0) put32(body, start + (n << 2));
      // Values run through every byte value, 16 (stuffed on the line) included.
      if (s.movingAverage) put16(body, packedValue(1000 + n % 7000, 2));
      for (unsigned c = 0; c < s.columns; ++c)
        put16(body, packedValue((n * 37 + c * 101) % 8192, c + 1));
    }
    u.data.push_back(frame(2, body, m + 1 == s.dataMessages ? 4 : 23));
    u.wireBytes += static_cast<long long>(u.data.back().size());
    u.records += s.recordsPerMessage;
  }
  return u;
}

}  // namespace kestrand::bench
