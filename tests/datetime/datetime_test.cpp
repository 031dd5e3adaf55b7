#include "datetime/datetime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kestrand::datetime {
namespace {

// A packed word from a day number and seconds, with the two unused low bits given.
std::uint32_t stamp(std::uint32_t day, std::uint32_t seconds, std::uint32_t low = 0) {
  return (day << 19) | (seconds << 2) | low;
}

TEST(CivilDays, CountsFromTheFirstOfJanuary1970AcrossLeapRules) {
  EXPECT_EQ(daysFromCivil({1969, 12, 31}), -1);
  EXPECT_EQ(daysFromCivil({2000, 2, 29}), 11016);
  EXPECT_EQ(civilFromDays(47540), (CivilDate{2100, 2, 28}));  // 2100 has no 29 February
  EXPECT_EQ(addSeconds({{2100, 2, 28}, 86000}, 400), (Instant{{2100, 3, 1}, 0}));
}

TEST(Stamp, DateAndTimeOfThePackedWord) {
  EXPECT_EQ(stampDayNumber(0xFFFFFFFFu), 8191u);
  EXPECT_EQ(stampSeconds(0xFFFFFFFFu), 131071u);
  EXPECT_EQ(stampInstant(stamp(0, 86399)), (Instant{{1996, 12, 31}, 86399}));
  EXPECT_EQ(stampInstant(stamp(1155, 86461)), (Instant{{2000, 3, 1}, 61}));  // into the next day
  // Day number 1 is 1 January 1997 and the seconds never move GetDate's day; elapsed hours are
  // not wrapped, other times are on the 12-hour clock.
  const struct {
    std::uint32_t day, seconds, low;
    int elapsed;
    const char *date, *time;
  } rows[] = {
      {1, 0, 0, 0, "01/01/1997", "12:00:00 AM"},
      {0, 3909, 0, 0, "12/31/1996", "1:05:09 AM"},
      {3352, 47109, 3, 0, "03/06/2006", "1:05:09 PM"},
      {5, 45000, 0, 0, "01/05/1997", "12:30:00 PM"},
      {5, 3909, 0, 1, "01/05/1997", "01:05:09"},
      {1156, 100000, 0, 1, "03/01/2000", "27:46:40"},
      {8191, 131071, 3, 2, "06/05/2019", "36:24:31"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(GetDate(stamp(r.day, r.seconds, r.low)), r.date) << r.day << " " << r.seconds;
    EXPECT_EQ(GetTime(stamp(r.day, r.seconds, r.low), r.elapsed), r.time) << r.seconds;
  }
}

TEST(ChangeDate, SplitsAndReordersKeepingTheDigits) {
  // Choices 1 to 4 keep the text; under six characters is 1 January 1970; month names for the
  // day-month-name choice with or without a leading zero; elapsed mode 1 shows today unless the
  // stored date is asked for (doNotUseNow 1).
  const ports::LocalTime today{2026, 3, 4, 9, 8, 7, 32887.0};
  const struct {
    const char* text;
    int choice, doNotUseNow, elapsed;
    const char* result;
  } rows[] = {
      // clang-format off
      {"03/05/2006", 4, 1, 0, "03/05/2006"},    {"03/05/2006", 5, 1, 0, "2006/03/05"},
      {"03/05/2006", 8, 1, 0, "05/03/2006"},    {"1/2/3/4", 5, 1, 0, "34/1/2"},
      {" 3 / 5 - 2006", 9, 1, 0, "5/3/2006"},   {"03.05.2006", 9, 1, 0, "/03.05.2006/"},
      {"", 9, 1, 0, "01/01/1970"},              {"1/2/3", 5, 1, 0, "1970/01/01"},
      {"03/05/2006", 7, 1, 0, "05-Mar-2006"},   {"3-5-06", 7, 1, 0, "5-Mar-06"},
      {"09/15/2006", 7, 1, 0, "15-Sep-2006"},   {"13/15/2006", 7, 1, 0, "15-13-2006"},
      {"12/31/1996", 1, 0, 1, "3/4/2026"},      {"12/31/1996", 7, 0, 1, "4-Mar-2026"},
      {"12/31/1996", 9, 1, 1, "31/12/1996"},    {"12/31/1996", 9, 0, 2, "31/12/1996"},
      // clang-format on
  };
  for (const auto& r : rows) {
    std::string text = r.text;
    ChangeDate(text, r.doNotUseNow, r.elapsed, r.choice, today);
    EXPECT_EQ(text, r.result) << '"' << r.text << "\" choice " << r.choice;
  }
}

TEST(ChangeTime, TwentyFourHourChoicesFollowTheWorkedResults) {
  // Fixed character positions, an exactly compared suffix, the hour's leading digits; the
  // twelve-hour choices and elapsed mode 1 leave the text alone.
  const struct {
    const char* text;
    int choice, elapsed;
    const char* result;
  } rows[] = {
      // clang-format off
      {"1:05:09 PM", 3, 0, " 13:05:09"},   {"12:30:00 PM", 4, 0, " 12:30:00"},
      {"11:05:09 AM", 3, 0, "11:05:09"},   {"12:30:00 AM", 4, 0, "12:30:00"},
      {"", 3, 0, "12:00:00"},              {"1:2", 3, 0, "12:00:00"},
      {"1:05:09PM", 3, 0, "1:05:09"},      {"x1:05:09 PM", 3, 0, " 12:05:09"},
      {"1:05:09 PM", 2, 0, "1:05:09 PM"},  {"1:05:09 PM", 4, 1, "1:05:09 PM"},
      {"1:05:09 PM", 4, 2, " 13:05:09"},
      // clang-format on
  };
  for (const auto& r : rows) {
    std::string text = r.text;
    ChangeTime(text, r.elapsed, r.choice);
    EXPECT_EQ(text, r.result) << '"' << r.text << "\" choice " << r.choice;
  }
}

TEST(FixedTexts, ComputedClockTextsCrossMidnightAndTheYearBothWays) {
  ClockTexts texts(Instant{{2006, 12, 31}, 86398});  // 11:59:58 PM
  struct Row {
    std::int64_t seconds;
    const char* date;
    const char* time;
  };
  // Back over midnight after going forward: the date made for the day before is not kept.
  const Row rows[] = {{0, "12/31/2006", "11:59:58 PM"},
                      {2, "01/01/2007", "12:00:00 AM"},
                      {43203, "01/01/2007", "12:00:01 PM"},
                      {-3, "12/31/2006", "11:59:55 PM"},
                      {-86399, "12/30/2006", "11:59:59 PM"}};
  std::string date, time = "longer than any time text";
  for (const Row& r : rows) {
    const CivilDate& day = texts.write(r.seconds, date, time);
    EXPECT_EQ(date, r.date) << r.seconds;
    EXPECT_EQ(time, r.time) << r.seconds;
    EXPECT_EQ(formatUsDate(day), r.date) << r.seconds;
  }
}

TEST(FixedTexts, NameAndBaseFormsAndTheirReading) {
  EXPECT_EQ(formatNameTime(50733), "14.05.33");
  EXPECT_EQ(formatTime12(43200), "12:00:00 PM");
  EXPECT_EQ(formatTime12(3909 - 86400), "01:05:09 AM");  // the clock of the day before
  EXPECT_EQ(monthAbbreviation(13), "");

  // The base texts read back into what they were made from, and nothing else is read.
  EXPECT_EQ(parseUsDate("02/29/2000"), (CivilDate{2000, 2, 29}));
  EXPECT_EQ(parseTime12("12:00:00 AM"), 0);
  EXPECT_EQ(parseTime12("11:59:59 PM"), 86399);
  for (const char* text :
       {"", "03-06-2006", "03/06/06", "13/01/2006", "02/29/2100", "04/31/2006"}) {
    EXPECT_FALSE(parseUsDate(text).has_value()) << text;
  }
  for (const char* text :
       {"", "13:05:09 PM", "0:05:09 AM", "1:5:09 PM", "1:05:60 PM", "1:05:09PM"}) {
    EXPECT_FALSE(parseTime12(text).has_value()) << text;
  }
}

TEST(Instants, ReadingsOfDateAndTimeTextsAndTheOrderThatKeepsTime) {
  const CivilDate may12{2006, 5, 12}, dec5{2006, 12, 5};
  EXPECT_EQ(dateReadings("05/12/2006"), (std::vector<CivilDate>{may12, dec5}));
  EXPECT_EQ(dateReadings("15/01/06"), (std::vector<CivilDate>{{2006, 1, 15}}));

  const Tenths dec5At0 = tenthsOf({dec5, 0});
  // Month first preferred, nothing settled: the nearer date that keeps time running on; a
  // "12:mm:ss" is the hour after midnight as this program writes it, or noon trimmed of its blank.
  InstantReading r(false, dec5At0);
  EXPECT_EQ(r.read("05/12/2006", " 23:59:59"), dec5At0 + 863990);
  EXPECT_EQ(r.read("06/12/2006", "12:00:01"), dec5At0 + 864010);  // 6 Dec after midnight
  EXPECT_EQ(r.read("06/12/2006", "12:00:02"), dec5At0 + 864020);
  EXPECT_EQ(r.read("06/12/2006", " 12:00:03"), dec5At0 + 864000 + 432030);
  EXPECT_EQ(r.read("nothing", "12:00:04"), kNoInstant);
  InstantReading both(false, tenthsOf({{2006, 3, 3}, 0}));  // 3 April and 4 March both follow
  EXPECT_EQ(both.read("04/03/2006", " 13:00:00"), tenthsOf({{2006, 3, 4}, 46800}));
  EXPECT_EQ(nameInstant("QV 05.Dec.26  10.00.00 File007.dat"), tenthsOf({{2026, 12, 5}, 36000}));

  EXPECT_EQ(isoText(dec5At0 + 507335, false), "2006-12-05T14:05:33.5");
  EXPECT_EQ(isoText(1000005, true), "+27:46:40.5");
}

}  // namespace
}  // namespace kestrand::datetime
