#pragma once
// The CSV file of "Save as" and "Open": a line of quoted titles, then one line per sample with
// its quoted date and time, the values of the columns in use and the quoted "Probe" and "Units"
// texts that carry the header details. Reading is driven by the title line: each known title
// tells where the values of its field go.

#include <cstddef>
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

// The whole file, each line ended by CR LF: the title line and NumSamples sample lines, handed
// to `write` in pieces of about 64 KiB. Values are the grid's number texts without the blank of
// a sign ("12.5", ".5", "-.25", "0"). Progress (j, NumSamples) after sample line j; a `write`
// that throws ends the writing.
void WriteCsv(const store::SampleTable& t, const std::function<void(std::string_view)>& write,
              const store::Feedback& feedback = {});

// ---- Reading

// A line the first pass counts has at least this many characters.
inline constexpr std::size_t kCountedLineLength = 16;
// The longest line an open takes. A saved line holds two short texts, at most 21 numbers of
// at most 13 characters and the probe and units texts: under 400 characters, which a
// spreadsheet that writes more digits may double. A longer line is no line of this file.
inline constexpr std::size_t kMaxCsvLineBytes = 1024;
// The most an open reads of a file: a title line and 16300 samples of the longest lines.
inline constexpr std::size_t kMaxCsvBytes =
    static_cast<std::size_t>(store::kMaxSamples + 1) * kMaxCsvLineBytes;

// What the first pass finds: `lines` is the number of lines to read in the second pass (the
// title line included), capped at 16301; `overLimit` says more than 16300 lines were counted
// (so a title line and exactly 16300 samples give the warning too).
struct CsvCount {
  int lines = 0;
  bool overLimit = false;
  std::int16_t NumSamples() const { return static_cast<std::int16_t>(lines > 0 ? lines - 1 : 0); }
};

struct CsvOpened {
  CsvCount count;
  // "Error on Open!  " and the failure's text, for every data line that failed, in order.
  std::vector<std::string> messages;
  // Counted lines that the second pass did not reach because shorter lines took their place.
  int linesLost = 0;
};

// "Open" on a file's content (at most kMaxCsvBytes + 1 of its first bytes), on a table that
// clear_regs has emptied. The first pass counts the lines of at least 16 characters (lines end
// in CR LF, CR or LF; a UTF-8 byte-order mark at the start is skipped) and sets NumSamples;
// then `counted` hears the count. The second pass reads the first `lines` lines whatever their
// length: the first is the title line, where each known title takes the next position (blanks
// inside a title are ignored, the first column of a title wins, nothing after "Units" counts);
// each further line fills rows 0, 1, ...: field f goes to the column of position f. A value
// field that is no number fails its line (the cell keeps its value; the rest of the line is
// read); an empty value field, and a text field of 2 characters or fewer, leave the cell as it
// was. Then ProbeName from SampleProbe(0) and, when SampleProbe(2) is longer than 3
// characters, MoveAveText from its 7th character on. Progress (rows read, NumSamples) now and
// then. Throws kestrand::Error, before anything is read into the table, for a line longer than
// kMaxCsvLineBytes, a line with a control character other than a tab (no text file has one),
// and a file too long to count.
CsvOpened OpenCsvContent(std::string_view content, store::SampleTable& t,
                         store::HeaderFields& header,
                         const std::function<void(const CsvCount&)>& counted = {},
                         const store::Feedback& feedback = {});

// The instants of an opened file's samples from their date and time texts. A saved file holds
// no name to settle the order of its dates: the first sample's date is read in the order of
// `dateChoice` (day first under 8 and 9, month first under the others), each later one in the
// order that keeps the samples in time order, the nearer date when both do. An elapsed-time
// upload's times ("hh:mm:ss" from the start) are read as such when `elapsed`. Returns the
// message for the samples that no reading fits ("" when there are none).
std::string stampCsvSamples(store::SampleTable& t, bool elapsed, int dateChoice);

// The part of `path` after its last folder separator ("/" or "\"), looked for from the last
// character back to the second; the whole path when there is none.
std::string shownFileName(const std::string& path);

// Whether `name` ends in ".csv", in any case: the name of a saved table.
bool endsWithCsv(std::string_view name);

}  // namespace kestrand::view
