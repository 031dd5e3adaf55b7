#pragma once
// The meter's packed date-and-time word, the base date and time texts, and the rewriting of
// those texts into the user's display formats.

#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
                const ports::LocalTime& today);
// Rewrites the time work string into display format `timeChoice` (1..4).
void ChangeTime(std::string& sampTime, int elapsedMode, int timeChoice);

// Texts of fixed shape used in file names and continuation starts.
std::string formatNameDate(const CivilDate& d);         // "05.Dec.06"
std::string formatNameTime(std::int64_t secondsOfDay);  // "14.05.33"
std::string formatUsDate(const CivilDate& d);           // "12/05/2006"
std::string formatTime12(std::int64_t secondsOfDay);    // "02:05:33 PM" (two-digit hour)
// The same written over `out`, for the time of every sample of a file: a string made for each
// costs more than the rest of the record.
void formatTime12(std::string& out, std::int64_t secondsOfDay);

// The date ("12/05/2006") and time ("02:05:33 PM") texts of the moments some whole seconds after
// a start, written over the strings given, for every sample of a file: the date's text is made
// once a day, the time's in place.
class ClockTexts {
 public:
  explicit ClockTexts(const Instant& start) : start_(start) {}
  // The texts of the moment `seconds` after the start; returns its date.
  const CivilDate& write(std::int64_t seconds, std::string& date, std::string& time);
  // The time text alone of the moment `seconds` after the start.
  std::string time(std::int64_t seconds) const {
    return formatTime12(start_.secondsOfDay + seconds);
  }

 private:
  Instant start_;
  std::optional<std::int64_t> day_;  // the day of the moment written last, from the start's...
  CivilDate date_;                   // ...its date...
  std::string dateText_;             // ...and that date's text
};

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

// An instant as one number: tenths of a second since 1 January 1970 00:00:00 on the meter's clock,
// or, for an upload whose clock counts from the start of logging, since that start.
using Tenths = std::int64_t;
inline constexpr Tenths kTenthsPerDay = 864000;
// A sample whose date or time text no reading fits.
inline constexpr Tenths kNoInstant = INT64_MIN;

Tenths tenthsOf(const Instant& at);
// The instant, its fraction of a second dropped.
Instant instantOf(Tenths at);

// ISO 8601 text of an instant: "2006-12-05T14:05:33", with the tenth when it has one
// ("2006-12-05T14:05:33.5"); an elapsed time from the start of logging as "+hh:mm:ss" (".5"
// likewise, the hours not wrapped). Empty for kNoInstant.
std::string isoText(Tenths at, bool elapsed);

// The dates a text written by the display formats may stand for: one for a text with the
// month's name or the year first, up to two (month first, then day first) for one with the
// month and the day in numbers.
std::vector<CivilDate> dateReadings(std::string_view text);
// The times of day a time text may stand for: one for a 12-hour text; a 24-hour text with hour
// 12 and no blank in front is the hour after midnight as this program writes it, or noon when a
// spreadsheet trimmed the blank of " 12:05:09" (the hour after midnight first).
std::vector<std::int64_t> timeReadings(std::string_view text);
// An elapsed time "h:mm:ss" (any number of hour digits) in seconds; blanks around it ignored.
std::optional<std::int64_t> parseElapsedTime(std::string_view text);

// Reads the date and time texts of samples one after another as instants. Of the readings of a
// text, those not before the previous instant count, the earliest of them taken; where none
// does, the first reading in the preferred order. A date order once settled (a text that only one
// order reads, or one that matches a known date) is kept for every later text.
class InstantReading {
 public:
  // `dayFirst`: the order preferred while it is not settled; `previous`: what the first text
  // is not before (e.g. the date and time a raw file's name gives), when known.
  InstantReading(bool dayFirst, std::optional<Tenths> previous)
      : dayFirst_(dayFirst), previous_(previous) {}
  // The order of the numbers of `text` settled by a date it is known to hold.
  void settleBy(std::string_view text, const CivilDate& date);
  // The instant of a date and a time text; kNoInstant when no reading fits (the previous
  // instant stays).
  Tenths read(std::string_view date, std::string_view time);
  std::optional<Tenths> previous() const { return previous_; }

 private:
  bool dayFirst_;
  bool settled_ = false;
  std::optional<Tenths> previous_;
};

// The date of a raw data file's name ("QV 05.Dec.06  14.05.33.dat" gives 5 December 2006 at
// 14:05:33; an elapsed-time upload's name gives its date at midnight); nullopt when the name
// holds none.
std::optional<Tenths> nameInstant(std::string_view name);

// Three-letter English month abbreviation, month 1..12.
std::string_view monthAbbreviation(int month);

}  // namespace kestrand::datetime
