#pragma once
// An upload longer than one raw data file holds is stored as its first file and continuation
// files lettered A to Z (`QV 05.Dec.06  14.05.33.dat`, then `...33A.dat`, `...33B.dat`). Here:
// which files make up an upload, whether a file read goes on from the one before, and the times
// of samples whose records carry none, running on from the first file's start across them all.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "datetime/datetime.h"
#include "ports/file_system.h"
#include "store/header.h"
#include "store/sample_clock.h"
#include "store/sample_table.h"

namespace kestrand::store {

// An upload holds at most its first file and the 26 continuation files A to Z.
inline constexpr int kMaxUploadFiles = 27;

struct UploadFiles {
  // Bare names in letter order, up to the first one missing; none when the first file is.
  std::vector<std::string> names;
  // A letter missing before later letters, or the first file of a continuation file: the name
  // of the missing file (empty when the files simply end).
  std::string missing;
};

// The files of the upload raw data file `name` in `dir` belongs to: its first file (also when
// `name` is a continuation file) and the continuation files after it.
UploadFiles uploadFiles(const ports::FileSystem& fs, const std::string& dir,
                        const std::string& name);

// Why `next` cannot go on from `first` (its header differs in anything but the start: the probe,
// logging mode, columns, log rate, moving-average length or periods), or nullopt when it can.
std::optional<std::string> notAContinuation(const HeaderFields& first, const HeaderFields& next);

// The times of the samples of an upload whose records carry none (continuous, periodic and
// scheduled logging): from the first file's start, one interval apart (and the pauses between
// periods), running on over the continuation files. The texts are counted in double precision
// (over 27 files single precision would drift by minutes), the instants exactly in tenths of a
// second from the first file's first sample. A continuation file's own header gives only a
// rounded start, so its samples take their times from here.
class UploadClock {
 public:
  // From the first file's header and table as the reader left them; nullopt when its records
  // carry their own times or its start cannot be read.
  static std::optional<UploadClock> of(const HeaderFields& first, const SampleTable& firstTable,
                                       int dateChoice);

  // Moves past the samples of a table that keeps its own times (the first file's).
  void skip(int samples);
  // Gives the samples of `table` the times that follow the samples before them. Without
  // `everyText` only the first and the last sample get their date and time texts (the others
  // keep what they held, and timeText gives theirs): most of a whole-upload pass reads only
  // their instants.
  void retime(SampleTable& table, bool everyText = true);
  // The seconds from the next sample to the one `samples` after it, pauses and all.
  double secondsAhead(std::size_t samples) const;
  // The time text that `row` of the table retimed last has, written or not.
  std::string timeText(std::size_t row) const { return texts_.time(seconds_.at(row)); }

 private:
  UploadClock(const HeaderFields& h, datetime::Instant start, datetime::Tenths startTenths);

  datetime::Tenths startTenths_;  // the first file's first sample
  // The viewer's clock (its period counted down in single precision, so that a pause falls
  // after the same sample) adding up in double precision.
  SampleClock<double> clock_;
  datetime::ClockTexts texts_;         // from the start
  std::vector<std::int64_t> seconds_;  // the whole seconds of each sample retimed last
};

}  // namespace kestrand::store
