// The upload's header, records and message sequence.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tools/meter_sim/upload.h"

namespace kestrand::meter_sim {
namespace {

Bytes bodyOf(const Record& r) {
  Bytes b;
  appendRecord(b, r);
  return b;
}

TEST(UploadHeader, DefaultShortHeaderBody) {
  UploadDescription d;  // probe 0, mode 1, log rate 1, columns 1, 2006-12-05 14:05:33
  const Bytes expected{0x71, 0x53, 0x18, 0xB4, 0x04, 0x40, 0x00, 0x01, 0x00, 0x00};
  EXPECT_EQ(headerBody(headerFields(d)), expected);
}

TEST(UploadHeader, ModeWordFields) {
  EXPECT_EQ(modeWord(3, 1, 2, false), 0x3480);
  EXPECT_EQ(modeWord(15, 3, 15, true), 0xFFD0);
  EXPECT_EQ(modeWord(0, 0, 0, true), 0x0010);
  EXPECT_EQ(modeWord(0, 2, 0, false), 0x0800);
}

TEST(UploadHeader, PeriodicModeSendsTheLongHeader) {
  UploadDescription d;
  d.mode = 2;
  d.periodOn = 10;
  d.periodOff = 0x01020304;
  d.columns = 0x8001;
  d.moveAve = 60;
  const Bytes expected{0x71, 0x53, 0x18, 0xB4, 0x08, 0x40, 0x80, 0x01, 0x00,
                       0x3C, 0x00, 0x00, 0x00, 0x0A, 0x01, 0x02, 0x03, 0x04};
  EXPECT_EQ(headerBody(headerFields(d)), expected);
  d.mode = 1;
  EXPECT_EQ(headerBody(headerFields(d)).size(), 10u);
  d.longHeader = true;
  EXPECT_EQ(headerBody(headerFields(d)).size(), 18u);
}

TEST(UploadHeader, ElapsedHeaderCarriesTheFileNumber) {
  UploadDescription d;
  d.elapsed = true;
  d.fileNumber = 7;
  d.probe = 2;
  const Bytes expected{0x00, 0x00, 0x00, 0x07, 0x24, 0x50, 0x00, 0x01, 0x00, 0x00};
  EXPECT_EQ(headerBody(headerFields(d)), expected);
}

TEST(UploadRecords, SinglePointRecordLayout) {
  UploadDescription d;
  d.mode = 0;
  d.logRate = 7;  // 12 s
  d.moveAve = 5;
  d.columns = 0x0101;
  d.units = 3;
  d.records = 2;
  const auto records = makeRecords(d);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(recordSize(d), 12u);
  const Bytes second = bodyOf(records[1]);
  ASSERT_EQ(second.size(), 12u);
  EXPECT_EQ(second[0], 0x82);
  EXPECT_EQ(second[1], 3);
  // 14:05:45: 50745 s on day 3626.
  const Bytes stamp(second.begin() + 2, second.begin() + 6);
  EXPECT_EQ(stamp, (Bytes{0x71, 0x53, 0x18, 0xE4}));
  EXPECT_EQ(bodyOf(records[0])[5], 0xB4);
}

TEST(UploadRecords, StampStepIsWholeSecondsAtLeastOne) {
  EXPECT_EQ(stampStepSeconds(0), 1u);  // 0.5 s
  EXPECT_EQ(stampStepSeconds(2), 1u);  // 1.2 s
  EXPECT_EQ(stampStepSeconds(3), 1u);  // 1.5 s
  EXPECT_EQ(stampStepSeconds(6), 6u);
  EXPECT_EQ(stampStepSeconds(8), 60u);
  EXPECT_EQ(stampStepSeconds(9), 1u);
  EXPECT_EQ(stampStepSeconds(15), 1u);
}

TEST(UploadRecords, TagsWrapAt128AndKeepBit7OnTheWire) {
  UploadDescription d;
  d.records = 130;
  const auto records = makeRecords(d);
  EXPECT_EQ(records[126].tag, 127);
  EXPECT_EQ(records[127].tag, 0);
  EXPECT_EQ(records[128].tag, 1);
  EXPECT_EQ(bodyOf(records[127])[0], 0x80);
  EXPECT_EQ(bodyOf(records[126])[0], 0xFF);
}

TEST(UploadRecords, ValuesAreDeterministicAndInRange) {
  UploadDescription d;
  d.columns = 0xFFFF;
  d.moveAve = 1;
  d.records = 200;
  const auto a = makeRecords(d);
  const auto b = makeRecords(d);
  d.seed = 2;
  const auto c = makeRecords(d);
  std::set<unsigned> exponents;
  bool differs = false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].values, b[i].values);
    EXPECT_EQ(a[i].moveAvg, b[i].moveAvg);
    ASSERT_EQ(a[i].values.size(), 16u);
    differs = differs || a[i].values != c[i].values;
    for (std::uint16_t v : a[i].values) exponents.insert(v >> 13);
  }
  EXPECT_TRUE(differs);
  EXPECT_EQ(exponents, (std::set<unsigned>{0, 1, 2, 3, 4}));
}

TEST(UploadRecords, StuffingHeavyCyclesDleCodes) {
  UploadDescription d;
  d.stuffingHeavy = true;
  d.columns = 0x0007;
  d.records = 2;
  const auto records = makeRecords(d);
  const Bytes expected{0x81, 0x10, 0x10, 0x10, 0x10, 0x04, 0x10, 0x17,
                       0x82, 0x10, 0x10, 0x03, 0x10, 0x05, 0x10, 0x10};
  Bytes body;
  for (const auto& r : records) appendRecord(body, r);
  EXPECT_EQ(body, expected);
}

TEST(UploadRecords, ElapsedContinuousRecordsCarryElapsedStamps) {
  UploadDescription d;
  d.elapsed = true;
  d.mode = 1;
  d.logRate = 8;  // 60 s
  d.records = 3;
  EXPECT_TRUE(recordsCarryStamp(d));
  const auto records = makeRecords(d);
  ASSERT_TRUE(records[2].stamp.has_value());
  EXPECT_EQ(*records[2].stamp >> 19, 3626u);
  EXPECT_EQ((*records[2].stamp & 0x7FFFCu) >> 2, 120u);
  d.mode = 3;
  EXPECT_FALSE(recordsCarryStamp(d));
  d.mode = 1;
  d.records = 2186;  // 2185 * 60 s passes the 17 bits of seconds
  EXPECT_THROW(makeRecords(d), std::invalid_argument);
}

TEST(UploadPlan, MessagesTerminatorsAndRecordCounts) {
  UploadDescription d;
  d.records = 45;
  d.recordsPerMessage = 20;
  const auto plan = planUpload(d, makeRecords(d));
  ASSERT_EQ(plan.size(), 4u);
  EXPECT_EQ(plan[0].type, MessageType::kHeader);
  EXPECT_EQ(plan[0].terminator, Terminator::kHeaderEnd);
  EXPECT_EQ(plan[1].terminator, Terminator::kMoreFollow);
  EXPECT_EQ(plan[2].terminator, Terminator::kMoreFollow);
  EXPECT_EQ(plan[3].terminator, Terminator::kLast);
  EXPECT_EQ(plan[1].recordCount, 20u);
  EXPECT_EQ(plan[3].recordCount, 5u);
  EXPECT_EQ(plan[3].firstRecord, 40u);
  EXPECT_EQ(plan[3].body.size(), 20u);
  EXPECT_EQ(plan[3].body[0], 0x80 | 41);
}

TEST(UploadPlan, ExactMultipleEndsWithAFullLastMessage) {
  UploadDescription d;
  d.records = 40;
  d.recordsPerMessage = 20;
  const auto plan = planUpload(d, makeRecords(d));
  ASSERT_EQ(plan.size(), 3u);
  EXPECT_EQ(plan[2].recordCount, 20u);
  EXPECT_EQ(plan[2].terminator, Terminator::kLast);
}

TEST(UploadPlan, NoRecordsSendsOneEmptyLastMessage) {
  UploadDescription d;
  d.records = 0;
  const auto plan = planUpload(d, makeRecords(d));
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_TRUE(plan[1].body.empty());
  EXPECT_EQ(plan[1].terminator, Terminator::kLast);
}

}  // namespace
}  // namespace kestrand::meter_sim
