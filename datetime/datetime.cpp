#include "datetime/datetime.h"

#include "core/text.h"

#include <array>
#include <chrono>
#include <cstddef>

namespace kestrand::datetime {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// The day count of 1 January 1997, day number 1 of the meter's time stamps.
constexpr std::int64_t kDayOne =
    std::chrono::sys_days{std::chrono::year{1997} / 1 / 1}.time_since_epoch().count();

// Integer division and remainder that round towards minus infinity.
constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}
constexpr std::int64_t floorMod(std::int64_t a, std::int64_t b) {
  return a - floorDiv(a, b) * b;
}

constexpr std::array<std::string_view, 12> kMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The part of the year that a two-digit year shows.
std::string twoDigitYear(int year) {
  return zeroPadded(floorMod(year, 100), 2);
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// `month` is 1..12.
int daysInMonth(int year, int month) {
  const auto end = std::chrono::year{year} / std::chrono::month{static_cast<unsigned>(month)} /
                   std::chrono::last;
  return static_cast<int>(static_cast<unsigned>(end.day()));
}

// Reads a run of digits of length minDigits..maxDigits from `text` at `pos`.
std::optional<int> readNumber(std::string_view text, std::size_t& pos, std::size_t minDigits,
                              std::size_t maxDigits) {
  std::size_t start = pos;
  int value = 0;
  while (pos < text.size() && isDigit(text[pos]) && pos - start < maxDigits) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  std::size_t count = pos - start;
  if (count < minDigits) return std::nullopt;
  if (pos < text.size() && isDigit(text[pos])) return std::nullopt;  // too many digits
  return value;
}

bool expect(std::string_view text, std::size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

// The numeric value of the digits at the start of `text` (blanks in front are passed over); 0
// when there are none.
std::int64_t leadingNumber(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  std::int64_t value = 0;
  while (pos < text.size() && isDigit(text[pos]) && value < 1'000'000'000'000) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  return value;
}

// Characters `first`..`first + count - 1` of `text`, counted from 1, as far as the text goes.
std::string mid(std::string_view text, std::size_t first, std::size_t count) {
  if (first > text.size()) return {};
  return std::string(text.substr(first - 1, count));
}

// The month part of a date under the "dd-MMM-yy" choice: its name when it is one of the month
// numbers "1".."12" (months below 10 also with a leading zero), otherwise the text as it is.
std::string monthNameFor(const std::string& month) {
  for (int m = 1; m <= 12; ++m) {
    std::string plain = std::to_string(m);
    if (month == plain || (m < 10 && month == "0" + plain)) {
      return std::string(kMonthNames[static_cast<std::size_t>(m - 1)]);
    }
  }
  return month;
}

}  // namespace

std::int64_t daysFromCivil(const CivilDate& d) {
  using namespace std::chrono;
  // From the first of the month, so that a day past the month's end counts on into the next.
  const sys_days first = year{d.year} / month{static_cast<unsigned>(d.month)} / 1;
  return (first + days{d.day - 1}).time_since_epoch().count();
}

CivilDate civilFromDays(std::int64_t n) {
  using namespace std::chrono;
  const year_month_day date{sys_days{days{n}}};
  return CivilDate{static_cast<int>(date.year()),
                   static_cast<int>(static_cast<unsigned>(date.month())),
                   static_cast<int>(static_cast<unsigned>(date.day()))};
}

Instant addSeconds(const Instant& start, std::int64_t seconds) {
  using namespace std::chrono;
  const sys_seconds t = sys_days{days{daysFromCivil(start.date)}} +
                        std::chrono::seconds{start.secondsOfDay + seconds};
  const sys_days day = floor<days>(t);
  return Instant{civilFromDays(day.time_since_epoch().count()), (t - day).count()};
}

std::uint32_t stampDayNumber(std::uint32_t stamp) {
  return (stamp & ~0x7FFFFu) / 524288u;
}

std::uint32_t stampSeconds(std::uint32_t stamp) {
  return (stamp & 0x7FFFCu) / 4u;
}

Instant stampInstant(std::uint32_t stamp) {
  // Day number 1 is 1 January 1997, so day number 0 is the day before.
  const std::int64_t firstDay = kDayOne;
  const Instant midnight{civilFromDays(firstDay + stampDayNumber(stamp) - 1), 0};
  return addSeconds(midnight, stampSeconds(stamp));
}

std::string GetDate(std::uint32_t stamp) {
  const std::int64_t firstDay = kDayOne;
  return formatUsDate(civilFromDays(firstDay + stampDayNumber(stamp) - 1));
}

std::string GetTime(std::uint32_t stamp, int elapsedMode) {
  const std::int64_t seconds = stampSeconds(stamp);
  if (elapsedMode != 0) {
    return zeroPadded(seconds / 3600, 2) + ":" + zeroPadded(seconds % 3600 / 60, 2) + ":" +
           zeroPadded(seconds % 60, 2);
  }
  // A word past the end of a day shows the time of day it runs into.
  const std::int64_t ofDay = seconds % kSecondsPerDay;
  const std::int64_t hour24 = ofDay / 3600;
  const std::int64_t hour12 = hour24 % 12 == 0 ? 12 : hour24 % 12;
  return std::to_string(hour12) + ":" + zeroPadded(ofDay % 3600 / 60, 2) + ":" +
         zeroPadded(ofDay % 60, 2) + (hour24 < 12 ? " AM" : " PM");
}

void ChangeDate(std::string& sampDate, int doNotUseNow, int elapsedMode, int dateChoice,
                const ports::LocalTime& today) {
  if (doNotUseNow == 0 && elapsedMode == 1) {
    sampDate = std::to_string(today.month) + "/" + std::to_string(today.day) + "/" +
               zeroPadded(today.year, 4);
  }
  if (dateChoice >= 1 && dateChoice <= 4) return;

  std::string month;
  std::string day;
  std::string year;
  if (sampDate.size() < 6) {
    month = "01";
    day = "01";
    year = "1970";
  } else {
    int field = 0;
    for (char c : sampDate) {
      if (c == ' ') continue;
      if (c == '-' || c == '/') {
        ++field;
      } else if (field == 0) {
        month += c;
      } else if (field == 1) {
        day += c;
      } else {
        year += c;
      }
    }
  }

  switch (dateChoice) {
    case 5:
    case 6:
      sampDate = year + "/" + month + "/" + day;
      break;
    case 7:
      sampDate = day + "-" + monthNameFor(month) + "-" + year;
      break;
    case 8:
    case 9:
      sampDate = day + "/" + month + "/" + year;
      break;
    default:
      // No such choice: the text is left as it is.
      break;
  }
}

void ChangeTime(std::string& sampTime, int elapsedMode, int timeChoice) {
  if (elapsedMode == 1) return;
  if (timeChoice == 1 || timeChoice == 2) return;

  std::string hour;
  std::string rest;
  std::string suffix;
  if (sampTime.size() < 6) {
    hour = "12";
    rest = ":00:00";
  } else if (sampTime[1] == ':') {
    hour = mid(sampTime, 1, 1);
    rest = mid(sampTime, 2, 6);
    suffix = mid(sampTime, 9, 2);
  } else {
    hour = mid(sampTime, 1, 2);
    rest = mid(sampTime, 3, 6);
    suffix = mid(sampTime, 10, 2);
  }

  if (suffix == "PM") {
    std::int64_t value = leadingNumber(hour);
    if (value < 12) value += 12;
    // Written the way a non-negative number is turned into text: a blank in the sign's place.
    hour = signedText(value);
  }
  sampTime = hour + rest;
}

std::string formatNameDate(const CivilDate& d) {
  return zeroPadded(d.day, 2) + "." + std::string(monthAbbreviation(d.month)) + "." +
         twoDigitYear(d.year);
}

std::string formatNameTime(std::int64_t secondsOfDay) {
  const std::int64_t s = floorMod(secondsOfDay, kSecondsPerDay);
  return zeroPadded(s / 3600, 2) + "." + zeroPadded(s % 3600 / 60, 2) + "." + zeroPadded(s % 60, 2);
}

namespace {

// Writes 0 <= value < 10^width at `at` with zeros in front. The texts below are built in place:
// a whole upload's times are made some 440,000 at once.
void putDigits(char* at, std::int64_t value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    at[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

}  // namespace

std::string formatUsDate(const CivilDate& d) {
  if (d.month < 0 || d.month > 99 || d.day < 0 || d.day > 99 || d.year < 0 || d.year > 9999)
    return zeroPadded(d.month, 2) + "/" + zeroPadded(d.day, 2) + "/" + zeroPadded(d.year, 4);
  char text[] = "00/00/0000";
  putDigits(text, d.month, 2);
  putDigits(text + 3, d.day, 2);
  putDigits(text + 6, d.year, 4);
  return {text, sizeof text - 1};
}

void formatTime12(std::string& out, std::int64_t secondsOfDay) {
  const std::int64_t s = floorMod(secondsOfDay, kSecondsPerDay);
  const std::int64_t hour24 = s / 3600;
  const std::int64_t hour12 = hour24 % 12 == 0 ? 12 : hour24 % 12;
  char text[] = "00:00:00 AM";
  putDigits(text, hour12, 2);
  putDigits(text + 3, s % 3600 / 60, 2);
  putDigits(text + 6, s % 60, 2);
  if (hour24 >= 12) text[9] = 'P';
  out.assign(text, sizeof text - 1);
}

const CivilDate& ClockTexts::write(std::int64_t seconds, std::string& date, std::string& time) {
  const std::int64_t total = start_.secondsOfDay + seconds;
  const std::int64_t day = floorDiv(total, kSecondsPerDay);
  if (day_ != day) {
    date_ = addSeconds(start_, seconds).date;
    day_ = day;
    dateText_ = formatUsDate(date_);
  }
  date = dateText_;
  formatTime12(time, total - day * kSecondsPerDay);
  return date_;
}

std::string formatTime12(std::int64_t secondsOfDay) {
  std::string text;
  formatTime12(text, secondsOfDay);
  return text;
}

std::optional<CivilDate> parseUsDate(std::string_view text) {
  std::size_t pos = 0;
  const auto month = readNumber(text, pos, 1, 2);
  if (!month || !expect(text, pos, '/')) return std::nullopt;
  const auto day = readNumber(text, pos, 1, 2);
  if (!day || !expect(text, pos, '/')) return std::nullopt;
  const auto year = readNumber(text, pos, 4, 4);
  if (!year || pos != text.size()) return std::nullopt;
  if (*month < 1 || *month > 12) return std::nullopt;
  if (*day < 1 || *day > daysInMonth(*year, *month)) return std::nullopt;
  return CivilDate{*year, *month, *day};
}

std::optional<std::int64_t> parseTime12(std::string_view text) {
  std::size_t pos = 0;
  const auto hour = readNumber(text, pos, 1, 2);
  if (!hour || !expect(text, pos, ':')) return std::nullopt;
  const auto minute = readNumber(text, pos, 2, 2);
  if (!minute || !expect(text, pos, ':')) return std::nullopt;
  const auto second = readNumber(text, pos, 2, 2);
  if (!second || !expect(text, pos, ' ')) return std::nullopt;
  const std::string_view suffix = text.substr(pos);
  if (suffix != "AM" && suffix != "PM") return std::nullopt;
  if (*hour < 1 || *hour > 12 || *minute > 59 || *second > 59) return std::nullopt;
  const int hour24 = (*hour % 12) + (suffix == "PM" ? 12 : 0);
  return std::int64_t{hour24} * 3600 + std::int64_t{*minute} * 60 + *second;
}

namespace {

// A run of 1..4 digits and nothing else.
std::optional<int> wholeNumber(std::string_view part) {
  if (part.empty() || part.size() > 4) return std::nullopt;
  int value = 0;
  for (char c : part) {
    if (!isDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// Month 1..12 of a three-letter name, any case; 0 when it is none.
int monthOfName(std::string_view part) {
  if (part.size() != 3) return 0;
  for (std::size_t m = 0; m < kMonthNames.size(); ++m) {
    bool same = true;
    for (std::size_t i = 0; i < 3; ++i) {
      same = same && (part[i] | 0x20) == (kMonthNames[m][i] | 0x20);
    }
    if (same) return static_cast<int>(m) + 1;
  }
  return 0;
}

}  // namespace

std::optional<CivilDate> parseDisplayedDate(std::string_view text, int dateChoice) {
  const std::vector<CivilDate> readings = dateReadings(text);
  if (readings.empty()) return std::nullopt;
  // Month first, then day first, when both read.
  return readings.size() == 2 && (dateChoice == 8 || dateChoice == 9) ? readings[1] : readings[0];
}

std::optional<std::int64_t> parseDisplayedTime(std::string_view text) {
  text = withoutSpaces(text);
  if (text.size() > 3 && text[text.size() - 3] == ' ') return parseTime12(text);
  std::size_t pos = 0;
  const auto hour = readNumber(text, pos, 1, 2);
  if (!hour || !expect(text, pos, ':')) return std::nullopt;
  const auto minute = readNumber(text, pos, 2, 2);
  if (!minute || !expect(text, pos, ':')) return std::nullopt;
  const auto second = readNumber(text, pos, 2, 2);
  if (!second || pos != text.size()) return std::nullopt;
  if (*hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
  return static_cast<std::int64_t>(*hour) * 3600 + static_cast<std::int64_t>(*minute) * 60 +
         *second;
}

std::string_view monthAbbreviation(int month) {
  if (month < 1 || month > 12) return {};
  return kMonthNames[static_cast<std::size_t>(month - 1)];
}

}  // namespace kestrand::datetime

namespace kestrand::datetime {
namespace {

// The date of three numeric parts in one order, nullopt when it is no valid date.
std::optional<CivilDate> numericDate(std::optional<int> year, std::optional<int> month,
                                     std::optional<int> day, std::size_t yearDigits) {
  if (!year || !month || !day) return std::nullopt;
  if (yearDigits == 2) {
    *year += 2000;
  } else if (yearDigits != 4) {
    return std::nullopt;
  }
  if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month)) {
    return std::nullopt;
  }
  return CivilDate{*year, *month, *day};
}

std::string fractionText(Tenths at) {
  const Tenths tenth = floorMod(at, 10);
  return tenth == 0 ? std::string() : "." + std::to_string(tenth);
}

}  // namespace

Tenths tenthsOf(const Instant& at) {
  return (daysFromCivil(at.date) * kSecondsPerDay + at.secondsOfDay) * 10;
}

Instant instantOf(Tenths at) {
  const std::int64_t seconds = floorDiv(at, 10);
  return {civilFromDays(floorDiv(seconds, kSecondsPerDay)), floorMod(seconds, kSecondsPerDay)};
}

std::string isoText(Tenths at, bool elapsed) {
  if (at == kNoInstant) return {};
  if (elapsed) {
    const std::int64_t s = floorDiv(at < 0 ? 0 : at, 10);
    return "+" + zeroPadded(s / 3600, 2) + ":" + zeroPadded(s / 60 % 60, 2) + ":" +
           zeroPadded(s % 60, 2) + fractionText(at < 0 ? 0 : at);
  }
  const Instant i = instantOf(at);
  const std::int64_t s = i.secondsOfDay;
  return zeroPadded(i.date.year, 4) + "-" + zeroPadded(i.date.month, 2) + "-" +
         zeroPadded(i.date.day, 2) + "T" + zeroPadded(s / 3600, 2) + ":" +
         zeroPadded(s / 60 % 60, 2) + ":" + zeroPadded(s % 60, 2) + fractionText(at);
}

std::vector<CivilDate> dateReadings(std::string_view text) {
  text = withoutSpaces(text);
  std::array<std::string_view, 3> parts;
  std::size_t count = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '/' && text[i] != '-') continue;
    if (count == parts.size()) return {};
    parts[count++] = text.substr(start, i - start);
    start = i + 1;
  }
  if (count != parts.size()) return {};
  std::vector<CivilDate> out;
  const auto add = [&](std::optional<CivilDate> d) {
    if (d && (out.empty() || !(out.front() == *d))) out.push_back(*d);
  };
  if (const int named = monthOfName(parts[1]); named != 0) {
    add(numericDate(wholeNumber(parts[2]), named, wholeNumber(parts[0]), parts[2].size()));
  } else if (parts[0].size() == 4) {
    add(numericDate(wholeNumber(parts[0]), wholeNumber(parts[1]), wholeNumber(parts[2]), 4));
  } else {
    const auto a = wholeNumber(parts[0]);
    const auto b = wholeNumber(parts[1]);
    const auto y = wholeNumber(parts[2]);
    add(numericDate(y, a, b, parts[2].size()));
    add(numericDate(y, b, a, parts[2].size()));
  }
  return out;
}

std::vector<std::int64_t> timeReadings(std::string_view text) {
  const bool blank = !text.empty() && text.front() == ' ';
  const auto t = parseDisplayedTime(text);
  if (!t) return {};
  const std::string_view trimmed = withoutSpaces(text);
  const bool twentyFour = !(trimmed.size() > 3 && trimmed[trimmed.size() - 3] == ' ');
  if (twentyFour && *t / 3600 == 12 && !blank) return {*t - std::int64_t{12} * 3600, *t};
  return {*t};
}

std::optional<std::int64_t> parseElapsedTime(std::string_view text) {
  text = withoutSpaces(text);
  std::int64_t parts[3] = {0, 0, 0};
  int part = 0;
  bool digit = false;
  for (char c : text) {
    if (isDigit(c)) {
      if (parts[part] > 100000000) return std::nullopt;
      parts[part] = parts[part] * 10 + (c - '0');
      digit = true;
    } else if (c == ':' && digit && part < 2) {
      ++part;
      digit = false;
    } else {
      return std::nullopt;
    }
  }
  if (part != 2 || !digit || parts[1] > 59 || parts[2] > 59) return std::nullopt;
  return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

void InstantReading::settleBy(std::string_view text, const CivilDate& date) {
  const std::vector<CivilDate> readings = dateReadings(text);
  if (readings.size() == 2 && (readings[0] == date || readings[1] == date)) {
    dayFirst_ = readings[1] == date;
    settled_ = true;
  }
}

Tenths InstantReading::read(std::string_view date, std::string_view time) {
  std::vector<CivilDate> dates = dateReadings(date);
  const std::vector<std::int64_t> times = timeReadings(time);
  if (dates.empty() || times.empty()) return kNoInstant;
  if (dates.size() == 2 && dayFirst_) std::swap(dates[0], dates[1]);
  if (dates.size() == 2 && settled_) dates.pop_back();
  if (!previous_) {
    // Nothing to follow: the preferred reading.
    previous_ = tenthsOf({dates[0], times[0]});
    return *previous_;
  }
  std::optional<Tenths> best;
  std::size_t fitting = 0;  // the dates with a reading not before the previous instant
  bool firstFits = false;
  for (std::size_t d = 0; d < dates.size(); ++d) {
    bool fits = false;
    for (const std::int64_t s : times) {
      const Tenths at = tenthsOf({dates[d], s});
      if (at < *previous_) continue;
      fits = true;
      if (!best || at < *best) best = at;
    }
    fitting += fits ? 1 : 0;
    if (d == 0) firstFits = fits;
  }
  // Of two orders only one fits: that one is the order of every later text.
  if (dates.size() == 2 && fitting == 1) {
    dayFirst_ = firstFits == dayFirst_;
    settled_ = true;
  }
  if (!best) best = tenthsOf({dates[0], times[0]});
  previous_ = best;
  return *best;
}

std::optional<Tenths> nameInstant(std::string_view name) {
  // "dd.Mon.yy" somewhere in the name, then "  hh.mm.ss" when the time follows.
  for (std::size_t i = 0; i + 9 <= name.size(); ++i) {
    const std::string_view d = name.substr(i, 9);
    if (d[2] != '.' || d[6] != '.') continue;
    std::size_t pos = 0;
    const auto day = readNumber(d.substr(0, 2), pos, 2, 2);
    const int month = monthOfName(d.substr(3, 3));
    pos = 0;
    const auto year = readNumber(d.substr(7, 2), pos, 2, 2);
    const auto date =
        numericDate(year, month == 0 ? std::nullopt : std::optional<int>(month), day, 2);
    if (!date) continue;
    std::int64_t seconds = 0;
    if (i + 9 + 10 <= name.size() && name.substr(i + 9, 2) == "  ") {
      const std::string_view t = name.substr(i + 11, 8);
      std::size_t p = 0;
      const auto h = readNumber(t, p, 2, 2);
      const bool dot1 = expect(t, p, '.');
      const auto m = readNumber(t, p, 2, 2);
      const bool dot2 = expect(t, p, '.');
      const auto s = readNumber(t, p, 2, 2);
      if (h && m && s && dot1 && dot2 && *h < 24 && *m < 60 && *s < 60)
        seconds = std::int64_t{*h} * 3600 + std::int64_t{*m} * 60 + *s;
    }
    return tenthsOf({*date, seconds});
  }
  return std::nullopt;
}

}  // namespace kestrand::datetime
