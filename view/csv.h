#pragma once
// The CSV file of "Save as" and "Open": a line of quoted titles, then one line per sample with
// its quoted date and time, the values of the columns in use and the quoted "Probe" and "Units"
// texts that carry the header details. Reading is driven by the title line: each known title
// tells where the values of its field go.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "store/feedback.h"
#include "store/header.h"
#include "store/sample_table.h"

namespace kestrand::view {

// The two file dialogs' filter: "Excel Spreadsheet  *.csv" showing *.csv, and every file.
inline const std::string kCsvFilter = "Excel Spreadsheet  *.csv|*.csv|All Files (*.*)|*.*";

// ---- Writing

// True when any column 0..24 is in use: there is something to save.
bool hasColumnsInUse(const store::SampleTable& t);

// A value in the file: the grid's number text without the blank of a sign ("12.5", ".5",
// "-.25", "0").
std::string csvNumber(float v);

// Line 1 without its line end: "Date","Time", the titles of the value columns in use, then
// "Move-Avg" when in use, "Probe","Units".
std::string csvTitleLine(const store::SampleTable& t);
// Appends the line of sample j without its line end.
void appendCsvLine(std::string& out, const store::SampleTable& t, int j);

// The whole file, each line ended by CR LF: the title line and NumSamples sample lines, handed
// to `write` in pieces of about 64 KiB. Progress (j, NumSamples) after sample line j; a `write`
// that throws ends the writing.
void WriteCsv(const store::SampleTable& t, const std::function<void(std::string_view)>& write,
              const store::Feedback& feedback = {});

// ---- Reading

// A line the first pass counts has at least this many characters.
inline constexpr std::size_t kCountedLineLength = 16;

// What the first pass finds: `lines` is the number of lines to read in the second pass (the
// title line included), capped at 16301; `overLimit` says more than 16300 lines were counted
// (so a title line and exactly 16300 samples give the warning too).
struct CsvCount {
  int lines = 0;
  bool overLimit = false;
  std::int16_t NumSamples() const { return static_cast<std::int16_t>(lines > 0 ? lines - 1 : 0); }
};
// Counts the lines of at least 16 characters. Lines end in CR LF, CR or LF.
CsvCount countCsvLines(std::string_view content);

// The title line: sets ColUsed(k) of every column whose title it holds to the title's position
// among the recognised titles (1, 2, ...), every other mark 0..24 to 0. Blanks inside a title
// are ignored; the first column of a title wins ("Field" is column 12); nothing after "Units"
// is read.
void ParseCsvHeader(std::string_view line, store::SampleTable& t);

// One data line into row `CsvRow`: field f goes to the first column whose ColUsed is f.
// Values are numbers with a period as decimal separator whatever the locale; an empty value
// field, and a text field of 2 characters or fewer, leave the cell as it was. Then ProbeName
// from SampleProbe(0) and, when SampleProbe(2) is longer than 3 characters, MoveAveText from
// its 7th character on. A field that is not a number throws kestrand::Error; the fields before
// it are kept.
void ParseCsvLine(std::string_view line, int CsvRow, store::SampleTable& t,
                  store::HeaderFields& header);

// The second pass: the first `lines` lines of `content` whatever their length, the first to
// ParseCsvHeader, each further one to ParseCsvLine for rows 0, 1, ... Returns the message of
// every data line that failed ("Error on Open!  " and the failure's text), in order; the
// reading goes on with the next line. Progress (rows read, lines - 1) after each data line.
std::vector<std::string> ReadCsvLines(std::string_view content, int lines, store::SampleTable& t,
                                      store::HeaderFields& header,
                                      const store::Feedback& feedback = {});

// Both passes on a table that clear_regs has emptied: NumSamples from the count, then the
// lines.
struct CsvReadResult {
  bool overLimit = false;             // more than 16300 lines counted; at most 16300 samples read
  std::vector<std::string> messages;  // the failed lines' messages
};
CsvReadResult ReadCsvContent(std::string_view content, store::SampleTable& t,
                             store::HeaderFields& header, const store::Feedback& feedback = {});

// The part of `path` after its last folder separator ("/" or "\"), looked for from the last
// character back to the second; the whole path when there is none.
std::string shownFileName(const std::string& path);

}  // namespace kestrand::view
