#include "tools/meter_sim/meter_time.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>

namespace kestrand::meter_sim {

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

constexpr std::int64_t kSecondsPerDay = 86400;

sys_days daysOf(const CivilTime& t) {
  return sys_days{std::chrono::year{t.year} / std::chrono::month{static_cast<unsigned>(t.month)} /
                  std::chrono::day{static_cast<unsigned>(t.day)}};
}

sys_days meterEpoch() {
  return sys_days{std::chrono::year{1997} / std::chrono::January / std::chrono::day{1}};
}

CivilTime fromDaysAndSeconds(sys_days d, std::int64_t secondsOfDay) {
  const year_month_day ymd{d};
  CivilTime t;
  t.year = static_cast<int>(ymd.year());
  t.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  t.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  t.hour = static_cast<int>(secondsOfDay / 3600);
  t.minute = static_cast<int>(secondsOfDay % 3600 / 60);
  t.second = static_cast<int>(secondsOfDay % 60);
  return t;
}

std::int64_t secondsOfDay(const CivilTime& t) {
  return t.hour * 3600 + t.minute * 60 + t.second;
}

bool parseField(std::string_view text, std::size_t pos, std::size_t len, int& out) {
  if (pos + len > text.size()) return false;
  const char* first = text.data() + pos;
  const char* last = first + len;
  for (const char* p = first; p != last; ++p) {
    if (*p < '0' || *p > '9') return false;
  }
  return std::from_chars(first, last, out).ec == std::errc{};
}

std::string twoDigits(int v) {
  std::array<char, 8> buf{};
  std::snprintf(buf.data(), buf.size(), "%02d", v);
  return buf.data();
}

}  // namespace

std::optional<CivilTime> parseCivilTime(std::string_view text) {
  // YYYY-MM-DD HH:MM:SS
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':') {
    return std::nullopt;
  }
  CivilTime t;
  if (!parseField(text, 0, 4, t.year) || !parseField(text, 5, 2, t.month) ||
      !parseField(text, 8, 2, t.day) || !parseField(text, 11, 2, t.hour) ||
      !parseField(text, 14, 2, t.minute) || !parseField(text, 17, 2, t.second)) {
    return std::nullopt;
  }
  const year_month_day ymd{std::chrono::year{t.year},
                           std::chrono::month{static_cast<unsigned>(t.month)},
                           std::chrono::day{static_cast<unsigned>(t.day)}};
  if (!ymd.ok() || t.hour > 23 || t.minute > 59 || t.second > 59) return std::nullopt;
  return t;
}

CivilTime addSeconds(const CivilTime& t, std::int64_t seconds) {
  std::int64_t total = secondsOfDay(t) + seconds;
  std::int64_t dayShift = total / kSecondsPerDay;
  std::int64_t rest = total % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --dayShift;
  }
  return fromDaysAndSeconds(daysOf(t) + days{dayShift}, rest);
}

std::int64_t meterDayNumber(const CivilTime& t) {
  return (daysOf(t) - meterEpoch()).count() + 1;
}

std::uint32_t packStamp(std::uint32_t dayNumber, std::uint32_t seconds) {
  return (dayNumber << 19) | ((seconds << 2) & 0x7FFFCu);
}

std::optional<std::uint32_t> stampOf(const CivilTime& t) {
  const std::int64_t day = meterDayNumber(t);
  if (day < 0 || day > kMaxMeterDay) return std::nullopt;
  return packStamp(static_cast<std::uint32_t>(day), static_cast<std::uint32_t>(secondsOfDay(t)));
}

CivilTime civilOfStamp(std::uint32_t stamp) {
  const std::int64_t day = stamp >> 19;
  const std::int64_t seconds = (stamp & 0x7FFFCu) >> 2;
  const CivilTime midnight = fromDaysAndSeconds(meterEpoch() + days{day - 1}, 0);
  return addSeconds(midnight, seconds);
}

std::string dateText(const CivilTime& t) {
  std::array<char, 32> buf{};
  std::snprintf(buf.data(), buf.size(), "%02d/%02d/%04d", t.month, t.day, t.year);
  return buf.data();
}

std::string timeText12(const CivilTime& t, bool twoDigitHour) {
  int hour = t.hour % 12;
  if (hour == 0) hour = 12;
  std::string text = twoDigitHour ? twoDigits(hour) : std::to_string(hour);
  text += ':' + twoDigits(t.minute) + ':' + twoDigits(t.second);
  text += t.hour < 12 ? " AM" : " PM";
  return text;
}

std::string nameDateText(const CivilTime& t) {
  static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return twoDigits(t.day) + '.' + kMonths.at(static_cast<std::size_t>(t.month - 1)) + '.' +
         twoDigits(t.year % 100);
}

std::string nameTimeText(const CivilTime& t) {
  return twoDigits(t.hour) + '.' + twoDigits(t.minute) + '.' + twoDigits(t.second);
}

}  // namespace kestrand::meter_sim
