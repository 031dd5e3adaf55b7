#include "datetime/datetime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kestrand::datetime {
namespace {

// A packed word from a day number and seconds, with the two unused low bits given.
std::uint32_t stamp(std::uint32_t day, std::uint32_t seconds, std::uint32_t low = 0) {
  return (day << 19) | (seconds << 2) | low;
}

std::string convertedDate(std::string text, int choice, int doNotUseNow = 1, int elapsed = 0,
                          platform::LocalTime today = {}) {
  ChangeDate(text, doNotUseNow, elapsed, choice, today);
  return text;
}

std::string convertedTime(std::string text, int choice, int elapsed = 0) {
  ChangeTime(text, elapsed, choice);
  return text;
}

TEST(CivilDays, CountsFromTheFirstOfJanuary1970AcrossLeapRules) {
  EXPECT_EQ(daysFromCivil({1970, 1, 1}), 0);
  EXPECT_EQ(daysFromCivil({1969, 12, 31}), -1);
  EXPECT_EQ(daysFromCivil({2000, 2, 29}), 11016);
  EXPECT_EQ(daysFromCivil({2100, 3, 1}), 47541);
  EXPECT_EQ(daysFromCivil({1, 1, 1}), -719162);
  EXPECT_EQ(civilFromDays(11017), (CivilDate{2000, 3, 1}));
  EXPECT_EQ(civilFromDays(47540), (CivilDate{2100, 2, 28}));  // 2100 has no 29 February
  EXPECT_EQ(civilFromDays(2932896), (CivilDate{9999, 12, 31}));

  // Four centuries around 1970 go there and back, each day one after the other.
  CivilDate previous = civilFromDays(-73049);
  for (std::int64_t n = -73048; n <= 73049; ++n) {
    const CivilDate d = civilFromDays(n);
    ASSERT_EQ(daysFromCivil(d), n);
    const bool nextDay = d.day == previous.day + 1 && d.month == previous.month;
    const bool nextMonth = d.day == 1 && (d.month == previous.month + 1 ||
                                          (d.month == 1 && d.year == previous.year + 1));
    ASSERT_TRUE(nextDay || nextMonth) << n;
    previous = d;
  }

  EXPECT_EQ(addSeconds({{2006, 12, 31}, 86000}, 400), (Instant{{2007, 1, 1}, 0}));
  EXPECT_EQ(addSeconds({{2100, 2, 28}, 3600}, 86400), (Instant{{2100, 3, 1}, 3600}));
  EXPECT_EQ(addSeconds({{2007, 1, 1}, 0}, -1), (Instant{{2006, 12, 31}, 86399}));
  EXPECT_EQ(addSeconds({{2007, 1, 1}, 10}, -86410), (Instant{{2006, 12, 31}, 0}));
}

TEST(Stamp, DayNumberOneIsTheFirstOfJanuary1997) {
  EXPECT_EQ(stampDayNumber(stamp(3352, 47109, 3)), 3352u);
  EXPECT_EQ(stampSeconds(stamp(3352, 47109, 3)), 47109u);
  EXPECT_EQ(stampDayNumber(0xFFFFFFFFu), 8191u);
  EXPECT_EQ(stampSeconds(0xFFFFFFFFu), 131071u);
  EXPECT_EQ(stampInstant(stamp(0, 86399)), (Instant{{1996, 12, 31}, 86399}));
  EXPECT_EQ(stampInstant(stamp(1155, 86461)), (Instant{{2000, 3, 1}, 61}));  // runs into next day
  EXPECT_EQ(stampInstant(stamp(8191, 131071)), (Instant{{2019, 6, 6}, 44671}));

  EXPECT_EQ(GetDate(stamp(1, 0)), "01/01/1997");
  EXPECT_EQ(GetDate(stamp(0, 0)), "12/31/1996");
  EXPECT_EQ(GetDate(stamp(3352, 47109)), "03/06/2006");
  EXPECT_EQ(GetDate(stamp(1155, 0)), "02/29/2000");
  EXPECT_EQ(GetDate(stamp(1156, 100000)), "03/01/2000");  // the seconds do not move the date
  EXPECT_EQ(GetDate(stamp(8191, 131071, 3)), "06/05/2019");
}

TEST(GetTime, ElapsedHoursUnwrappedElseTwelveHourClock) {
  EXPECT_EQ(GetTime(stamp(0, 3909), 1), "01:05:09");
  EXPECT_EQ(GetTime(stamp(5, 100000), 1), "27:46:40");
  EXPECT_EQ(GetTime(stamp(0, 0), 1), "00:00:00");
  EXPECT_EQ(GetTime(stamp(0, 131071, 3), 2), "36:24:31");
  EXPECT_EQ(GetTime(stamp(1, 0), 0), "12:00:00 AM");
  EXPECT_EQ(GetTime(stamp(1, 47109), 0), "1:05:09 PM");
  EXPECT_EQ(GetTime(stamp(1, 3909), 0), "1:05:09 AM");
  EXPECT_EQ(GetTime(stamp(1, 43199), 0), "11:59:59 AM");
  EXPECT_EQ(GetTime(stamp(1, 45000), 0), "12:30:00 PM");
  EXPECT_EQ(GetTime(stamp(1, 86399), 0), "11:59:59 PM");
}

TEST(ChangeDate, SplitsAndReordersKeepingTheDigits) {
  for (int choice = 1; choice <= 4; ++choice) {
    EXPECT_EQ(convertedDate("03/05/2006", choice), "03/05/2006");
    EXPECT_EQ(convertedDate("", choice), "");
  }
  EXPECT_EQ(convertedDate("03/05/2006", 5), "2006/03/05");
  EXPECT_EQ(convertedDate("03/05/2006", 6), "2006/03/05");
  EXPECT_EQ(convertedDate("03/05/2006", 8), "05/03/2006");
  EXPECT_EQ(convertedDate("03/05/2006", 9), "05/03/2006");
  EXPECT_EQ(convertedDate("1/2/3/4", 5), "34/1/2");
  EXPECT_EQ(convertedDate(" 3 / 5 - 2006", 9), "5/3/2006");
  EXPECT_EQ(convertedDate("03.05.2006", 9), "/03.05.2006/");
  // Under six characters: 1 January 1970 in the chosen order.
  EXPECT_EQ(convertedDate("", 7), "01-Jan-1970");
  EXPECT_EQ(convertedDate("", 9), "01/01/1970");
  EXPECT_EQ(convertedDate("1/2/3", 5), "1970/01/01");
  EXPECT_EQ(convertedDate("1/2/34", 8), "2/1/34");
}

TEST(ChangeDate, MonthNamesForTheDayMonthNameChoice) {
  EXPECT_EQ(convertedDate("03/05/2006", 7), "05-Mar-2006");
  EXPECT_EQ(convertedDate("3-5-06", 7), "5-Mar-06");
  const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int m = 1; m <= 12; ++m) {
    const std::string expected = std::string("15-") + names[m - 1] + "-2006";
    EXPECT_EQ(convertedDate(std::to_string(m) + "/15/2006", 7), expected);
    if (m < 10) {
      EXPECT_EQ(convertedDate("0" + std::to_string(m) + "/15/2006", 7), expected);
    }
  }
  for (const char* month : {"13", "00", "010", "001"}) {
    EXPECT_EQ(convertedDate(std::string(month) + "/15/2006", 7),
              "15-" + std::string(month) + "-2006");
  }
}

TEST(ChangeDate, ElapsedModeShowsTodayUnlessTheStoredDateIsAskedFor) {
  const platform::LocalTime today{2026, 3, 4, 9, 8, 7, 32887.0};
  EXPECT_EQ(convertedDate("12/31/1996", 1, 0, 1, today), "3/4/2026");
  EXPECT_EQ(convertedDate("", 9, 0, 1, today), "4/3/2026");
  EXPECT_EQ(convertedDate("12/31/1996", 7, 0, 1, today), "4-Mar-2026");
  EXPECT_EQ(convertedDate("x", 5, 0, 1, {2026, 11, 25}), "2026/11/25");
  EXPECT_EQ(convertedDate("12/31/1996", 9, 1, 1, today), "31/12/1996");
  EXPECT_EQ(convertedDate("12/31/1996", 9, 0, 0, today), "31/12/1996");
  EXPECT_EQ(convertedDate("12/31/1996", 9, 0, 2, today), "31/12/1996");
}

TEST(ChangeTime, TwentyFourHourChoicesFollowTheWorkedResults) {
  for (int choice : {3, 4}) {
    EXPECT_EQ(convertedTime("1:05:09 PM", choice), " 13:05:09");
    EXPECT_EQ(convertedTime("12:30:00 PM", choice), " 12:30:00");
    EXPECT_EQ(convertedTime("01:05:09 PM", choice), " 13:05:09");
    EXPECT_EQ(convertedTime("11:05:09 AM", choice), "11:05:09");
    EXPECT_EQ(convertedTime("12:30:00 AM", choice), "12:30:00");
    EXPECT_EQ(convertedTime("", choice), "12:00:00");
    EXPECT_EQ(convertedTime("13:05:09", choice), "13:05:09");
  }
  EXPECT_EQ(convertedTime("11:59:59 PM", 3), " 23:59:59");
  // Fixed character positions, an exactly compared suffix, the hour's leading digits.
  EXPECT_EQ(convertedTime("1:2", 3), "12:00:00");
  EXPECT_EQ(convertedTime("1:05:0", 3), "1:05:0");
  EXPECT_EQ(convertedTime("1:05:09PM", 3), "1:05:09");
  EXPECT_EQ(convertedTime("1:05:09 pm", 3), "1:05:09");
  EXPECT_EQ(convertedTime("1:05:09 PMX", 3), " 13:05:09");
  EXPECT_EQ(convertedTime("01:05:09  PM", 3), "01:05:09");
  EXPECT_EQ(convertedTime("x1:05:09 PM", 3), " 12:05:09");
  EXPECT_EQ(convertedTime(" 1:05:09 PM", 3), " 13:05:09");
  // Twelve-hour choices and elapsed mode leave the text alone.
  EXPECT_EQ(convertedTime("1:05:09 PM", 1), "1:05:09 PM");
  EXPECT_EQ(convertedTime("1:05:09 PM", 2), "1:05:09 PM");
  EXPECT_EQ(convertedTime("27:46:40", 3, 1), "27:46:40");
  EXPECT_EQ(convertedTime("1:05:09 PM", 4, 1), "1:05:09 PM");
  EXPECT_EQ(convertedTime("1:05:09 PM", 4, 2), " 13:05:09");
}

TEST(FixedTexts, NameAndBaseForms) {
  EXPECT_EQ(formatNameDate({2006, 12, 5}), "05.Dec.06");
  EXPECT_EQ(formatNameDate({2000, 2, 29}), "29.Feb.00");
  EXPECT_EQ(formatNameDate({1997, 10, 1}), "01.Oct.97");
  EXPECT_EQ(formatNameTime(50733), "14.05.33");
  EXPECT_EQ(formatNameTime(0), "00.00.00");
  EXPECT_EQ(formatNameTime(86399), "23.59.59");
  EXPECT_EQ(formatUsDate({2006, 12, 5}), "12/05/2006");
  EXPECT_EQ(formatTime12(50733), "02:05:33 PM");
  EXPECT_EQ(formatTime12(0), "12:00:00 AM");
  EXPECT_EQ(formatTime12(43200), "12:00:00 PM");
  EXPECT_EQ(formatTime12(3909), "01:05:09 AM");
  EXPECT_EQ(monthAbbreviation(5), "May");
  EXPECT_EQ(monthAbbreviation(9), "Sep");
  EXPECT_EQ(monthAbbreviation(0), "");
  EXPECT_EQ(monthAbbreviation(13), "");
}

TEST(ParseBaseTexts, ReadsWhatTheConversionsWriteAndNothingElse) {
  EXPECT_EQ(parseUsDate("3/6/2006"), (CivilDate{2006, 3, 6}));
  EXPECT_EQ(parseTime12("12:30:00 PM"), 45000);
  for (std::uint32_t day : {0u, 1u, 1155u, 3352u, 8191u}) {
    for (std::uint32_t sec : {0u, 3909u, 43200u, 86399u}) {
      const Instant at = stampInstant(stamp(day, sec));
      EXPECT_EQ(parseUsDate(GetDate(stamp(day, sec))), at.date);
      EXPECT_EQ(parseTime12(GetTime(stamp(day, sec), 0)), at.secondsOfDay);
      EXPECT_EQ(parseTime12(formatTime12(sec)), sec);
    }
  }
  for (const char* text : {"", "2006/03/06", "03-06-2006", "03/06/06", "13/01/2006", "00/10/2006",
                           "02/29/2100", "04/31/2006", "03/06/2006 ", "003/06/2006"}) {
    EXPECT_FALSE(parseUsDate(text).has_value()) << text;
  }
  for (const char* text : {"", "13:05:09", "13:05:09 PM", "0:05:09 AM", "1:5:09 PM", "1:05:60 PM",
                           "1:05:09 pm", "1:05:09PM", " 1:05:09 PM", "001:05:09 AM"}) {
    EXPECT_FALSE(parseTime12(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace kestrand::datetime
