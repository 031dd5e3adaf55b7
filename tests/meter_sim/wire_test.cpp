// Frames as they travel, checked byte for byte against the worked messages of the link.

#include <gtest/gtest.h>

#include <optional>

#include "tools/meter_sim/upload.h"
#include "tools/meter_sim/wire.h"

namespace kestrand::meter_sim {
namespace {

TEST(Wire, WorkedMessages) {
  HeaderFields h;
  h.stampOrFileNumber = 0x01234567;
  h.modeWord = modeWord(/*probe=*/3, /*mode=*/1, /*logRate=*/2, /*elapsed=*/false);
  h.dataFormat = 1;
  EXPECT_EQ(encodeFrame(MessageType::kHeader, headerBody(h), Terminator::kHeaderEnd),
            (Bytes{0x10, 0x01, 0x01, 0x23, 0x45, 0x67, 0x34, 0x80, 0x00, 0x01, 0x00, 0x00, 0x85,
                   0x10, 0x03}));

  // The last data message with one record of value 100; then with units code 16, stuffed.
  Record r;
  r.tag = 1;
  r.units = 2;
  r.values = {valueCode(1, 1000)};
  Bytes body;
  appendRecord(body, r);
  EXPECT_EQ(encodeFrame(MessageType::kData, body, Terminator::kLast),
            (Bytes{0x10, 0x02, 0x81, 0x02, 0x23, 0xE8, 0x8E, 0x10, 0x04}));
  r.units = 16;
  body.clear();
  appendRecord(body, r);
  EXPECT_EQ(encodeFrame(MessageType::kData, body, Terminator::kLast),
            (Bytes{0x10, 0x02, 0x81, 0x10, 0x10, 0x23, 0xE8, 0x9C, 0x10, 0x04}));
}

TEST(Wire, EveryDleIsDoubledAndTheChecksumWrapsAndMayBeReplaced) {
  // A checksum of 16 travels doubled, also beside a doubled body byte; a value code 0x1004 must
  // not end the frame; a replaced checksum is sent, and stuffed, like a computed one.
  const struct {
    Bytes body;
    Terminator end;
    std::optional<std::uint8_t> sum;
    Bytes frame;
  } rows[] = {
      // clang-format off
      {{0x08, 0x08}, Terminator::kMoreFollow, {}, {0x10, 0x02, 0x08, 0x08, 0x10, 0x10, 0x10, 0x17}},
      {{0x10}, Terminator::kLast, {}, {0x10, 0x02, 0x10, 0x10, 0x10, 0x10, 0x10, 0x04}},
      {{0x10, 0x04}, Terminator::kLast, {}, {0x10, 0x02, 0x10, 0x10, 0x04, 0x14, 0x10, 0x04}},
      {{0xFF, 0x01}, Terminator::kLast, {}, {0x10, 0x02, 0xFF, 0x01, 0x00, 0x10, 0x04}},
      {{}, Terminator::kLast, {}, {0x10, 0x02, 0x00, 0x10, 0x04}},
      {{0x81, 0x02}, Terminator::kLast, 0x8F, {0x10, 0x02, 0x81, 0x02, 0x8F, 0x10, 0x04}},
      {{0x81, 0x02}, Terminator::kLast, 0x10, {0x10, 0x02, 0x81, 0x02, 0x10, 0x10, 0x10, 0x04}},
      // clang-format on
  };
  for (const auto& r : rows) {
    EXPECT_EQ(encodeFrame(MessageType::kData, r.body, r.end, r.sum), r.frame)
        << ::testing::PrintToString(r.body);
  }
}

TEST(ValueCoding, ExponentAndMantissaBoundaries) {
  EXPECT_EQ(valueCode(0, 8191), 0x1FFF);
  EXPECT_EQ(valueCode(7, 8191), 0xFFFF);
  EXPECT_THROW(valueCode(8, 0), std::invalid_argument);
  EXPECT_THROW(valueCode(0, 8192), std::invalid_argument);
  EXPECT_DOUBLE_EQ(decodeValue(0x23E8), 100.0);
  EXPECT_DOUBLE_EQ(decodeValue(0xFFFF), 8191.0 / 1e7);
}

}  // namespace
}  // namespace kestrand::meter_sim
