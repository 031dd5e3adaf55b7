#include "store/raw_reader.h"

#include <array>
#include <cmath>
#include <optional>

#include "core/error.h"
#include "core/text.h"
#include "datetime/datetime.h"
#include "store/field_reader.h"
#include "store/header_block.h"
#include "store/sample_clock.h"

namespace kestrand::store {
namespace {

// The furthest a computed sample time may run from its start (about 3000 years); beyond it the
// read fails as an overflow, as adding the seconds to a date would.
constexpr double kMaxOffsetSeconds = 1e11;
// Progress goes out once every so many records: the bar still moves smoothly, and a file of
// 16300 records costs 64 calls instead of 16300.
constexpr int kProgressEvery = 256;

[[noreturn]] void overflow() {
  throw Error(ErrorKind::kOverflow, "Overflow");
}

// The start text ("SampDate SampTime") read as an instant.
datetime::Instant startInstant(const HeaderFields& h, int dateChoice) {
  const auto date = datetime::parseDisplayedDate(h.SampDate, dateChoice);
  const auto time = datetime::parseDisplayedTime(h.SampTime);
  if (!date || !time) {
    throw Error(ErrorKind::kTypeMismatch,
                "Type mismatch (start \"" + h.SampDate + " " + h.SampTime + "\")");
  }
  return {*date, *time};
}

// Thrown (and caught in ReadRawDataContent) when the header fails its check.
struct HeaderRejected {};

class Reader {
 public:
  Reader(std::string_view content, bool cut, const std::string& filename, const ReadContext& c,
         HeaderFields& h, SampleTable& t)
      : in_(content, cut),
        size_(static_cast<std::int64_t>(content.size())),
        c_(c),
        h_(h),
        t_(t),
        reading_(c.dateChoice == 8 || c.dateChoice == 9, datetime::nameInstant(filename)) {}

  // Runs the read; throws the failures that end it (the header's rejection included).
  ReadEnd run(std::vector<std::string>& messages);

 private:
  void readHeader();
  void readRecord(std::vector<std::string>& messages);
  void stamp(std::size_t row);
  void readStamp(std::size_t row);
  datetime::Tenths startTenths();
  void convertMoveAve();

  FieldReader in_;
  std::int64_t size_;
  const ReadContext& c_;
  HeaderFields& h_;
  SampleTable& t_;
  std::optional<SampleClock<float>> clock_;    // the modes whose records carry no time
  std::optional<datetime::Instant> start_;     // read when the first sample needs it
  std::optional<datetime::ClockTexts> texts_;  // the computed stamps' texts, from start_
  // The instants: the texts of the header and the records read back in one order, which the
  // file's name settles when it can; the start of the modes whose records carry no time.
  datetime::InstantReading reading_;
  std::optional<datetime::Tenths> startTenths_;
  int unreadStamps_ = 0;
  int firstUnreadStamp_ = 0;
  std::int16_t firstUnits_ = 0;
  bool unitsWarned_ = false;
  // Where a record's values go, in the order it holds them: the moving average's column if it
  // is in use, then the value columns in use, ascending.
  std::array<float*, kValueColumns + 1> values_{};
  std::size_t valueCount_ = 0;
};

void Reader::readHeader() {
  HeaderBlock block;
  try {
    readHeaderBlock(in_, block);
  } catch (const Error&) {
    // The fields read before the failure stay.
    block.assignTo(h_, h_.SampDate, h_.SampTime);
    throw;
  }
  block.assignTo(h_, h_.SampDate, h_.SampTime);
  if (h_.LogMode != 2) h_.PeriodOn = 0.0f;
  if (!VerifyHeader(h_.SampDate, h_.SampTime, h_.ProbeType, h_.LogMode, h_.LogRate, h_.DataFormat,
                    h_.MoveAve)) {
    throw HeaderRejected{};
  }
  h_.ProbeName = c_.probes.ModelName(h_.ProbeType);
  h_.LogModeText = logModeText(h_.LogMode);
  c_.feedback.setProgress(0, size_);
  h_.LogInterval = logInterval(h_.LogRate);
  t_.elapsedClock = h_.ProbeType >= 16;
  if (h_.LogMode >= 1 && h_.LogMode <= 3) {
    clock_.emplace(h_.LogInterval, h_.LogMode == 2, h_.PeriodOn, h_.PeriodOff,
                   PeriodRestart::kLessOneInterval);
  }

  for (int k = 0; k < kTableColumns - 1; ++k) t_.ColUsed[static_cast<size_t>(k)] = 0;
  if (h_.MoveAve != 0) {
    t_.ColUsed[kMoveAvgColumn] = 1;
    h_.MoveAveText = signedText(h_.MoveAve);
    values_[valueCount_++] = t_.MoveAvgData.data();
  } else {
    h_.MoveAveText.clear();
  }
  // DataFormat is 1..65535 here, so only columns 0..15 can be in use.
  std::int32_t bits = h_.DataFormat;
  for (int k = 0; bits != 0; ++k, bits /= 2) {
    if (bits % 2 == 1) {
      t_.ColUsed[static_cast<size_t>(k)] = 1;
      values_[valueCount_++] = &t_.SampleData(k, 0);
    }
  }
}

// The instant the header's start text stands for: the first sample of the modes whose records
// carry no time, and no later than the first record of the others. The file's name says which
// order the numbers of its date take.
datetime::Tenths Reader::startTenths() {
  if (!startTenths_) {
    if (const auto named = reading_.previous()) {
      reading_.settleBy(h_.SampDate, datetime::instantOf(*named).date);
    }
    startTenths_ = reading_.read(h_.SampDate, h_.SampTime);
  }
  return *startTenths_;
}

// The instant of a record's date and time texts; the texts stay as they are.
void Reader::readStamp(std::size_t row) {
  datetime::Tenths at = datetime::kNoInstant;
  if (t_.elapsedClock) {
    if (const auto s = datetime::parseElapsedTime(t_.SampleTime[row])) at = *s * 10;
  } else {
    if (!startTenths_ && !h_.SampDate.empty()) startTenths();
    at = reading_.read(t_.SampleDate[row], t_.SampleTime[row]);
  }
  if (at == datetime::kNoInstant && unreadStamps_++ == 0) firstUnreadStamp_ = t_.NumSamples;
  t_.instants[row] = at;
}

// The date and time of a sample of a mode whose records carry none: the start plus the elapsed
// seconds, rounded to a whole second. Its instant is counted exactly, in tenths.
void Reader::stamp(std::size_t row) {
  if (!start_) start_ = startInstant(h_, c_.dateChoice);
  if (t_.elapsedClock) {
    t_.instants[row] = clock_->elapsedTenths();
  } else {
    const datetime::Tenths start = startTenths();
    if (start == datetime::kNoInstant) overflow();
    t_.instants[row] = start + clock_->elapsedTenths();
  }
  const float elapsed = clock_->elapsed();
  if (!(std::fabs(elapsed) <= kMaxOffsetSeconds)) overflow();
  const std::int64_t seconds = wholeSeconds(elapsed);
  clock_->next();
  if (!texts_) texts_.emplace(*start_);
  const int year = texts_->write(seconds, t_.SampleDate[row], t_.SampleTime[row]).year;
  if (year < 1 || year > 9999) overflow();
}

void Reader::readRecord(std::vector<std::string>& messages) {
  const int i = t_.NumSamples;
  const auto row = static_cast<size_t>(i);
  if (i % kProgressEvery == 0) {
    c_.feedback.setProgress(static_cast<std::int64_t>(in_.position()), size_);
  }

  in_.readInt16();  // the record tag
  const std::int16_t units = in_.readInt16();
  if (i == 0) {
    firstUnits_ = units;
  } else if (units != firstUnits_ && !unitsWarned_) {
    messages.push_back(c_.messages.text(Msg::kMultipleUnits));
    unitsWarned_ = true;
  }
  t_.SampleUnits[row] = c_.probes.UnitsText(h_.ProbeType, units);

  if (clock_ && c_.timesGiven) {
    if (!start_) start_ = startInstant(h_, c_.dateChoice);
  } else if (clock_) {
    stamp(row);
  } else {
    t_.SampleDate[row] = in_.readText();
    t_.SampleTime[row] = in_.readText();
    readStamp(row);
  }

  in_.readSingles({values_.data(), valueCount_}, row);
  ++t_.NumSamples;
}

void Reader::convertMoveAve() {
  t_.SampleProbe[0] = h_.ProbeName;
  if (h_.MoveAve == 0) {
    t_.SampleProbe[2].clear();
    return;
  }
  const float interval = h_.LogInterval == 0.0f ? 1.0f : h_.LogInterval;
  // Tenths of a minute times samples per minute (worked out in single precision), rounded to
  // the nearest whole number of samples, halves to the even number.
  const double samples =
      static_cast<double>(h_.MoveAve) / 10.0 * static_cast<double>(60.0f / interval);
  h_.MoveAve = static_cast<std::int32_t>(std::nearbyint(samples));
  h_.MoveAveText = signedText(h_.MoveAve);
  t_.SampleProbe[2] = "M-Avg=" + h_.MoveAveText;
}

ReadEnd Reader::run(std::vector<std::string>& messages) {
  readHeader();
  while (!in_.atEnd() && t_.NumSamples < kMaxSamples) readRecord(messages);
  c_.feedback.setBusy(false);
  c_.feedback.setStatus("Reading completed");
  convertMoveAve();
  if (unreadStamps_ > 0) {
    messages.push_back("Sample " + std::to_string(firstUnreadStamp_ + 1) + " (\"" +
                       t_.SampleDate[static_cast<std::size_t>(firstUnreadStamp_)] + " " +
                       t_.SampleTime[static_cast<std::size_t>(firstUnreadStamp_)] + "\")" +
                       (unreadStamps_ > 1
                            ? " and " + std::to_string(unreadStamps_ - 1) + " more samples have"
                            : " has") +
                       " a date or time that cannot be read: left out of the chart's times.");
  }
  if (!in_.atEnd() && t_.NumSamples == kMaxSamples) return ReadEnd::kTooManySamples;
  if (t_.NumSamples == 0) return ReadEnd::kNoDataRecords;
  c_.feedback.setProgress(size_, size_);
  return ReadEnd::kComplete;
}

void begin(const ReadContext& context, SampleTable& table) {
  context.feedback.setBusy(true);
  context.feedback.setStatus("Reading Raw data - Please wait!");
  table.NumSamples = 0;
  table.unreadCells.clear();
}

// The end of a read that failed with `e`.
ReadResult failed(const Error& e, const std::string& filename, const ReadContext& context,
                  SampleTable& table) {
  ReadResult result;
  if (e.is(ErrorKind::kEndOfFile)) {
    // The records read whole so far stay.
    result.end = ReadEnd::kDataBlockError;
    result.messages.push_back(context.messages.text(Msg::kDataBlockError));
  } else {
    result.end = ReadEnd::kFailed;
    table.NumSamples = 0;
    result.messages.push_back("File: " + filename + kLineBreak + "Error: " + e.description());
  }
  context.feedback.setBusy(false);
  context.feedback.setStatus("");
  return result;
}

// How far a read of the file whose head block is `head` goes: the header block, then room for
// 16301 records of its shape with every field at its longest (the 16301st tells a file of more
// than 16300 records). None when the header block does not read or is rejected: the head alone
// fails the same way.
std::optional<std::size_t> boundOf(const std::string& head) {
  FieldReader in(head, true);
  HeaderBlock b;
  try {
    readHeaderBlock(in, b);
  } catch (const Error&) {
    return std::nullopt;
  }
  if (!VerifyHeader(b.date, b.time, b.ProbeType, b.LogMode, b.LogRate, b.DataFormat, b.MoveAve)) {
    return std::nullopt;
  }
  return in.position() + (static_cast<std::size_t>(kMaxSamples) + 1) *
                             static_cast<std::size_t>(b.recordFields()) * kMaxFieldBytes;
}

// Reads of `path` what a read needs (above) into `content`. The head goes to a room of its own:
// read into `content` it would shrink it, and growing it again for the whole file would clear
// every byte first, where a room kept at the last file's size clears only what this one adds.
void readBounded(const ports::FileSystem& fs, const std::string& path, bool& cut,
                 std::string& content) {
  std::string head;
  fs.readHeadInto(path, kHeaderBlockBytes, head);
  cut = head.size() == kHeaderBlockBytes;
  const std::optional<std::size_t> bound = cut ? boundOf(head) : std::nullopt;
  if (!bound) {
    content.assign(head);
    return;
  }
  fs.readHeadInto(path, *bound, content);
  cut = content.size() == *bound;
}

}  // namespace

ReadResult ReadRawDataContent(std::string_view content, const std::string& filename,
                              const ReadContext& context, HeaderFields& header, SampleTable& table,
                              bool cut) {
  begin(context, table);
  header.SampDate.clear();
  header.SampTime.clear();
  ReadResult result;
  try {
    result.end = Reader(content, cut, filename, context, header, table).run(result.messages);
  } catch (const HeaderRejected&) {
    result.end = ReadEnd::kHeaderRejected;
    result.messages.push_back(context.messages.text(Msg::kHeaderError));
  } catch (const Error& e) {
    ReadResult f = failed(e, filename, context, table);
    // The multiple-units warning came first.
    result.messages.insert(result.messages.end(), f.messages.begin(), f.messages.end());
    result.end = f.end;
    return result;
  }
  if (result.end == ReadEnd::kComplete) {
    result.status = "Reading completed";
    return result;
  }
  if (result.end != ReadEnd::kHeaderRejected) {
    result.messages.push_back(context.messages.text(
        result.end == ReadEnd::kTooManySamples ? Msg::kTooManyRecords : Msg::kNoDataRecords));
  }
  context.feedback.setBusy(false);
  context.feedback.setStatus("");
  return result;
}

ReadResult ReadRawDataFile(const std::string& filename, const ports::FileSystem& fs,
                           const std::string& dataPath, const ReadContext& context,
                           HeaderFields& header, SampleTable& table) {
  std::string content;
  return ReadRawDataFile(filename, fs, dataPath, context, header, table, content);
}

ReadResult ReadRawDataFile(const std::string& filename, const ports::FileSystem& fs,
                           const std::string& dataPath, const ReadContext& context,
                           HeaderFields& header, SampleTable& table, std::string& content) {
  bool cut = false;
  try {
    readBounded(fs, ports::joinPath(dataPath, filename), cut, content);
  } catch (const Error& e) {
    begin(context, table);
    return failed(e, filename, context, table);
  }
  return ReadRawDataContent(content, filename, context, header, table, cut);
}

std::optional<std::string> Data_limit_err(std::int16_t errmsg) {
  if (errmsg != 0) return std::nullopt;
  return "The maximum number of data points of " + signedText(kMaxSamples) +
         " has been exceeded. \n\rThe data will be truncated";
}

}  // namespace kestrand::store
