#pragma once
// Calendar times as the meter packs them into its 32-bit stamps, and the date and time texts
// that the receiving program derives from them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrand::meter_sim {

// A date and a time of day in the proleptic Gregorian calendar.
struct CivilTime {
  int year = 1997;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const CivilTime&) const = default;
};

// "YYYY-MM-DD HH:MM:SS"; nullopt when the text has another shape or names no real instant.
std::optional<CivilTime> parseCivilTime(std::string_view text);

// The instant `seconds` later (or earlier, when negative).
CivilTime addSeconds(const CivilTime& t, std::int64_t seconds);

// The meter's day number: 1 is 1 January 1997. Stamps carry 13 bits of it (0..8191).
std::int64_t meterDayNumber(const CivilTime& t);
inline constexpr std::int64_t kMaxMeterDay = 8191;

// The packed stamp: bits 31..19 day number, bits 18..2 seconds, bits 1..0 zero.
std::uint32_t packStamp(std::uint32_t dayNumber, std::uint32_t seconds);
// The stamp of a calendar time; nullopt when its day number does not fit 0..8191.
std::optional<std::uint32_t> stampOf(const CivilTime& t);
// The calendar time a stamp stands for (seconds of 86400 and more run into the next day).
CivilTime civilOfStamp(std::uint32_t stamp);

// "mm/dd/yyyy".
std::string dateText(const CivilTime& t);
// 12-hour time "h:mm:ss AM" (hour 12 for the hours after midnight and after noon); with
// `twoDigitHour` the hour has a leading zero below 10 ("02:05:09 PM").
std::string timeText12(const CivilTime& t, bool twoDigitHour);
// Parts of a raw data file's name: "dd.mmm.yy" (05.Dec.06) and "hh.mm.ss" (24-hour).
std::string nameDateText(const CivilTime& t);
std::string nameTimeText(const CivilTime& t);

}  // namespace kestrand::meter_sim
