#include "view/csv.h"

#include "datetime/datetime.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

#include "core/error.h"
#include "datetime/datetime.h"
#include "view/number_text.h"

namespace kestrand::view {
namespace {

constexpr std::size_t kChunkBytes = std::size_t{64} * 1024;
// Progress goes out once every so many lines read: the bar still moves smoothly.
constexpr int kProgressEvery = 256;
// How much of a bad field a message quotes.
constexpr std::size_t kQuotedBytes = 64;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

void appendQuoted(std::string& out, std::string_view text) {
  out += '"';
  out += text;
  out += '"';
}

// A value in the file: the grid's number text without the blank of a sign.
void appendNumber(std::string& out, float v) {
  appendNumberText(out, v, PlusSign::kNone);
}

// Line 1 without its line end: "Date","Time", the titles of the value columns in use, then
// "Move-Avg" when in use, "Probe","Units".
std::string csvTitleLine(const store::SampleTable& t) {
  std::string line = "\"Date\",\"Time\"";
  for (int i = 0; i < 20; ++i) {
    if (t.ColUsed[static_cast<std::size_t>(i)] > 0) {
      line += ',';
      appendQuoted(line, store::SampleTable::ColTitle(i));
    }
  }
  if (t.ColUsed[store::kMoveAvgColumn] > 0) line += ",\"Move-Avg\"";
  line += ",\"Probe\",\"Units\"";
  return line;
}

// Appends the line of sample j, its line end included; `columns` are the value columns in use.
void appendCsvLine(std::string& out, const store::SampleTable& t, int j,
                   const std::vector<int>& columns, bool moveAvg) {
  const auto row = static_cast<std::size_t>(j);
  appendQuoted(out, t.SampleDate[row]);
  out += ',';
  appendQuoted(out, t.SampleTime[row]);
  for (const int i : columns) {
    out += ',';
    appendNumber(out, t.SampleData(i, j));
  }
  if (moveAvg) {
    out += ',';
    appendNumber(out, t.MoveAvgData[row]);
  }
  out += ',';
  appendQuoted(out, t.SampleProbe[row]);
  out += ',';
  appendQuoted(out, t.SampleUnits[row]);
  out += "\r\n";
}

// Calls `field(number, raw, quoted)` for each comma-ended field of `line` with a comma
// appended; the field is numbered from 1; `quoted` is true when it holds a double quote
// anywhere. Stops when `field` returns false.
template <typename F>
void forEachField(std::string_view line, F field) {
  std::size_t start = 0;
  bool quoted = false;
  int number = 1;
  for (std::size_t i = 0; i <= line.size(); ++i) {
    const char c = i < line.size() ? line[i] : ',';
    if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      if (!field(number, line.substr(start, i - start), quoted)) return;
      ++number;
      quoted = false;
      start = i + 1;
    }
  }
}

// A quoted field's text: one character dropped at each end (none left of one character).
std::string_view plainText(std::string_view raw, bool quoted) {
  if (!quoted) return raw;
  if (raw.size() < 2) return {};
  return raw.substr(1, raw.size() - 2);
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// True when a number of the form [-]digits[.digits][e[+-]digits] that a float cannot hold is
// too large rather than too small: its first significant digit stands at 10 or above.
bool tooLarge(std::string_view text) {
  const std::size_t e = text.find('e');
  long exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view ex = text.substr(e + 1);
    const bool negative = !ex.empty() && ex.front() == '-';
    if (!ex.empty() && (ex.front() == '-' || ex.front() == '+')) ex.remove_prefix(1);
    for (char c : ex) exponent = std::min(exponent * 10 + (c - '0'), 100000L);
    if (negative) exponent = -exponent;
  }
  const std::string_view mantissa = text.substr(0, e);
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) return false;
  const long place =
      first < point ? static_cast<long>(point - first) - 1 : -static_cast<long>(first - point);
  return place + exponent > 0;
}

enum class Conversion { kOk, kTypeMismatch, kOverflow };

// A value field: blanks around a number with an optional sign, digits with an optional point
// and an optional exponent (E or D). The period is the decimal separator whatever the locale.
// The usual form, an optional minus and then a digit or the point, goes straight to
// std::from_chars; every other text is rewritten for it first.
Conversion csvValue(std::string_view raw, float& v) {
  const std::string_view s = trimmed(raw);
  const std::size_t first = !s.empty() && s.front() == '-' ? 1 : 0;
  if (first < s.size() && ((s[first] >= '0' && s[first] <= '9') || s[first] == '.')) {
    const auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    if (res.ec == std::errc() && res.ptr == s.data() + s.size()) return Conversion::kOk;
  }
  std::string text;
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    if (s[i] == '-') text += '-';
    ++i;
  }
  int digits = 0;
  bool point = false;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
    text += c;
  }
  if (i < s.size() && digits > 0 && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
    text += 'e';
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) text += s[i++];
    int expDigits = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++expDigits) text += s[i];
    if (expDigits == 0) digits = 0;
  }
  if (digits == 0 || i != s.size()) return Conversion::kTypeMismatch;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    if (tooLarge(text)) return Conversion::kOverflow;
    v = 0.0f;  // too small for a single float
  }
  return Conversion::kOk;
}

// ---- The first pass

struct FirstPass {
  CsvCount count;
  std::vector<std::string_view> lines;  // the first 16301 lines, without their line ends
};

Error lineError(std::size_t line, const std::string& what) {
  return Error(ErrorKind::kGeneral, "Line " + std::to_string(line) + " " + what);
}

// Counts the lines of at least 16 characters to the end of the content, or until more than
// 16300 are counted (the count is then final), keeping the first 16301 lines for the second
// pass. Checks every line it passes.
FirstPass countLines(std::string_view content) {
  FirstPass pass;
  const bool cut = content.size() > kMaxCsvBytes;
  const std::size_t end = std::min(content.size(), kMaxCsvBytes);
  constexpr int kKept = store::kMaxSamples + 1;
  int counted = 0;
  std::size_t pos = 0;
  while (pos < end && counted <= store::kMaxSamples) {
    const std::size_t limit = std::min(end, pos + kMaxCsvLineBytes + 1);
    std::size_t i = pos;
    for (; i < limit; ++i) {
      const auto c = static_cast<unsigned char>(content[i]);
      if (c >= 0x20 || c == '\t') continue;
      if (c == '\r' || c == '\n') break;
      throw lineError(pass.lines.size() + 1, "holds a character that no text has (code " +
                                                 std::to_string(c) +
                                                 "): this is not a saved data file");
    }
    if (i - pos > kMaxCsvLineBytes) {
      throw lineError(pass.lines.size() + 1, "is longer than any line of a saved data file (" +
                                                 std::to_string(kMaxCsvLineBytes) + " characters)");
    }
    if (i - pos >= kCountedLineLength) ++counted;
    if (pass.lines.size() < kKept) pass.lines.push_back(content.substr(pos, i - pos));
    pos = i + 1;
    if (i < end && content[i] == '\r' && pos < end && content[pos] == '\n') ++pos;
  }
  if (cut && counted <= store::kMaxSamples) {
    throw Error(ErrorKind::kGeneral, "The file is longer than a saved data file can be (" +
                                         std::to_string(kMaxCsvBytes) + " bytes)");
  }
  // A title line and 16300 samples are already more lines than samples the table holds.
  pass.count.lines = std::min(counted, kKept);
  pass.count.overLimit = counted > store::kMaxSamples;
  return pass;
}

// ---- The second pass

// What the title line set: the table column of each position (-1 for none), up to the last.
struct CsvFields {
  std::vector<int> column;
  int last = 0;
};

// The title line: sets ColUsed(k) of every column whose title it holds to the title's position
// among the recognised titles (1, 2, ...), every other mark 0..24 to 0.
CsvFields ParseCsvHeader(std::string_view line, store::SampleTable& t) {
  for (int k = 0; k < store::kTableColumns - 1; ++k) t.ColUsed[static_cast<std::size_t>(k)] = 0;
  std::int16_t position = 1;
  forEachField(line, [&](int, std::string_view raw, bool quoted) {
    std::string title;
    for (char c : plainText(raw, quoted)) {
      if (c != ' ') title += c;
    }
    for (int k = 0; k < store::kTableColumns - 1; ++k) {
      if (title == store::SampleTable::ColTitle(k)) {
        t.ColUsed[static_cast<std::size_t>(k)] = position++;
        break;
      }
    }
    return title != "Units";
  });
  // A field goes to the first column whose mark is its position.
  CsvFields fields;
  for (const std::int16_t mark : t.ColUsed) fields.last = std::max<int>(fields.last, mark);
  fields.column.assign(static_cast<std::size_t>(fields.last) + 1, -1);
  for (int k = store::kTableColumns - 2; k >= 0; --k) {
    const std::int16_t mark = t.ColUsed[static_cast<std::size_t>(k)];
    if (mark > 0) fields.column[static_cast<std::size_t>(mark)] = k;
  }
  return fields;
}

// One data line into row `CsvRow`. Returns the failure of its first value field that is no
// number ("" when there is none); the other fields are read all the same.
std::string ParseCsvLine(std::string_view line, int CsvRow, const CsvFields& fields,
                         store::SampleTable& t) {
  const auto row = static_cast<std::size_t>(CsvRow);
  std::string failure;
  forEachField(line, [&](int f, std::string_view raw, bool quoted) {
    if (f > fields.last) return false;
    const int k = fields.column[static_cast<std::size_t>(f)];
    if (k < 0) return true;
    if (k < 20 || k == store::kMoveAvgColumn) {
      if (trimmed(raw).empty()) return true;
      float v = 0.0f;
      const Conversion c = csvValue(raw, v);
      if (c == Conversion::kOk) {
        (k == store::kMoveAvgColumn ? t.MoveAvgData[row] : t.SampleData(k, CsvRow)) = v;
      } else {
        t.unreadCells.emplace_back(CsvRow, k);
        if (failure.empty()) {
          failure = (c == Conversion::kOverflow ? "Overflow: " : "Type mismatch: ") +
                    std::string(raw.substr(0, kQuotedBytes));
        }
      }
      return true;
    }
    if (raw.size() <= 2) return true;
    const std::string_view text = plainText(raw, quoted);
    switch (k) {
      case store::kDateColumn:
        t.SampleDate[row] = text;
        break;
      case store::kTimeColumn:
        t.SampleTime[row] = text;
        break;
      case store::kProbeColumn:
        t.SampleProbe[row] = text;
        break;
      default:  // the units, after which nothing is read
        t.SampleUnits[row] = text;
        return false;
    }
    return true;
  });
  return failure;
}

}  // namespace

bool hasColumnsInUse(const store::SampleTable& t) {
  for (int k = 0; k < store::kTableColumns - 1; ++k) {
    if (t.ColUsed[static_cast<std::size_t>(k)] > 0) return true;
  }
  return false;
}

void WriteCsv(const store::SampleTable& t, const std::function<void(std::string_view)>& write,
              const store::Feedback& feedback) {
  std::vector<int> columns;
  for (int i = 0; i < 20; ++i) {
    if (t.ColUsed[static_cast<std::size_t>(i)] > 0) columns.push_back(i);
  }
  const bool moveAvg = t.ColUsed[store::kMoveAvgColumn] > 0;
  std::string chunk;
  chunk.reserve(kChunkBytes + 1024);
  chunk = csvTitleLine(t);
  chunk += "\r\n";
  for (int j = 0; j < t.NumSamples; ++j) {
    appendCsvLine(chunk, t, j, columns, moveAvg);
    if (chunk.size() >= kChunkBytes) {
      write(chunk);
      chunk.clear();
    }
    feedback.setProgress(j, t.NumSamples);
  }
  if (!chunk.empty()) write(chunk);
}

CsvOpened OpenCsvContent(std::string_view content, store::SampleTable& t,
                         store::HeaderFields& header,
                         const std::function<void(const CsvCount&)>& counted,
                         const store::Feedback& feedback) {
  // A spreadsheet's "CSV UTF-8" starts with a byte-order mark.
  if (content.starts_with(kByteOrderMark)) content.remove_prefix(kByteOrderMark.size());
  const FirstPass pass = countLines(content);
  CsvOpened opened;
  opened.count = pass.count;
  t.NumSamples = pass.count.NumSamples();
  if (counted) counted(pass.count);

  const int rows = pass.count.NumSamples();
  CsvFields fields;
  int longLines = 0;
  for (int n = 0; n < pass.count.lines; ++n) {
    const std::string_view line = pass.lines[static_cast<std::size_t>(n)];
    if (line.size() >= kCountedLineLength) ++longLines;
    if (n == 0) {
      fields = ParseCsvHeader(line, t);
      continue;
    }
    const std::string failure = ParseCsvLine(line, n - 1, fields, t);
    if (!failure.empty()) opened.messages.push_back("Error on Open!  " + failure);
    if (n % kProgressEvery == 0 || n == rows) feedback.setProgress(n, rows);
  }
  // The header details come back through the "Probe" column: the model name in row 0, the
  // moving average's "M-Avg=" text in row 2.
  if (rows > 0) {
    header.ProbeName = t.SampleProbe[0];
    const std::string& mavg = t.SampleProbe[2];
    if (mavg.size() > 3) header.MoveAveText = mavg.size() > 6 ? mavg.substr(6) : std::string();
  }
  opened.linesLost = pass.count.lines - longLines;
  return opened;
}

std::string stampCsvSamples(store::SampleTable& t, bool elapsed, int dateChoice) {
  t.elapsedClock = elapsed;
  datetime::InstantReading reading(dateChoice == 8 || dateChoice == 9, std::nullopt);
  int unread = 0;
  int first = 0;
  for (int j = 0; j < t.NumSamples; ++j) {
    const auto row = static_cast<std::size_t>(j);
    datetime::Tenths at = datetime::kNoInstant;
    if (elapsed) {
      if (const auto s = datetime::parseElapsedTime(t.SampleTime[row])) at = *s * 10;
    } else {
      at = reading.read(t.SampleDate[row], t.SampleTime[row]);
    }
    // A row that a short line left without texts has no time to read.
    const bool texts = !t.SampleDate[row].empty() || !t.SampleTime[row].empty();
    if (at == datetime::kNoInstant && texts && unread++ == 0) first = j;
    t.instants[row] = at;
  }
  if (unread == 0) return {};
  const auto row = static_cast<std::size_t>(first);
  return "Error on Open!  The date and time of sample " + std::to_string(first + 1) + " (\"" +
         t.SampleDate[row] + " " + t.SampleTime[row] + "\")" +
         (unread > 1 ? " and of " + std::to_string(unread - 1) + " more samples" : "") +
         " cannot be read in any date order: left out of the chart's times.";
}

std::string shownFileName(const std::string& path) {
  for (std::size_t i = path.size(); i >= 2; --i) {
    const char c = path[i - 1];
    if (c == '/' || c == '\\') return path.substr(i);
  }
  return path;
}

bool endsWithCsv(std::string_view name) {
  if (name.size() < 4) return false;
  const std::string_view tail = name.substr(name.size() - 4);
  return std::equal(tail.begin(), tail.end(), ".csv", [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
}

}  // namespace kestrand::view
