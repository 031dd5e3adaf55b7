#include "link/decode.h"

namespace kestrand::link {
namespace {

std::int16_t byteAt(const Message& m, int i) {
  return (i >= 0 && i < kMsgCapacity) ? m.MsgBytes[static_cast<size_t>(i)] : std::int16_t{0};
}

std::uint32_t u32At(const Message& m, int i) {
  auto b = [&](int k) { return static_cast<std::uint32_t>(byteAt(m, i + k) & 0xFF); };
  return (b(0) << 24) | (b(1) << 16) | (b(2) << 8) | b(3);
}

std::uint16_t u16At(const Message& m, int i) {
  return static_cast<std::uint16_t>(((byteAt(m, i) & 0xFF) << 8) | (byteAt(m, i + 1) & 0xFF));
}

}  // namespace

bool checksumMatches(const Message& m) {
  int sum = 0;
  for (int i = 2; i <= m.MsgLength - 4; ++i) sum += byteAt(m, i);
  return sum % 256 == byteAt(m, m.MsgLength - 3);
}

std::int16_t messageType(const Message& m) {
  return byteAt(m, 1);
}

HeaderMsg decodeHeader(const Message& m) {
  HeaderMsg h;
  h.stamp = u32At(m, 2);
  const std::uint16_t modeWord = u16At(m, 6);
  h.ProbeType = static_cast<std::int16_t>((modeWord >> 12) & 15);
  h.LogMode = static_cast<std::int16_t>((modeWord >> 10) & 3);
  h.LogRate = static_cast<std::int16_t>((modeWord >> 6) & 15);
  h.elapsed = ((modeWord >> 4) & 1) != 0;
  h.DataFormat = u16At(m, 8);
  h.MoveAve = u16At(m, 10);
  // A short header ends right after the moving average: bytes 13 and 14 are its DLE ETX.
  h.longForm = !(byteAt(m, 13) == kDle && byteAt(m, 14) == kEtx);
  if (h.longForm) {
    h.PeriodOn = u32At(m, 12);
    h.PeriodOff = u32At(m, 16);
  }
  return h;
}

std::vector<DataRecord> decodeRecords(const Message& m, std::int16_t logMode, std::int32_t moveAve,
                                      std::int32_t dataFormat) {
  std::vector<DataRecord> records;
  const int len = m.MsgLength;
  int i = 2;
  while (i < len - 5) {
    DataRecord r;
    r.RecordTag = static_cast<std::int16_t>(byteAt(m, i) & 0x7F);
    r.UnitsCode = byteAt(m, i + 1);
    i += 2;
    if (logMode == 0) {
      r.stamp = u32At(m, i);
      i += 4;
    }
    if (i < len - 5 && moveAve != 0) {
      r.movingAverage = decodeValue(byteAt(m, i), byteAt(m, i + 1));
      i += 2;
    }
    // A record ends at the highest column present, or earlier when the message runs out.
    for (std::int32_t mask = dataFormat; i < len - 3 && mask != 0; mask /= 2) {
      if (mask & 1) {
        r.values.push_back(decodeValue(byteAt(m, i), byteAt(m, i + 1)));
        i += 2;
      }
    }
    records.push_back(std::move(r));
  }
  return records;
}

double decodeValue(std::int16_t hi, std::int16_t lo) {
  static constexpr double kPowersOfTen[8] = {1.0, 10.0, 100.0, 1e3, 1e4, 1e5, 1e6, 1e7};
  const unsigned w = (static_cast<unsigned>(hi & 0xFF) << 8) | static_cast<unsigned>(lo & 0xFF);
  const unsigned exponent = (w >> 13) & 7u;
  const unsigned mantissa = w & 0x1FFFu;
  return static_cast<double>(mantissa) / kPowersOfTen[exponent];
}

}  // namespace kestrand::link
