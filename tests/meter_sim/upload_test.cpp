// The upload's header, records and message sequence.

#include <gtest/gtest.h>

#include <set>

#include "tools/meter_sim/upload.h"

namespace kestrand::meter_sim {
namespace {

Bytes bodyOf(const std::vector<Record>& records) {
  Bytes b;
  for (const Record& r : records) appendRecord(b, r);
  return b;
}

TEST(UploadHeader, ShortLongAndElapsedBodies) {
  EXPECT_EQ(modeWord(15, 3, 15, true), 0xFFD0);
  // The default upload: probe 0, mode 1, log rate 1, columns 1, 2006-12-05 14:05:33.
  EXPECT_EQ(headerBody(headerFields({})),
            (Bytes{0x71, 0x53, 0x18, 0xB4, 0x04, 0x40, 0x00, 0x01, 0x00, 0x00}));
  // Periodic mode, or the option, sends the long header with both periods.
  EXPECT_EQ(
      headerBody(headerFields(
          {.mode = 2, .columns = 0x8001, .moveAve = 60, .periodOn = 10, .periodOff = 0x01020304})),
      (Bytes{0x71, 0x53, 0x18, 0xB4, 0x08, 0x40, 0x80, 0x01, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x0A,
             0x01, 0x02, 0x03, 0x04}));
  EXPECT_EQ(
      headerBody(headerFields({.periodOff = 7, .longHeader = true})),
      (Bytes{0x71, 0x53, 0x18, 0xB4, 0x04, 0x40, 0x00, 0x01, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 7}));
  // An elapsed-time header carries the file number instead of a stamp.
  EXPECT_EQ(headerBody(headerFields({.probe = 2, .elapsed = true})),
            (Bytes{0x00, 0x00, 0x00, 0x07, 0x24, 0x50, 0x00, 0x01, 0x00, 0x00}));
}

TEST(UploadRecords, SinglePointLayoutAndStampSteps) {
  const UploadDescription d{
      .mode = 0, .logRate = 7, .columns = 0x0101, .moveAve = 5, .records = 2, .units = 3};
  EXPECT_EQ(recordSize(d), 12u);
  const Bytes second = bodyOf({makeRecords(d).at(1)});
  ASSERT_EQ(second.size(), 12u);
  // Tag with bit 7, units, then the stamp 12 s after the start: 50745 s on day 3626.
  EXPECT_EQ(Bytes(second.begin(), second.begin() + 6), (Bytes{0x82, 3, 0x71, 0x53, 0x18, 0xE4}));
  // The stamps step by the log interval in whole seconds, at least one.
  const std::pair<int, std::uint32_t> steps[] = {{0, 1}, {2, 1}, {3, 1}, {6, 6}, {8, 60}, {15, 1}};
  for (const auto& [rate, step] : steps) EXPECT_EQ(stampStepSeconds(rate), step) << rate;
}

TEST(UploadRecords, TagsWrapAt128AndKeepBit7OnTheWire) {
  const auto records = makeRecords({.records = 130});
  EXPECT_EQ(records[126].tag, 127);
  EXPECT_EQ(records[128].tag, 1);
  EXPECT_EQ(bodyOf({records[127]})[0], 0x80);
  EXPECT_EQ(bodyOf({records[126]})[0], 0xFF);
}

TEST(UploadRecords, ValuesAreDeterministicAndInRange) {
  UploadDescription d{.columns = 0xFFFF, .moveAve = 1, .records = 200};
  const auto records = makeRecords(d);
  EXPECT_EQ(bodyOf(makeRecords(d)), bodyOf(records));
  std::set<unsigned> exponents;
  for (const Record& r : records) {
    ASSERT_EQ(r.values.size(), 16u);
    for (std::uint16_t v : r.values) exponents.insert(v >> 13);
  }
  EXPECT_EQ(exponents, (std::set<unsigned>{0, 1, 2, 3, 4}));
  d.seed = 2;
  EXPECT_NE(bodyOf(makeRecords(d)), bodyOf(records));

  // The stuffing-heavy upload cycles through codes holding DLE, with units code 16.
  EXPECT_EQ(bodyOf(makeRecords({.columns = 7, .records = 2, .stuffingHeavy = true})),
            (Bytes{0x81, 0x10, 0x10, 0x10, 0x10, 0x04, 0x10, 0x17, 0x82, 0x10, 0x10, 0x03, 0x10,
                   0x05, 0x10, 0x10}));
}

TEST(UploadRecords, ElapsedContinuousAndPeriodicRecordsCarryElapsedStamps) {
  EXPECT_TRUE(recordsCarryStamp({.mode = 2, .elapsed = true}));
  EXPECT_FALSE(recordsCarryStamp({.mode = 3, .elapsed = true}));
  // 60 s apart from second 0 of the start's day number.
  UploadDescription d{.mode = 1, .logRate = 8, .elapsed = true, .records = 3};
  const auto records = makeRecords(d);
  ASSERT_TRUE(records[2].stamp.has_value());
  EXPECT_EQ(*records[2].stamp >> 19, 3626u);
  EXPECT_EQ((*records[2].stamp & 0x7FFFCu) >> 2, 120u);
  d.records = 2186;  // 2185 * 60 s passes the 17 bits of seconds
  EXPECT_THROW(makeRecords(d), std::invalid_argument);
}

TEST(UploadPlan, MessagesTerminatorsAndRecordCounts) {
  // Records, records per message, and the record counts of the data messages.
  const struct {
    std::uint32_t records, perMessage;
    std::vector<std::size_t> counts;
  } rows[] = {{45, 20, {20, 20, 5}}, {40, 20, {20, 20}}, {0, 20, {0}}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.records);
    const UploadDescription d{.records = r.records, .recordsPerMessage = r.perMessage};
    const auto plan = planUpload(d, makeRecords(d));
    ASSERT_EQ(plan.size(), r.counts.size() + 1);
    EXPECT_EQ(plan[0].type, MessageType::kHeader);
    EXPECT_EQ(plan[0].terminator, Terminator::kHeaderEnd);
    for (std::size_t k = 1; k < plan.size(); ++k) {
      EXPECT_EQ(plan[k].type, MessageType::kData);
      EXPECT_EQ(plan[k].recordCount, r.counts[k - 1]);
      EXPECT_EQ(plan[k].firstRecord, (k - 1) * r.perMessage);
      EXPECT_EQ(plan[k].body.size(), 4 * r.counts[k - 1]);
      if (r.counts[k - 1] > 0) {
        EXPECT_EQ(plan[k].body[0], 0x80 | (plan[k].firstRecord + 1));
      }
      EXPECT_EQ(plan[k].terminator,
                k + 1 == plan.size() ? Terminator::kLast : Terminator::kMoreFollow);
    }
  }
}

}  // namespace
}  // namespace kestrand::meter_sim
