#include "adapters/qt/cp1252.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "core/text.h"

namespace kestrand::adapters::qt {
namespace {

// Characters of the bytes 0x80 to 0x9F. The undefined bytes hold their own value. A table of our
// own: the standard library has no Windows-1252 conversion, and Qt converts it only when built
// with ICU, which the program must not depend on.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char byteFor(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

QString fromCp1252(std::string_view bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b >= 0x80 && b <= 0x9F) {
      out.append(QChar(kHighControls[b - 0x80u]));
    } else {
      out.append(QChar(static_cast<char16_t>(b)));
    }
  }
  return out;
}

std::string toCp1252(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
      out.push_back('?');
      ++i;
      continue;
    }
    out.push_back(byteFor(c.unicode()));
  }
  return out;
}

namespace {

// The program's line breaks each as one newline; each line's text through `line`.
template <typename Line>
std::string brokenLines(std::string_view bytes, Line line) {
  std::string flat;
  flat.reserve(bytes.size());
  std::size_t from = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c != '\n' && c != '\r') continue;
    flat += line(bytes.substr(from, i - from));
    const char pairing = c == '\n' ? '\r' : '\n';
    if (i + 1 < bytes.size() && bytes[i + 1] == pairing) ++i;
    flat.push_back('\n');
    from = i + 1;
  }
  return flat + line(bytes.substr(std::min(from, bytes.size())));
}

}  // namespace

QString displayText(std::string_view bytes) {
  return fromCp1252(brokenLines(bytes, [](std::string_view line) { return std::string(line); }));
}

QString printableLinesText(std::string_view bytes) {
  return fromCp1252(brokenLines(bytes, [](std::string_view line) { return printable(line); }));
}

QString paddedLinesText(std::string_view bytes) {
  std::string out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (bytes[i] != ' ') {
      out.push_back(bytes[i++]);
      continue;
    }
    std::size_t run = 0;
    while (i + run < bytes.size() && bytes[i + run] == ' ') ++run;
    const bool atEdge = out.empty() || i + run == bytes.size();
    if (atEdge) {
      // padding before the first or after the last sentence
    } else if (run >= 3) {
      out.push_back('\n');
    } else {
      out.append(run, ' ');
    }
    i += run;
  }
  return displayText(out);
}

}  // namespace kestrand::adapters::qt
