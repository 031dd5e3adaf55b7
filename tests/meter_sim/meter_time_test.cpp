// Packed stamps and the date and time texts derived from them.

#include <gtest/gtest.h>

#include "tools/meter_sim/meter_time.h"

namespace kestrand::meter_sim {
namespace {

TEST(MeterStamp, DayNumbersStampsAndTheirTexts) {
  // 1 January 1997 is day 1; 2006-12-05 14:05:33 is day 3626, 50733 s; day 8191 is the last.
  const CivilTime last = addSeconds({1997, 1, 1, 23, 59, 59}, 8190LL * 86400);
  const struct {
    CivilTime t;
    std::int64_t day;
    std::uint32_t stamp;
    const char *date, *time;
  } rows[] = {
      {{1997, 1, 1, 0, 0, 0}, 1, 0x00080000u, "01/01/1997", "12:00:00 AM"},
      {{2006, 3, 6, 13, 5, 9}, 3352, 0x68C2E014u, "03/06/2006", "1:05:09 PM"},
      {{2006, 12, 5, 14, 5, 33}, 3626, 0x715318B4u, "12/05/2006", "2:05:33 PM"},
      {last, 8191, 0xFFFD45FCu, "06/05/2019", "11:59:59 PM"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.day);
    EXPECT_EQ(meterDayNumber(r.t), r.day);
    EXPECT_EQ(stampOf(r.t), r.stamp);
    EXPECT_EQ(civilOfStamp(r.stamp), r.t);
    EXPECT_EQ(dateText(r.t), r.date);
    EXPECT_EQ(timeText12(r.t, false), r.time);
  }
  EXPECT_FALSE(stampOf(addSeconds(last, 1)).has_value());
  // The low two bits are ignored: the worked header's stamp is day 36, 53593 s.
  EXPECT_EQ(civilOfStamp(0x01234567u), (CivilTime{1997, 2, 5, 14, 53, 13}));
}

TEST(MeterTime, ParsingTheStartOption) {
  EXPECT_EQ(parseCivilTime("2006-12-05 14:05:33"), (CivilTime{2006, 12, 5, 14, 5, 33}));
  EXPECT_EQ(parseCivilTime("2004-02-29 00:00:00"), (CivilTime{2004, 2, 29, 0, 0, 0}));
  for (const char* bad : {"2006-02-29 00:00:00", "2006-12-05T14:05:33", "2006-12-05 24:00:00",
                          "2006-12-5 14:05:33", "2006-12-05 14:05:3x"}) {
    EXPECT_FALSE(parseCivilTime(bad)) << bad;
  }
}

}  // namespace
}  // namespace kestrand::meter_sim
