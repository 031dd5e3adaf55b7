#include "store/notes.h"

#include <array>
#include <cstdint>
#include <utility>

#include "core/error.h"

namespace kestrand::store {
namespace {

constexpr std::string_view kSite = "Site: ";
constexpr std::string_view kOperator = "Operator: ";
constexpr std::string_view kComment = "Comment: ";
constexpr std::string_view kClient = "Client: ";
constexpr std::string_view kSerial = "Instrument serial: ";
constexpr std::string_view kCalibration = "Calibration date: ";
// The first three lines are always written, the others when they hold a value.
constexpr std::size_t kAlwaysWritten = 3;

// Each line's name and the value it holds, in the file's order.
template <typename N>
auto linesOf(N& notes) {
  return std::array{std::pair{kSite, &notes.site},
                    std::pair{kOperator, &notes.operatorName},
                    std::pair{kComment, &notes.comment},
                    std::pair{kClient, &notes.client},
                    std::pair{kSerial, &notes.instrumentSerial},
                    std::pair{kCalibration, &notes.calibrationDate}};
}
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Unicode of Windows-1252 bytes 0x80..0x9F; the five the code page leaves free keep their own
// number, as Windows converts them. Written here rather than taken from Qt: the notes are read
// and written by Qt-free code (the store and the console front end).
constexpr std::array<std::uint16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// True when `s` is well-formed UTF-8: no stray continuation byte, no overlong form, no
// surrogate, nothing above U+10FFFF.
bool isUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    int more = 0;
    std::uint32_t code = 0;
    if (c < 0x80) {
      ++i;
      continue;
    }
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
      code = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      code = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      code = c & 0x07u;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(more) >= s.size()) return false;
    for (int k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3Fu);
    }
    if ((more == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (more == 3 && (code < 0x10000 || code > 0x10FFFF)))
      return false;
    i += static_cast<std::size_t>(more) + 1;
  }
  return true;
}

void escapeInto(std::string& out, std::string_view value) {
  for (char c : value) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
}

// A value as written, escapes undone; an unknown escape stays as it is.
std::string unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (text[i] == '\\' && (next == '\\' || next == 'n' || next == 'r')) {
      out += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string utf8Text(std::string_view bytes) {
  if (isUtf8(bytes)) return std::string(bytes);
  return utf8OfCp1252(bytes);
}

std::string utf8OfCp1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    appendUtf8(out, b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80u] : b);
  }
  return out;
}

std::string notesPath(const std::string& dataPath) {
  return ports::withoutExtension(dataPath) + ".notes";
}

std::string notesText(const Notes& notes) {
  std::string out;
  const auto lines = linesOf(notes);
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const auto& [key, value] = lines[k];
    if (k >= kAlwaysWritten && value->empty()) continue;
    out += key;
    escapeInto(out, *value);
    out += "\r\n";
  }
  for (const std::string& line : notes.others) out += line + "\r\n";
  return out;
}

bool isNotesText(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  if (text.empty()) return true;
  if (text.find('\0') != std::string_view::npos) return false;  // binary
  for (std::size_t at = 0; at < text.size();) {
    const std::string_view line = text.substr(at, text.find('\n', at) - at);
    if (line.starts_with(kSite) || line.starts_with(kOperator) || line.starts_with(kComment))
      return true;
    at += line.size() + 1;
  }
  return false;
}

Notes parseNotes(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  Notes notes;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    bool known = false;
    for (const auto& [key, value] : linesOf(notes)) {
      if (!line.starts_with(key)) continue;
      *value = utf8Text(unescape(line.substr(key.size())));
      known = true;
    }
    if (!known) notes.others.emplace_back(line);
  }
  return notes;
}

Notes readNotes(const ports::FileSystem& fs, const std::string& dataPath) {
  const std::string path = notesPath(dataPath);
  std::string content;
  try {
    content = fs.readHead(path, kNotesFileBytes + 1);
  } catch (const Error& e) {
    if (e.is(ErrorKind::kFileNotFound)) return {};  // an upload without notes
    throw Error(e.code(),
                "The notes " + ports::fileNameOf(path) + " could not be read: " + e.description());
  }
  if (content.size() > kNotesFileBytes) {
    throw Error(ErrorKind::kGeneral, "The notes " + ports::fileNameOf(path) + " are larger than " +
                                         std::to_string(kNotesFileBytes) +
                                         " bytes; they were not read");
  }
  if (!isNotesText(content)) {
    throw Error(ErrorKind::kGeneral, "The notes " + ports::fileNameOf(path) +
                                         " are not a notes file of this program; they are left "
                                         "as they are");
  }
  return parseNotes(content);
}

void updateNotes(ports::FileSystem& fs, const std::string& dataPath,
                 const std::function<void(Notes&)>& change) {
  std::unique_ptr<ports::FileLock> held;
  try {
    held = fs.lock(dataPath);
  } catch (const Error& e) {
    if (!e.is(ErrorKind::kFileNotFound)) throw;
    throw Error(e.code(),
                ports::fileNameOf(dataPath) + " is not there; its notes were not written");
  }
  Notes notes = readNotes(fs, dataPath);
  change(notes);
  if (notes.empty() && notes.others.empty()) {
    removeNotes(fs, dataPath);
    return;
  }
  Notes utf8 = notes;
  for (const auto& [key, value] : linesOf(utf8)) *value = utf8Text(*value);
  const std::string text = notesText(utf8);
  if (text.size() > kNotesFileBytes) {
    throw Error(ErrorKind::kGeneral, "The notes take " + std::to_string(text.size()) +
                                         " bytes; at most " + std::to_string(kNotesFileBytes) +
                                         " are kept");
  }
  fs.writeAll(notesPath(dataPath), text);
}

void writeNotes(ports::FileSystem& fs, const std::string& dataPath, const Notes& values) {
  updateNotes(fs, dataPath, [&values](Notes& notes) {
    notes.site = values.site;
    notes.operatorName = values.operatorName;
    notes.comment = values.comment;
  });
}

void removeNotes(ports::FileSystem& fs, const std::string& dataPath) {
  try {
    fs.remove(notesPath(dataPath));
  } catch (const Error& e) {
    if (!e.is(ErrorKind::kFileNotFound)) throw;
  }
}

}  // namespace kestrand::store
