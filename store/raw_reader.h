#pragma once
// Reads one raw data file into the sample table and the current header fields: the header,
// every record, the computed sample times of the modes whose records carry none, the moving
// average's length in samples. At most 16300 samples.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/messages.h"
#include "ports/file_system.h"
#include "store/feedback.h"
#include "store/header.h"
#include "store/probe_table.h"
#include "store/sample_table.h"

namespace kestrand::store {

// How a read ended.
enum class ReadEnd {
  kComplete,        // every record read
  kHeaderRejected,  // the header failed VerifyHeader; no samples
  kTooManySamples,  // more than 16300 records; the first 16300 kept
  kNoDataRecords,   // a header and no record; no samples
  kDataBlockError,  // the file ends inside the header (no samples) or a record (the complete
                    // records before it kept)
  kFailed,          // unreadable file, a field that is no number, a number out of range, a
                    // field longer than a raw data file's fields, a units code outside 0..6, a
                    // start date or time that cannot be read
};

struct ReadResult {
  ReadEnd end = ReadEnd::kComplete;
  // Texts of the message boxes to show, in order (OK button, title "RIviriro Error"): the
  // multiple-units warning at most once, then the failure's message.
  std::vector<std::string> messages;
  // What the status label holds afterwards: "Reading completed", or empty after a failure.
  std::string status;
};

struct ReadContext {
  const ProbeTable& probes;
  const MessageCatalogue& messages;
  // The date display format in force: decides how a start date that reads both month first
  // and day first is taken.
  int dateChoice = 3;
  Feedback feedback;  // busy pointer, status label, progress (bytes read of the content)
  // The samples' times are given afterwards (a continuation file's, by its upload's clock): the
  // times of records that carry none are not worked out, and their texts and instants are left
  // as they were. The start in the header is still checked.
  bool timesGiven = false;
};

// Reads `filename` (a bare name) from `dataPath`. Only what the reader can use is read: the
// header block, then as many bytes as 16301 records of its shape can take with every field at
// its longest, however long the file. Writes the header fields and the sample table; fields
// read before a failure keep their values, rows past the new `NumSamples` may keep an earlier
// file's values.
ReadResult ReadRawDataFile(const std::string& filename, const ports::FileSystem& fs,
                           const std::string& dataPath, const ReadContext& context,
                           HeaderFields& header, SampleTable& table);
// The same with the file's bytes read into `content`, whose room a reader of one file after
// another uses again.
ReadResult ReadRawDataFile(const std::string& filename, const ports::FileSystem& fs,
                           const std::string& dataPath, const ReadContext& context,
                           HeaderFields& header, SampleTable& table, std::string& content);

// The same on content already read; `filename` is named in failure messages. `cut`: the content
// is the first part of a longer file.
ReadResult ReadRawDataContent(std::string_view content, const std::string& filename,
                              const ReadContext& context, HeaderFields& header, SampleTable& table,
                              bool cut = false);

// errmsg 0: the text to put on the data-warning window when a CSV file holds more samples than
// the table takes; any other value: nullopt, the window keeps its text. Either way the caller
// then shows the window without waiting for it.
std::optional<std::string> Data_limit_err(std::int16_t errmsg);

}  // namespace kestrand::store
