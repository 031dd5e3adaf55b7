#pragma once
// The notes on an upload: where it was measured, by whom, and a free remark. A raw data file has
// no room for them, so they live beside it in a small file of the same base name ending in
// ".notes" (`QV 05.Dec.06  14.05.33.notes` beside `QV 05.Dec.06  14.05.33.dat`). That file is
// never a raw data file (the list takes `qv*.dat` only) and writing it never touches the raw file.
//
// The notes file is UTF-8 text, one line per value, each line ended by CR LF:
//
//   Site: Roof of building 3
//   Operator: J. Nowak
//   Comment: Two antennas on the mast\nsecond line
//   Client: City of Gdansk
//   Instrument serial: 0412-77
//   Calibration date: 2026-03-14
//
// The last three lines are written only when they hold a value.
// A backslash in a value is written "\\", a line feed "\n" and a carriage return "\r"; lines of
// any other name are kept as they are, in their order after the three, so a later version may
// add some. A file with a NUL byte in it (binary junk), or with none of the three lines, is not
// this program's notes: it is refused, never replaced. Writers take the data file's lock
// around reading, changing and writing, so that two programs saving at once lose nothing.
//
// The values are UTF-8, unlike the program's other texts (Windows-1252): they are the user's own
// words, typed in any script, and must come back as typed. Text that is not UTF-8 (typed on a
// Windows-1252 console, or edited with such an editor) is taken as Windows-1252 and converted.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/file_system.h"

namespace kestrand::store {

struct Notes {
  std::string site;
  std::string operatorName;
  std::string comment;
  // For the survey report's first page: who the survey is for, and the meter that measured.
  std::string client{};
  std::string instrumentSerial{};
  std::string calibrationDate{};
  // Lines of other names, as the file holds them, in order.
  std::vector<std::string> others{};

  // No values (lines of other names aside).
  bool empty() const {
    return site.empty() && operatorName.empty() && comment.empty() && client.empty() &&
           instrumentSerial.empty() && calibrationDate.empty();
  }
  bool operator==(const Notes&) const = default;
};

// A notes file is read no further than this; a larger one is refused, and notes that would make
// one are not written.
inline constexpr std::size_t kNotesFileBytes = 16384;

// The notes file of the data file at `dataPath`: its last extension replaced by ".notes" (added
// when it has none).
std::string notesPath(const std::string& dataPath);

// The content of the notes file of `notes`.
std::string notesText(const Notes& notes);
// The notes a notes file's content holds; missing lines are empty values.
Notes parseNotes(std::string_view text);
// Whether `text` can be this program's notes: empty, or text without a NUL byte with a Site,
// Operator or Comment line.
bool isNotesText(std::string_view text);

// The notes of the data file at `dataPath`: empty when it has no notes file. Throws
// kestrand::Error, with a text for the user, when the notes file is larger than kNotesFileBytes
// or cannot be read (not a regular file, no permission, not this program's notes).
Notes readNotes(const ports::FileSystem& fs, const std::string& dataPath);

// Changes the notes of the data file at `dataPath` by `change` and writes them through the one
// file-replacement routine, holding the data file's lock from the reading to the writing; notes
// without any value or other line remove the notes file instead. Throws kestrand::Error, and
// writes nothing, when the data file is not there (a deleted upload), the notes cannot be read
// or are not this program's, or the notes file may not be written or removed.
void updateNotes(ports::FileSystem& fs, const std::string& dataPath,
                 const std::function<void(Notes&)>& change);
// Sets the three values of the notes of the data file at `dataPath` (their file's other lines
// are kept), as updateNotes does.
void writeNotes(ports::FileSystem& fs, const std::string& dataPath, const Notes& notes);

// Removes the notes file of the data file at `dataPath`; a missing one is no error. Throws the
// other failures.
void removeNotes(ports::FileSystem& fs, const std::string& dataPath);

// `bytes` as UTF-8: valid UTF-8 as it is, anything else read as Windows-1252.
std::string utf8Text(std::string_view bytes);
// Windows-1252 bytes in UTF-8 (the five bytes the code page leaves free as U+0081...).
std::string utf8OfCp1252(std::string_view bytes);

}  // namespace kestrand::store
