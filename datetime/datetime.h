#pragma once
// The meter's packed date-and-time word, the base date and time texts, and the rewriting of
// those texts into the user's display formats.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ports/clock.h"

namespace kestrand::datetime {

// A calendar date and a time of day, in the proleptic Gregorian calendar.
struct CivilDate {
  int year = 1970;
  int month = 1;
  int day = 1;
  bool operator==(const CivilDate&) const = default;
};

struct Instant {
  CivilDate date;
  std::int64_t secondsOfDay = 0;  // 0..86399
  bool operator==(const Instant&) const = default;
};

// Days since 1 January 1970 (negative before) and back.
std::int64_t daysFromCivil(const CivilDate& d);
CivilDate civilFromDays(std::int64_t days);

// The instant `seconds` after `start` (seconds may be negative).
Instant addSeconds(const Instant& start, std::int64_t seconds);

// Date and time packed in one word: bits 31..19 day number (1 = 1 January 1997), bits 18..2
// seconds since midnight (or elapsed seconds).
std::uint32_t stampDayNumber(std::uint32_t stamp);
std::uint32_t stampSeconds(std::uint32_t stamp);
// The instant a stamp stands for (day number and seconds; seconds past a day run into the next).
Instant stampInstant(std::uint32_t stamp);

// "mm/dd/yyyy" of the stamp's day.
std::string GetDate(std::uint32_t stamp);
// "hh:mm:ss" of elapsed seconds when elapsedMode is not 0 (hours not wrapped), else the time of
// day in the 12-hour style "h:mm:ss AM".
std::string GetTime(std::uint32_t stamp, int elapsedMode);

// Rewrites the date work string into display format `dateChoice` (1..9). With doNotUseNow 0 and
// elapsedMode 1 the text is first replaced by `today` as "M/d/yyyy".
void ChangeDate(std::string& sampDate, int doNotUseNow, int elapsedMode, int dateChoice,
                const platform::LocalTime& today);
// Rewrites the time work string into display format `timeChoice` (1..4).
void ChangeTime(std::string& sampTime, int elapsedMode, int timeChoice);

// Texts of fixed shape used in file names and continuation starts.
std::string formatNameDate(const CivilDate& d);         // "05.Dec.06"
std::string formatNameTime(std::int64_t secondsOfDay);  // "14.05.33"
std::string formatUsDate(const CivilDate& d);           // "12/05/2006"
std::string formatTime12(std::int64_t secondsOfDay);    // "02:05:33 PM" (two-digit hour)

// Reads back the base texts that GetDate and GetTime produce ("mm/dd/yyyy", "h:mm:ss AM");
// nullopt when the text has another shape.
std::optional<CivilDate> parseUsDate(std::string_view text);
std::optional<std::int64_t> parseTime12(std::string_view text);

// Reads back a date as the display formats write it: month first ("01/15/2006", "1/15/2006"),
// year first ("2006/01/15"), day first ("15/01/2006") or with the month's name
// ("15-Jan-2006"); a two-digit year is taken in the 2000s. A date that reads both month first
// and day first is taken day first under choices 8 and 9 (the day-first formats) and month
// first under the others. nullopt when the text is no valid date.
std::optional<CivilDate> parseDisplayedDate(std::string_view text, int dateChoice);
// Reads back a time as the display formats write it: 12-hour ("2:05:09 PM", "02:05:09 PM") or
// 24-hour (" 14:05:09", "14:05:09"), blanks around it ignored. Seconds since midnight, nullopt
// when the text is no valid time.
std::optional<std::int64_t> parseDisplayedTime(std::string_view text);

// Three-letter English month abbreviation, month 1..12.
std::string_view monthAbbreviation(int month);

}  // namespace kestrand::datetime
