#pragma once
// The raw data files that the receiving program writes for an upload, derived independently
// from what the simulated meter sends: names, header lines, record lines and continuation files,
// for date texts "mm/dd/yyyy" and 12-hour time texts as the stamps unpack (no display rewrite).

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tools/meter_sim/meter_time.h"
#include "tools/meter_sim/upload.h"

namespace kestrand::meter_sim {

inline constexpr std::uint32_t kRecordsPerFile = 16300;
inline constexpr int kMaxContinuationFiles = 26;  // "A" to "Z"

// A number as the files hold it: at most 15 significant digits, plain positional notation,
// "0" before the point below 1, no trailing zeros and no trailing point.
std::string formatNumber(double v);
// The value times 1000 rounded to a whole number (halves to even), divided by 1000.
double roundThousandths(double v);

// A record as the receiver stores it. The receiver decodes a record only while more than two
// bytes of the message body are left at its start, and its moving average only while more than
// two bytes are left at that field; records and averages in the last two bytes of a body are
// thus not stored.
struct KeptRecord {
  std::size_t index = 0;  // into the upload's records
  bool moveAvgKept = false;
};
// The records stored from plan messages 1 .. messageLimit-1 (message 0 is the header).
std::vector<KeptRecord> recordsKept(const UploadDescription& d,
                                    const std::vector<PlannedMessage>& plan,
                                    std::size_t messageLimit);

// Name of the first file: "QV dd.mmm.yy  hh.mm.ss.dat". Continuation n (1 = "A") inserts the
// n-th capital letter before ".dat".
std::string firstFileName(const CivilTime& start);
std::string continuationFileName(const std::string& firstName, int n);

// Start of the continuation file opened by record number `recordsTotal` (counted over the whole
// upload, including that record); `opening` is that record.
CivilTime continuationStart(const UploadDescription& d, std::uint32_t recordsTotal,
                            const Record& opening);

struct ExpectedFile {
  std::string name;
  std::string content;
};

// The files for an upload whose messages 0 .. messageLimit-1 are stored (later messages are
// taken as lost). Throws std::invalid_argument for elapsed-time uploads (the name holds the
// receiver's clock) and for uploads that need more than 26 continuation files.
std::vector<ExpectedFile> expectedFiles(
    const UploadDescription& d, const std::vector<Record>& records,
    const std::vector<PlannedMessage>& plan,
    std::size_t messageLimit = std::numeric_limits<std::size_t>::max());

// Writes the files into `dir` (created when missing). Throws std::runtime_error on failure.
void writeExpectedFiles(const std::string& dir, const std::vector<ExpectedFile>& files);

}  // namespace kestrand::meter_sim
