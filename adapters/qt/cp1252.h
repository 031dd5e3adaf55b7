#pragma once
// The program's texts are Windows-1252 bytes; the windowing system takes Unicode. These
// conversions are the only place where the two meet.

#include <QString>
#include <string>
#include <string_view>

namespace kestrand::adapters::qt {

// Each byte becomes one character. The five bytes that Windows-1252 leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) become the C1 control of the same value, so that they survive the
// way back.
QString fromCp1252(std::string_view bytes);

// Each character becomes one byte; a character that Windows-1252 cannot hold becomes '?'
// (a character outside the basic plane counts once).
std::string toCp1252(const QString& text);

// A text for a label or a message box: the program's line breaks (LF CR, also CR LF, and a lone
// CR or LF) each become one newline.
QString displayText(std::string_view bytes);

// A line of the window that shows what the meter and the files say (the status, the general
// message): the line breaks as displayText takes them, every other control character as \xHH
// and a backslash as \\, as the file list of the console shows names.
QString printableLinesText(std::string_view bytes);

// A help text whose sentences are padded with runs of blanks so that each starts a new line:
// every run of three or more blanks becomes a line break; blanks at the start and the end are
// dropped.
QString paddedLinesText(std::string_view bytes);

}  // namespace kestrand::adapters::qt
