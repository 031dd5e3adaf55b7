#include "datetime/datetime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kestrand::datetime {
namespace {

// A packed word from a day number and seconds (the two low bits stay clear unless given).
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
  EXPECT_EQ(daysFromCivil({2000, 3, 1}), 11017);
  EXPECT_EQ(daysFromCivil({2100, 3, 1}), 47541);
  EXPECT_EQ(daysFromCivil({1, 1, 1}), -719162);
  EXPECT_EQ(daysFromCivil({9999, 12, 31}), 2932896);

  EXPECT_EQ(civilFromDays(0), (CivilDate{1970, 1, 1}));
  EXPECT_EQ(civilFromDays(-1), (CivilDate{1969, 12, 31}));
  EXPECT_EQ(civilFromDays(11016), (CivilDate{2000, 2, 29}));
  EXPECT_EQ(civilFromDays(47540), (CivilDate{2100, 2, 28}));  // 2100 has no 29 February
  EXPECT_EQ(civilFromDays(47541), (CivilDate{2100, 3, 1}));
  EXPECT_EQ(civilFromDays(-719162), (CivilDate{1, 1, 1}));

  // Every day of four centuries around the epoch goes there and back, one day apart.
  CivilDate previous = civilFromDays(-73049);
  for (std::int64_t n = -73048; n <= 73049; ++n) {
    CivilDate d = civilFromDays(n);
    ASSERT_EQ(daysFromCivil(d), n);
    bool nextDay = d.day == previous.day + 1 && d.month == previous.month;
    bool nextMonth =
        d.day == 1 && (d.month == previous.month + 1 ||
                       (d.month == 1 && previous.month == 12 && d.year == previous.year + 1));
    ASSERT_TRUE(nextDay || nextMonth) << n;
    previous = d;
  }
}

TEST(AddSeconds, CarriesOverMidnightMonthsAndYearsBothWays) {
  EXPECT_EQ(addSeconds({{2006, 12, 5}, 86399}, 1), (Instant{{2006, 12, 6}, 0}));
  EXPECT_EQ(addSeconds({{2006, 12, 31}, 86000}, 400), (Instant{{2007, 1, 1}, 0}));
  EXPECT_EQ(addSeconds({{2000, 2, 28}, 3600}, 86400), (Instant{{2000, 2, 29}, 3600}));
  EXPECT_EQ(addSeconds({{2100, 2, 28}, 0}, 86400), (Instant{{2100, 3, 1}, 0}));
  EXPECT_EQ(addSeconds({{2007, 1, 1}, 0}, -1), (Instant{{2006, 12, 31}, 86399}));
  EXPECT_EQ(addSeconds({{2007, 1, 1}, 10}, -86410), (Instant{{2006, 12, 31}, 0}));
  EXPECT_EQ(addSeconds({{2006, 3, 6}, 100}, 16301), (Instant{{2006, 3, 6}, 16401}));
}

TEST(Stamp, SplitsDayNumberAndSecondsIgnoringTheTwoLowBits) {
  const std::uint32_t s = stamp(3352, 47109, 3);
  EXPECT_EQ(stampDayNumber(s), 3352u);
  EXPECT_EQ(stampSeconds(s), 47109u);
  EXPECT_EQ(stampDayNumber(0xFFFFFFFFu), 8191u);
  EXPECT_EQ(stampSeconds(0xFFFFFFFFu), 131071u);

  EXPECT_EQ(stampInstant(stamp(1, 0)), (Instant{{1997, 1, 1}, 0}));
  EXPECT_EQ(stampInstant(stamp(0, 86399)), (Instant{{1996, 12, 31}, 86399}));
  EXPECT_EQ(stampInstant(stamp(3352, 50733, 1)), (Instant{{2006, 3, 6}, 50733}));
  // Seconds past the end of the day run into the next day.
  EXPECT_EQ(stampInstant(stamp(1155, 86400 + 61)), (Instant{{2000, 3, 1}, 61}));
  EXPECT_EQ(stampInstant(stamp(8191, 131071)), (Instant{{2019, 6, 6}, 44671}));
}

TEST(GetDate, GivesTheDayNumberAsMonthDayYear) {
  EXPECT_EQ(GetDate(stamp(1, 0)), "01/01/1997");
  EXPECT_EQ(GetDate(stamp(0, 0)), "12/31/1996");
  EXPECT_EQ(GetDate(stamp(3352, 47109)), "03/06/2006");
  EXPECT_EQ(GetDate(stamp(1154, 0)), "02/28/2000");
  EXPECT_EQ(GetDate(stamp(1155, 0)), "02/29/2000");
  EXPECT_EQ(GetDate(stamp(1156, 0)), "03/01/2000");
  EXPECT_EQ(GetDate(stamp(8191, 131071, 3)), "06/05/2019");
  // The date is the day number's alone; seconds past midnight do not move it.
  EXPECT_EQ(GetDate(stamp(1, 100000)), "01/01/1997");
}

TEST(GetTime, ElapsedModeGivesUnwrappedHours) {
  EXPECT_EQ(GetTime(stamp(0, 3909), 1), "01:05:09");
  EXPECT_EQ(GetTime(stamp(5, 100000), 1), "27:46:40");
  EXPECT_EQ(GetTime(stamp(0, 0), 1), "00:00:00");
  EXPECT_EQ(GetTime(stamp(0, 131071, 3), 1), "36:24:31");
  EXPECT_EQ(GetTime(stamp(0, 86399), 2), "23:59:59");  // any value but 0 counts
}

TEST(GetTime, OtherwiseTwelveHourClockWithoutLeadingZero) {
  EXPECT_EQ(GetTime(stamp(1, 0), 0), "12:00:00 AM");
  EXPECT_EQ(GetTime(stamp(1, 47109), 0), "1:05:09 PM");
  EXPECT_EQ(GetTime(stamp(1, 3909), 0), "1:05:09 AM");
  EXPECT_EQ(GetTime(stamp(1, 43199), 0), "11:59:59 AM");
  EXPECT_EQ(GetTime(stamp(1, 43200), 0), "12:00:00 PM");
  EXPECT_EQ(GetTime(stamp(1, 45000), 0), "12:30:00 PM");
  EXPECT_EQ(GetTime(stamp(1, 86399), 0), "11:59:59 PM");
}

TEST(ChangeDate, FirstFourChoicesLeaveTheTextAlone) {
  for (int choice = 1; choice <= 4; ++choice) {
    EXPECT_EQ(convertedDate("03/05/2006", choice), "03/05/2006");
    EXPECT_EQ(convertedDate("", choice), "");
    EXPECT_EQ(convertedDate("abc", choice), "abc");
  }
}

TEST(ChangeDate, ReordersThePartsKeepingTheirDigits) {
  EXPECT_EQ(convertedDate("03/05/2006", 5), "2006/03/05");
  EXPECT_EQ(convertedDate("03/05/2006", 6), "2006/03/05");
  EXPECT_EQ(convertedDate("03/05/2006", 8), "05/03/2006");
  EXPECT_EQ(convertedDate("03/05/2006", 9), "05/03/2006");
  EXPECT_EQ(convertedDate("3/5/06", 8), "5/3/06");
  EXPECT_EQ(convertedDate("12/31/1996", 6), "1996/12/31");
}

TEST(ChangeDate, SplittingSkipsBlanksAndRunsExtraFieldsIntoTheYear) {
  EXPECT_EQ(convertedDate("1/2/3/4", 5), "34/1/2");
  EXPECT_EQ(convertedDate(" 3 / 5 / 2006", 9), "5/3/2006");
  EXPECT_EQ(convertedDate("3-5/2006", 8), "5/3/2006");
  EXPECT_EQ(convertedDate("03.05.2006", 9),
            "/03.05.2006/");  // no separator: all of it is the month
  EXPECT_EQ(convertedDate("//////", 5), "//");
}

TEST(ChangeDate, ShortTextsBecomeTheFirstOfJanuary1970) {
  EXPECT_EQ(convertedDate("", 7), "01-Jan-1970");
  EXPECT_EQ(convertedDate("", 9), "01/01/1970");
  EXPECT_EQ(convertedDate("", 5), "1970/01/01");
  EXPECT_EQ(convertedDate("1/2/3", 8), "01/01/1970");  // five characters
  EXPECT_EQ(convertedDate("1/2/34", 8), "2/1/34");     // six characters are split
}

TEST(ChangeDate, MonthNamesForTheDayMonthNameChoice) {
  EXPECT_EQ(convertedDate("03/05/2006", 7), "05-Mar-2006");
  EXPECT_EQ(convertedDate("3-5-06", 7), "5-Mar-06");
  const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int m = 1; m <= 12; ++m) {
    EXPECT_EQ(convertedDate(std::to_string(m) + "/15/2006", 7),
              std::string("15-") + names[m - 1] + "-2006");
  }
  for (int m = 1; m <= 9; ++m) {
    EXPECT_EQ(convertedDate("0" + std::to_string(m) + "/15/2006", 7),
              std::string("15-") + names[m - 1] + "-2006");
  }
  // Anything else stays as it was.
  EXPECT_EQ(convertedDate("13/15/2006", 7), "15-13-2006");
  EXPECT_EQ(convertedDate("00/15/2006", 7), "15-00-2006");
  EXPECT_EQ(convertedDate("010/15/2006", 7), "15-010-2006");
  EXPECT_EQ(convertedDate("001/15/2006", 7), "15-001-2006");
  EXPECT_EQ(convertedDate("Mar/15/2006", 7), "15-Mar-2006");
}

TEST(ChangeDate, ElapsedModeShowsTodayUnlessTheStoredDateIsAskedFor) {
  const platform::LocalTime today{2026, 3, 4, 9, 8, 7, 32887.0};
  // Today as month/day/year without leading zeros, then converted as any other date.
  EXPECT_EQ(convertedDate("12/31/1996", 1, 0, 1, today), "3/4/2026");
  EXPECT_EQ(convertedDate("12/31/1996", 4, 0, 1, today), "3/4/2026");
  EXPECT_EQ(convertedDate("", 9, 0, 1, today), "4/3/2026");
  EXPECT_EQ(convertedDate("12/31/1996", 7, 0, 1, today), "4-Mar-2026");
  EXPECT_EQ(convertedDate("x", 5, 0, 1, {2026, 11, 25}), "2026/11/25");
  // The stored date is kept when asked for, and outside elapsed-time mode.
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
    EXPECT_EQ(convertedTime("1:05:09 AM", choice), "1:05:09");
    EXPECT_EQ(convertedTime("", choice), "12:00:00");
    EXPECT_EQ(convertedTime("13:05:09", choice), "13:05:09");
  }
  EXPECT_EQ(convertedTime("11:59:59 PM", 3), " 23:59:59");
  EXPECT_EQ(convertedTime("9:00:00 PM", 4), " 21:00:00");
}

TEST(ChangeTime, SplitsByFixedPositions) {
  EXPECT_EQ(convertedTime("1:2", 3), "12:00:00");        // under six characters
  EXPECT_EQ(convertedTime("1:05:0", 3), "1:05:0");       // six characters are split
  EXPECT_EQ(convertedTime("1:05:09PM", 3), "1:05:09");   // the suffix is read from fixed places
  EXPECT_EQ(convertedTime("1:05:09 pm", 3), "1:05:09");  // and compared exactly
  EXPECT_EQ(convertedTime("1:05:09 PMX", 3), " 13:05:09");
  EXPECT_EQ(convertedTime("01:05:09  PM", 3), "01:05:09");
  EXPECT_EQ(convertedTime("x1:05:09 PM", 3), " 12:05:09");  // no leading digits: value 0, plus 12
  EXPECT_EQ(convertedTime(" 1:05:09 PM", 3), " 13:05:09");
  EXPECT_EQ(convertedTime("27:46:40", 3), "27:46:40");
}

TEST(ChangeTime, LeavesTheTextForTwelveHourChoicesAndElapsedMode) {
  EXPECT_EQ(convertedTime("1:05:09 PM", 1), "1:05:09 PM");
  EXPECT_EQ(convertedTime("1:05:09 PM", 2), "1:05:09 PM");
  EXPECT_EQ(convertedTime("", 1), "");
  EXPECT_EQ(convertedTime("27:46:40", 3, 1), "27:46:40");
  EXPECT_EQ(convertedTime("1:05:09 PM", 4, 1), "1:05:09 PM");
  EXPECT_EQ(convertedTime("1:05:09 PM", 4, 2), " 13:05:09");  // only the value 1 means elapsed mode
}

TEST(NameTexts, DayMonthNameYearAndPointedTime) {
  EXPECT_EQ(formatNameDate({2006, 12, 5}), "05.Dec.06");
  EXPECT_EQ(formatNameDate({2006, 1, 15}), "15.Jan.06");
  EXPECT_EQ(formatNameDate({2000, 2, 29}), "29.Feb.00");
  EXPECT_EQ(formatNameDate({1997, 10, 1}), "01.Oct.97");
  EXPECT_EQ(formatNameTime(14 * 3600 + 5 * 60 + 33), "14.05.33");
  EXPECT_EQ(formatNameTime(0), "00.00.00");
  EXPECT_EQ(formatNameTime(86399), "23.59.59");
  EXPECT_EQ(formatNameTime(50949), "14.09.09");
}

TEST(BaseTexts, UsDateAndTwoDigitTwelveHourTime) {
  EXPECT_EQ(formatUsDate({2006, 12, 5}), "12/05/2006");
  EXPECT_EQ(formatUsDate({1997, 1, 1}), "01/01/1997");
  EXPECT_EQ(formatTime12(14 * 3600 + 5 * 60 + 33), "02:05:33 PM");
  EXPECT_EQ(formatTime12(0), "12:00:00 AM");
  EXPECT_EQ(formatTime12(43200), "12:00:00 PM");
  EXPECT_EQ(formatTime12(43199), "11:59:59 AM");
  EXPECT_EQ(formatTime12(86399), "11:59:59 PM");
  EXPECT_EQ(formatTime12(3909), "01:05:09 AM");
}

TEST(ParseBaseTexts, ReadsWhatTheConversionsWrite) {
  EXPECT_EQ(parseUsDate("03/06/2006"), (CivilDate{2006, 3, 6}));
  EXPECT_EQ(parseUsDate("3/6/2006"), (CivilDate{2006, 3, 6}));
  EXPECT_EQ(parseUsDate("02/29/2000"), (CivilDate{2000, 2, 29}));
  EXPECT_EQ(parseUsDate("12/31/1996"), (CivilDate{1996, 12, 31}));
  EXPECT_EQ(parseTime12("1:05:09 PM"), 47109);
  EXPECT_EQ(parseTime12("02:05:33 PM"), 50733);
  EXPECT_EQ(parseTime12("12:00:00 AM"), 0);
  EXPECT_EQ(parseTime12("12:30:00 PM"), 45000);
  EXPECT_EQ(parseTime12("11:59:59 PM"), 86399);

  for (std::uint32_t day : {0u, 1u, 1155u, 3352u, 8191u}) {
    for (std::uint32_t sec : {0u, 3909u, 43200u, 86399u}) {
      const Instant at = stampInstant(stamp(day, sec));
      EXPECT_EQ(parseUsDate(GetDate(stamp(day, sec))), at.date);
      EXPECT_EQ(parseTime12(GetTime(stamp(day, sec), 0)), at.secondsOfDay);
      EXPECT_EQ(parseTime12(formatTime12(sec)), sec);
    }
  }
}

TEST(ParseBaseTexts, RejectsOtherShapes) {
  for (const char* text :
       {"", "2006/03/06", "03-06-2006", "03/06/06", "13/01/2006", "00/10/2006", "02/29/2100",
        "02/30/2000", "04/31/2006", "03/06/2006 ", "003/06/2006", "03/06/20066"}) {
    EXPECT_FALSE(parseUsDate(text).has_value()) << text;
  }
  for (const char* text :
       {"", "13:05:09", "13:05:09 PM", "0:05:09 AM", "1:5:09 PM", "1:05:60 PM", "1:60:00 AM",
        "1:05:09 pm", "1:05:09PM", " 1:05:09 PM", "1:05:09 PM ", "001:05:09 AM"}) {
    EXPECT_FALSE(parseTime12(text).has_value()) << text;
  }
}

TEST(MonthAbbreviation, EnglishThreeLetterNames) {
  EXPECT_EQ(monthAbbreviation(1), "Jan");
  EXPECT_EQ(monthAbbreviation(5), "May");
  EXPECT_EQ(monthAbbreviation(9), "Sep");
  EXPECT_EQ(monthAbbreviation(12), "Dec");
  EXPECT_EQ(monthAbbreviation(0), "");
  EXPECT_EQ(monthAbbreviation(13), "");
}

}  // namespace
}  // namespace kestrand::datetime
