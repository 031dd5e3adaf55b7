// Frames as they travel, checked byte for byte against the worked messages of the link.

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kestrand::meter_sim
