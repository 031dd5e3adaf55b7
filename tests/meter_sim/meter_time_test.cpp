// Packed stamps and the date and time texts derived from them.

#include <gtest/gtest.h>

#include "tools/meter_sim/meter_time.h"

namespace kestrand::meter_sim {
namespace {

TEST(MeterStamp, FirstDayOfTheMeterCalendar) {
  const CivilTime t{1997, 1, 1, 0, 0, 0};
  EXPECT_EQ(meterDayNumber(t), 1);
  EXPECT_EQ(stampOf(t), 0x00080000u);
  EXPECT_EQ(dateText(civilOfStamp(0x00080000u)), "01/01/1997");
  EXPECT_EQ(timeText12(civilOfStamp(0x00080000u), false), "12:00:00 AM");
}

TEST(MeterStamp, KnownDaysAndTheDefaultStart) {
  EXPECT_EQ(meterDayNumber({2006, 3, 6, 0, 0, 0}), 3352);
  // 2006-12-05 14:05:33: day 3626, 50733 s.
  EXPECT_EQ(stampOf({2006, 12, 5, 14, 5, 33}), 0x715318B4u);
  const CivilTime back = civilOfStamp(0x715318B4u);
  EXPECT_EQ(back, (CivilTime{2006, 12, 5, 14, 5, 33}));
}

TEST(MeterStamp, LowTwoBitsAreIgnoredWhenUnpacking) {
  // The stamp of the worked header: day 36, 53593 s, low bits 11.
  const CivilTime t = civilOfStamp(0x01234567u);
  EXPECT_EQ(dateText(t), "02/05/1997");
  EXPECT_EQ(timeText12(t, false), "2:53:13 PM");
}

TEST(MeterStamp, CalendarEnds) {
  // Day 8191 is the last the word can hold.
  const CivilTime last = addSeconds({1997, 1, 1, 23, 59, 59}, 8190LL * 86400);
  EXPECT_EQ(meterDayNumber(last), 8191);
  EXPECT_TRUE(stampOf(last).has_value());
  EXPECT_FALSE(stampOf(addSeconds(last, 1)).has_value());
  EXPECT_EQ(stampOf(last), 0xFFFD45FCu);
}

TEST(MeterTime, AddingSecondsCrossesDaysMonthsAndLeapDays) {
  EXPECT_EQ(addSeconds({2006, 12, 31, 23, 59, 59}, 1), (CivilTime{2007, 1, 1, 0, 0, 0}));
  EXPECT_EQ(addSeconds({2004, 2, 28, 12, 0, 0}, 86400), (CivilTime{2004, 2, 29, 12, 0, 0}));
  EXPECT_EQ(addSeconds({2006, 3, 1, 0, 0, 0}, -1), (CivilTime{2006, 2, 28, 23, 59, 59}));
}

TEST(MeterTime, TwelveHourTexts) {
  EXPECT_EQ(timeText12({2006, 1, 1, 13, 5, 9}, false), "1:05:09 PM");
  EXPECT_EQ(timeText12({2006, 1, 1, 13, 5, 9}, true), "01:05:09 PM");
  EXPECT_EQ(timeText12({2006, 1, 1, 12, 30, 0}, false), "12:30:00 PM");
  EXPECT_EQ(timeText12({2006, 1, 1, 0, 30, 0}, true), "12:30:00 AM");
  EXPECT_EQ(timeText12({2006, 1, 1, 11, 59, 59}, false), "11:59:59 AM");
}

TEST(MeterTime, FileNameParts) {
  EXPECT_EQ(nameDateText({2006, 12, 5, 14, 5, 33}), "05.Dec.06");
  EXPECT_EQ(nameDateText({2010, 1, 15, 0, 0, 0}), "15.Jan.10");
  EXPECT_EQ(nameTimeText({2006, 12, 5, 14, 5, 33}), "14.05.33");
  EXPECT_EQ(nameTimeText({2006, 12, 5, 0, 0, 9}), "00.00.09");
}

TEST(MeterTime, ParsingTheStartOption) {
  EXPECT_EQ(parseCivilTime("2006-12-05 14:05:33"), (CivilTime{2006, 12, 5, 14, 5, 33}));
  EXPECT_EQ(parseCivilTime("2004-02-29 00:00:00"), (CivilTime{2004, 2, 29, 0, 0, 0}));
  EXPECT_FALSE(parseCivilTime("2006-02-29 00:00:00"));
  EXPECT_FALSE(parseCivilTime("2006-12-05T14:05:33"));
  EXPECT_FALSE(parseCivilTime("2006-12-05 24:00:00"));
  EXPECT_FALSE(parseCivilTime("2006-12-5 14:05:33"));
  EXPECT_FALSE(parseCivilTime("2006-12-05 14:05:3x"));
}

}  // namespace
}  // namespace kestrand::meter_sim
