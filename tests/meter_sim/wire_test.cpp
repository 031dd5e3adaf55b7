// Frames as they travel, checked byte for byte against the worked messages of the link.

#include <gtest/gtest.h>

#include "tools/meter_sim/upload.h"
#include "tools/meter_sim/wire.h"

namespace kestrand::meter_sim {
namespace {

TEST(WireWorkedExamples, ShortHeader) {
  HeaderFields h;
  h.stampOrFileNumber = 0x01234567;
  h.modeWord = modeWord(/*probe=*/3, /*mode=*/1, /*logRate=*/2, /*elapsed=*/false);
  h.dataFormat = 1;
  h.moveAve = 0;
  const Bytes frame = encodeFrame(MessageType::kHeader, headerBody(h), Terminator::kHeaderEnd);
  const Bytes expected{0x10, 0x01, 0x01, 0x23, 0x45, 0x67, 0x34, 0x80,
                       0x00, 0x01, 0x00, 0x00, 0x85, 0x10, 0x03};
  EXPECT_EQ(frame, expected);
}

TEST(WireWorkedExamples, LastDataMessageWithOneRecord) {
  Record r;
  r.number = 1;
  r.tag = 1;
  r.units = 2;
  r.values = {valueCode(1, 1000)};
  Bytes body;
  appendRecord(body, r);
  const Bytes expected{0x10, 0x02, 0x81, 0x02, 0x23, 0xE8, 0x8E, 0x10, 0x04};
  EXPECT_EQ(encodeFrame(MessageType::kData, body, Terminator::kLast), expected);
  EXPECT_DOUBLE_EQ(decodeValue(0x23E8), 100.0);
}

TEST(WireWorkedExamples, UnitsCode16IsStuffed) {
  Record r;
  r.number = 1;
  r.tag = 1;
  r.units = 16;
  r.values = {0x23E8};
  Bytes body;
  appendRecord(body, r);
  const Bytes expected{0x10, 0x02, 0x81, 0x10, 0x10, 0x23, 0xE8, 0x9C, 0x10, 0x04};
  EXPECT_EQ(encodeFrame(MessageType::kData, body, Terminator::kLast), expected);
}

TEST(WireStuffing, ChecksumOf16TravelsDoubled) {
  const Bytes body{0x08, 0x08};
  const Bytes expected{0x10, 0x02, 0x08, 0x08, 0x10, 0x10, 0x10, 0x17};
  EXPECT_EQ(encodeFrame(MessageType::kData, body, Terminator::kMoreFollow), expected);
}

TEST(WireStuffing, BodyDleAndChecksumDleBothDoubled) {
  const Bytes body{0x10};
  const Bytes expected{0x10, 0x02, 0x10, 0x10, 0x10, 0x10, 0x10, 0x04};
  EXPECT_EQ(encodeFrame(MessageType::kData, body, Terminator::kLast), expected);
}

TEST(WireStuffing, RunOfDlesBeforeTerminatorByte) {
  // A value code 0x1004 must not end the frame: its DLE is doubled.
  const Bytes body{0x10, 0x04};
  const Bytes expected{0x10, 0x02, 0x10, 0x10, 0x04, 0x14, 0x10, 0x04};
  EXPECT_EQ(encodeFrame(MessageType::kData, body, Terminator::kLast), expected);
}

TEST(WireChecksum, SumWrapsModulo256) {
  EXPECT_EQ(checksum(Bytes{0xFF, 0x01}), 0x00);
  EXPECT_EQ(checksum(Bytes{0x81, 0x02, 0x23, 0xE8}), 0x8E);
  EXPECT_EQ(checksum(Bytes{}), 0x00);
}

TEST(WireChecksum, OverrideReplacesTheSumAndIsStuffedLikeIt) {
  const Bytes body{0x81, 0x02, 0x23, 0xE8};
  const Bytes wrong{0x10, 0x02, 0x81, 0x02, 0x23, 0xE8, 0x8F, 0x10, 0x04};
  EXPECT_EQ(encodeFrame(MessageType::kData, body, Terminator::kLast, 0x8F), wrong);
  const Bytes sixteen{0x10, 0x02, 0x81, 0x02, 0x23, 0xE8, 0x10, 0x10, 0x10, 0x04};
  EXPECT_EQ(encodeFrame(MessageType::kData, body, Terminator::kLast, 0x10), sixteen);
}

TEST(WireEmpty, EmptyLastDataMessage) {
  const Bytes expected{0x10, 0x02, 0x00, 0x10, 0x04};
  EXPECT_EQ(encodeFrame(MessageType::kData, Bytes{}, Terminator::kLast), expected);
}

TEST(ValueCoding, ExponentAndMantissaBoundaries) {
  EXPECT_EQ(valueCode(0, 0), 0x0000);
  EXPECT_EQ(valueCode(0, 8191), 0x1FFF);
  EXPECT_EQ(valueCode(7, 8191), 0xFFFF);
  EXPECT_EQ(valueCode(1, 1000), 0x23E8);
  EXPECT_THROW(valueCode(8, 0), std::invalid_argument);
  EXPECT_THROW(valueCode(0, 8192), std::invalid_argument);
  EXPECT_DOUBLE_EQ(decodeValue(0x1FFF), 8191.0);
  EXPECT_DOUBLE_EQ(decodeValue(0xFFFF), 8191.0 / 1e7);
  EXPECT_DOUBLE_EQ(decodeValue(valueCode(4, 1237)), 0.1237);
  EXPECT_DOUBLE_EQ(decodeValue(valueCode(5, 1)), 0.00001);
}

}  // namespace
}  // namespace kestrand::meter_sim
