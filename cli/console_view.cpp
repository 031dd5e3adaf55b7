#include "cli/console_view.h"

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

void ConsoleView::setLabel(platform::LabelId id, const std::string& text) {
  labels_[id] = text;
  // Clearing a label shows nothing new; only texts are reported.
  if (text.empty()) return;
  if (id == platform::LabelId::kStatDat) {
    writeLine(err_, "status: " + printable(text));
  } else if (id == platform::LabelId::kLblGenMsg) {
    writeLine(err_, "message: " + printable(text));
  } else if (id == platform::LabelId::kUploadProgress) {
    writeLine(err_, "progress: " + printable(text));
  } else if (id == platform::LabelId::kPortName) {
    writeLine(err_, "port: " + printable(text));
  }
}

std::string ConsoleView::label(platform::LabelId id) const {
  auto it = labels_.find(id);
  return it == labels_.end() ? std::string() : it->second;
}

void ConsoleView::listAdd(const std::string& entry) {
  list_.push_back(entry);
  // A file name may hold any byte but '/': one entry stays one line.
  writeLine(out_, printable(entry));
}

void ConsoleView::printGrid(std::ostream& os, const Terminal* terminal) const {
  // The rows are gathered in one buffer and written in large pieces: a stream insertion per
  // cell costs more than making the cell's text.
  const auto cols = static_cast<int>(grid_.titles.size());
  std::string out;
  constexpr std::size_t kFlushAt = 1 << 16;
  out.reserve(kFlushAt + 4096);
  for (int row = 0; row < grid_.rows; ++row) {
    for (int col = 0; col < cols; ++col) {
      if (col > 0) out += '\t';
      std::string cell;
      if (row == 0)
        cell = grid_.titles[static_cast<size_t>(col)];
      else if (grid_.cell)
        cell = grid_.cell(row, col);
      out += terminal ? terminalText(cell, *terminal) : cell;
    }
    out += '\n';
    if (out.size() >= kFlushAt) {
      os.write(out.data(), static_cast<std::streamsize>(out.size()));
      out.clear();
    }
  }
  os.write(out.data(), static_cast<std::streamsize>(out.size()));
}

void ConsoleView::listRemove(int index) {
  list_.erase(list_.begin() + index);
}

platform::Answer ConsoleMessageBox::show(const std::string& text, platform::Buttons buttons, bool,
                                         const std::string& title) {
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
  if (title == kErrorTitle || title == "Error") ++errorBoxes;
  writeLine(err_, title + ": " + shown);
  return buttons == platform::Buttons::kOk ? platform::Answer::kOk : platform::Answer::kNo;
}

}  // namespace kestrand::cli
