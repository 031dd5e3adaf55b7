#include "cli/console.h"

#include <string_view>

#include "core/messages.h"
#include "core/text.h"
#include "store/notes.h"

namespace kestrand::cli {

namespace {

// Longer lines are cut: a message quoting a whole bad field, or a file name of escaped control
// characters, would otherwise flood the console.
constexpr std::size_t kLongestLine = 1000;

// A text to a console stream, each of its lines cut to kLongestLine, then a new line. A reader
// that went away (a closed pipe) leaves the stream failed; the text is dropped, and the state is
// cleared first so later texts are still tried. The streams throw nothing: their exception mask
// is never set.
void writeLine(std::ostream& os, std::string_view text) {
  os.clear();
  std::string out;
  for (bool more = true; more;) {
    const std::size_t end = text.find('\n');
    more = end != std::string_view::npos;
    const std::string_view line = text.substr(0, end);
    if (line.size() > kLongestLine) {
      out.append(line.substr(0, kLongestLine)) += "... (" + std::to_string(line.size()) + " bytes)";
    } else {
      out.append(line);
    }
    out += '\n';
    if (more) text.remove_prefix(end + 1);
  }
  os << out << std::flush;
}

}  // namespace

std::string terminalText(std::string_view text, Terminal terminal) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    // A C1 control: in UTF-8 the two bytes C2 80..9F; in Windows-1252 the bytes it leaves free.
    const bool utf8C1 = !terminal.cp1252 && c == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (utf8C1) c = static_cast<unsigned char>(text[++i]);
    const bool cp1252C1 =
        terminal.cp1252 && (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D);
    if (c < 0x20 || c == 0x7F || utf8C1 || cp1252C1) {
      out += "\\x" + hexText(c, 2);
    } else {
      out += static_cast<char>(c);
    }
  }
  return terminal.cp1252 && terminal.utf8 ? store::utf8OfCp1252(out) : out;
}

app::HeadlessOutput consoleOutput(std::ostream& out, std::ostream& err) {
  app::HeadlessOutput said;
  said.label = [&err](std::string_view kind, const std::string& text) {
    writeLine(err, std::string(kind) + ": " + printable(text));
  };
  // A file name may hold any byte but '/': one entry stays one line.
  said.listed = [&out](const std::string& entry) { writeLine(out, printable(entry)); };
  said.box = [&err](const std::string& title, const std::string& text) {
    // The message's own line breaks (LF CR) become plain new lines; any other control character
    // (a file name may hold them) is shown escaped, as in the list.
    std::string shown;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
      if (i < text.size() && text[i] != '\n') continue;
      shown += printable(text.substr(from, i - from));
      if (i < text.size()) shown += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\r') ++i;
      from = i + 1;
    }
    writeLine(err, title + ": " + shown);
  };
  return said;
}

void printGrid(std::ostream& os, const app::HeadlessWindow& window, const Terminal* terminal) {
  // The rows are gathered in one buffer and written in large pieces: a stream insertion per
  // cell costs more than making the cell's text.
  const std::vector<std::string>& titles = window.gridTitles();
  const auto cols = static_cast<int>(titles.size());
  std::string out;
  constexpr std::size_t kFlushAt = 1 << 16;
  out.reserve(kFlushAt + 4096);
  for (int row = 0; row < window.gridRows(); ++row) {
    if (terminal) {
      for (int col = 0; col < cols; ++col) {
        if (col > 0) out += '\t';
        const std::string cell =
            row == 0 ? titles[static_cast<size_t>(col)] : window.gridCell(row, col);
        out += terminalText(cell, *terminal);
      }
    } else {
      window.appendGridRow(row, '\t', out);
    }
    out += '\n';
    if (out.size() >= kFlushAt) {
      os.write(out.data(), static_cast<std::streamsize>(out.size()));
      out.clear();
    }
  }
  os.write(out.data(), static_cast<std::streamsize>(out.size()));
}

}  // namespace kestrand::cli
