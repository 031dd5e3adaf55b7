#pragma once
// What kestrand-cli shows on its console of the headless program: each new file-list entry is a
// line on standard output (control characters escaped); the status label, the general message
// label and message boxes are lines on standard error ("status: ...", "message: ...",
// "TITLE: ..."), and so are the upload's progress and the device the port has open
// ("progress: ...", "port: ...").

#include <ostream>
#include <string>
#include <string_view>

#include "app/headless.h"

namespace kestrand::cli {

// How text reaches a terminal: Windows-1252 (the program's texts) or UTF-8 (the notes), and
// whether the terminal's locale takes UTF-8.
struct Terminal {
  bool cp1252 = true;
  bool utf8 = false;
};
// `text` as a terminal shows it unharmed: control characters (C0, DEL, C1) as \xHH, and
// Windows-1252 in UTF-8 when the terminal takes UTF-8; other bytes as they are.
std::string terminalText(std::string_view text, Terminal terminal);

// The headless program's output as console lines on `out` (list entries) and `err` (the rest).
app::HeadlessOutput consoleOutput(std::ostream& out, std::ostream& err);

// The grid `window` shows, from the title row down, cells separated by one TAB, each row a line;
// the cells as `terminal` shows them, when given.
void printGrid(std::ostream& os, const app::HeadlessWindow& window,
               const Terminal* terminal = nullptr);

}  // namespace kestrand::cli
