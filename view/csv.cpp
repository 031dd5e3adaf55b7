#include "view/csv.h"

#include <algorithm>
#include <charconv>

#include "core/error.h"
#include "view/number_text.h"

namespace kestrand::view {
namespace {

constexpr std::size_t kChunkBytes = std::size_t{64} * 1024;

void appendQuoted(std::string& out, std::string_view text) {
  out += '"';
  out += text;
  out += '"';
}

// Calls `each(line)` for every line of `content` until it returns false. A line ends in CR LF,
// CR or LF; the end of the content ends the last line when it has characters.
template <typename F>
void forEachLine(std::string_view content, F each) {
  std::size_t pos = 0;
  while (pos < content.size()) {
    const std::size_t end = content.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      each(content.substr(pos));
      return;
    }
    if (!each(content.substr(pos, end - pos))) return;
    pos = end + 1;
    if (content[end] == '\r' && pos < content.size() && content[pos] == '\n') ++pos;
  }
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

// A value field: blanks around a number with an optional sign, digits with an optional point
// and an optional exponent (E or D). The period is the decimal separator whatever the locale.
float csvValue(std::string_view raw) {
  const std::string_view s = trimmed(raw);
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
  if (digits == 0 || i != s.size()) {
    throw Error(ErrorKind::kTypeMismatch, "Type mismatch: " + std::string(raw));
  }
  float v = 0.0f;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    if (tooLarge(text)) throw Error(ErrorKind::kOverflow, "Overflow: " + std::string(raw));
    return 0.0f;  // too small for a single float
  }
  return v;
}

}  // namespace

bool hasColumnsInUse(const store::SampleTable& t) {
  for (int k = 0; k < store::kTableColumns - 1; ++k) {
    if (t.ColUsed[static_cast<std::size_t>(k)] > 0) return true;
  }
  return false;
}

std::string csvNumber(float v) {
  std::string text = numberText(v);
  if (!text.empty() && text.front() == ' ') text.erase(0, 1);
  return text;
}

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

void appendCsvLine(std::string& out, const store::SampleTable& t, int j) {
  const auto row = static_cast<std::size_t>(j);
  appendQuoted(out, t.SampleDate[row]);
  out += ',';
  appendQuoted(out, t.SampleTime[row]);
  for (int i = 0; i < 20; ++i) {
    if (t.ColUsed[static_cast<std::size_t>(i)] > 0) {
      out += ',';
      out += csvNumber(t.SampleData(i, j));
    }
  }
  if (t.ColUsed[store::kMoveAvgColumn] > 0) {
    out += ',';
    out += csvNumber(t.MoveAvgData[row]);
  }
  out += ',';
  appendQuoted(out, t.SampleProbe[row]);
  out += ',';
  appendQuoted(out, t.SampleUnits[row]);
}

void WriteCsv(const store::SampleTable& t, const std::function<void(std::string_view)>& write,
              const store::Feedback& feedback) {
  std::string chunk = csvTitleLine(t) + "\r\n";
  chunk.reserve(kChunkBytes + 1024);
  for (int j = 0; j < t.NumSamples; ++j) {
    appendCsvLine(chunk, t, j);
    chunk += "\r\n";
    if (chunk.size() >= kChunkBytes) {
      write(chunk);
      chunk.clear();
    }
    feedback.setProgress(j, t.NumSamples);
  }
  if (!chunk.empty()) write(chunk);
}

CsvCount countCsvLines(std::string_view content) {
  CsvCount count;
  forEachLine(content, [&](std::string_view line) {
    if (line.size() >= kCountedLineLength) ++count.lines;
    return true;
  });
  // A title line and 16300 samples are already more lines than samples the table holds.
  if (count.lines > store::kMaxSamples) {
    count.lines = store::kMaxSamples + 1;
    count.overLimit = true;
  }
  return count;
}

void ParseCsvHeader(std::string_view line, store::SampleTable& t) {
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
}

void ParseCsvLine(std::string_view line, int CsvRow, store::SampleTable& t,
                  store::HeaderFields& header) {
  int lastMark = 0;
  for (const std::int16_t mark : t.ColUsed) lastMark = std::max<int>(lastMark, mark);
  const auto row = static_cast<std::size_t>(CsvRow);
  forEachField(line, [&](int f, std::string_view raw, bool quoted) {
    if (f > lastMark) return false;
    int k = 0;
    while (k < store::kTableColumns && t.ColUsed[static_cast<std::size_t>(k)] != f) ++k;
    const bool value = k < 20 || k == store::kMoveAvgColumn;
    if (k == store::kTableColumns || (value && trimmed(raw).empty()) || (!value && raw.size() <= 2))
      return true;
    const auto text = [&] { return std::string(plainText(raw, quoted)); };
    switch (k) {
      case store::kDateColumn:
        t.SampleDate[row] = text();
        break;
      case store::kTimeColumn:
        t.SampleTime[row] = text();
        break;
      case store::kProbeColumn:
        t.SampleProbe[row] = text();
        break;
      case store::kMoveAvgColumn:
        t.MoveAvgData[row] = csvValue(raw);
        break;
      case store::kUnitsColumn:
        t.SampleUnits[row] = text();
        return false;
      default:
        if (k < 20) t.SampleData(k, CsvRow) = csvValue(raw);
        break;
    }
    return true;
  });
  header.ProbeName = t.SampleProbe[0];
  if (t.SampleProbe[2].size() > 3) {
    header.MoveAveText = t.SampleProbe[2].size() > 6 ? t.SampleProbe[2].substr(6) : std::string();
  }
}

std::vector<std::string> ReadCsvLines(std::string_view content, int lines, store::SampleTable& t,
                                      store::HeaderFields& header,
                                      const store::Feedback& feedback) {
  std::vector<std::string> messages;
  int read = 0;
  const int rows = lines > 0 ? lines - 1 : 0;
  forEachLine(content, [&](std::string_view line) {
    if (read >= lines) return false;
    if (read == 0) {
      ParseCsvHeader(line, t);
    } else {
      try {
        ParseCsvLine(line, read - 1, t, header);
      } catch (const Error& e) {
        messages.push_back("Error on Open!  " + e.description());
      }
      feedback.setProgress(read, rows);
    }
    ++read;
    return read < lines;
  });
  return messages;
}

CsvReadResult ReadCsvContent(std::string_view content, store::SampleTable& t,
                             store::HeaderFields& header, const store::Feedback& feedback) {
  const CsvCount count = countCsvLines(content);
  t.NumSamples = count.NumSamples();
  CsvReadResult result;
  result.overLimit = count.overLimit;
  result.messages = ReadCsvLines(content, count.lines, t, header, feedback);
  return result;
}

std::string shownFileName(const std::string& path) {
  for (std::size_t i = path.size(); i >= 2; --i) {
    const char c = path[i - 1];
    if (c == '/' || c == '\\') return path.substr(i);
  }
  return path;
}

}  // namespace kestrand::view
