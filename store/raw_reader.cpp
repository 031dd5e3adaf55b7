#include "store/raw_reader.h"

#include <array>
#include <cmath>

#include "core/error.h"
#include "core/text.h"
#include "datetime/datetime.h"
#include "store/field_reader.h"

namespace kestrand::store {
namespace {

// The furthest a computed sample time may run from its start (about 3000 years); beyond it the
// read fails as an overflow, as adding the seconds to a date would.
constexpr double kMaxOffsetSeconds = 1e11;

// The instant of a computed sample: `start` plus the elapsed seconds rounded to the nearest
// whole second, halves to the even second.
datetime::Instant sampleInstant(const datetime::Instant& start, float elapsed) {
  const double seconds = std::nearbyint(static_cast<double>(elapsed));
  if (!(std::fabs(seconds) <= kMaxOffsetSeconds)) throw Error(ErrorKind::kOverflow, "Overflow");
  const datetime::Instant at = datetime::addSeconds(start, static_cast<std::int64_t>(seconds));
  if (at.date.year < 1 || at.date.year > 9999) throw Error(ErrorKind::kOverflow, "Overflow");
  return at;
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

class Reader {
 public:
  Reader(std::string_view content, const ReadContext& c, HeaderFields& h, SampleTable& t)
      : in_(content), size_(static_cast<std::int64_t>(content.size())), c_(c), h_(h), t_(t) {}

  // Runs the read; throws the failures that end it (the header's rejection included).
  ReadEnd run(std::vector<std::string>& messages);

 private:
  void readHeader();
  void readRecord(std::vector<std::string>& messages);
  void convertMoveAve();

  FieldReader in_;
  std::int64_t size_;
  const ReadContext& c_;
  HeaderFields& h_;
  SampleTable& t_;
  std::optional<datetime::Instant> start_;  // read when the first sample needs it
  float elapsed_ = 0.0f;                    // seconds from the start, in single precision
  float periodLeft_ = 0.0f;
  std::int16_t firstUnits_ = 0;
  bool unitsWarned_ = false;
  std::array<int, 20> columns_{};  // value columns in use, ascending
  int columnCount_ = 0;
};

// Thrown (and caught in ReadRawDataContent) when the header fails its check.
struct HeaderRejected {};

void Reader::readHeader() {
  h_.SampDate = in_.readText();
  h_.SampTime = in_.readText();
  h_.ProbeType = in_.readInt16();
  h_.LogMode = in_.readInt16();
  h_.LogRate = in_.readInt16();
  h_.DataFormat = in_.readInt32();
  h_.MoveAve = in_.readInt32();
  if (h_.LogMode == 2) {
    h_.PeriodOn = in_.readSingle();
    h_.PeriodOff = in_.readSingle();
    periodLeft_ = h_.PeriodOn;
  } else {
    h_.PeriodOn = 0.0f;
    periodLeft_ = 0.0f;
  }
  if (!VerifyHeader(h_.SampDate, h_.SampTime, h_.ProbeType, h_.LogMode, h_.LogRate, h_.DataFormat,
                    h_.MoveAve)) {
    throw HeaderRejected{};
  }
  h_.ProbeName = c_.probes.ModelName(h_.ProbeType);
  h_.LogModeText = logModeText(h_.LogMode);
  c_.feedback.setProgress(0, size_);
  h_.LogInterval = logInterval(h_.LogRate);

  for (int k = 0; k < kTableColumns - 1; ++k) t_.ColUsed[static_cast<size_t>(k)] = 0;
  if (h_.MoveAve != 0) {
    t_.ColUsed[kMoveAvgColumn] = 1;
    h_.MoveAveText = signedText(h_.MoveAve);
  } else {
    h_.MoveAveText.clear();
  }
  // DataFormat is 1..65535 here, so only columns 0..15 can be in use.
  std::int32_t bits = h_.DataFormat;
  for (int k = 0; bits != 0; ++k, bits /= 2) {
    if (bits % 2 == 1) {
      t_.ColUsed[static_cast<size_t>(k)] = 1;
      columns_[static_cast<size_t>(columnCount_++)] = k;
    }
  }
}

void Reader::readRecord(std::vector<std::string>& messages) {
  const int i = t_.NumSamples;
  const auto row = static_cast<size_t>(i);
  c_.feedback.setProgress(static_cast<std::int64_t>(in_.position()), size_);

  in_.readInt16();  // the record tag
  const std::int16_t units = in_.readInt16();
  if (i == 0) {
    firstUnits_ = units;
  } else if (units != firstUnits_ && !unitsWarned_) {
    messages.push_back(c_.messages.text(Msg::kMultipleUnits));
    unitsWarned_ = true;
  }
  t_.SampleUnits[row] = c_.probes.UnitsText(h_.ProbeType, units);

  if (h_.LogMode >= 1 && h_.LogMode <= 3) {
    if (!start_) start_ = startInstant(h_, c_.dateChoice);
    const datetime::Instant at = sampleInstant(*start_, elapsed_);
    if (h_.LogMode == 2) {
      periodLeft_ -= h_.LogInterval;
      if (periodLeft_ <= 0.0f) {
        periodLeft_ = h_.PeriodOn;
        elapsed_ += h_.LogInterval + h_.PeriodOff;
      } else {
        elapsed_ += h_.LogInterval;
      }
    } else {
      elapsed_ += h_.LogInterval;
    }
    t_.SampleDate[row] = datetime::formatUsDate(at.date);
    t_.SampleTime[row] = datetime::formatTime12(at.secondsOfDay);
  } else {
    t_.SampleDate[row] = in_.readText();
    t_.SampleTime[row] = in_.readText();
  }

  if (t_.ColUsed[kMoveAvgColumn] == 1) t_.MoveAvgData[row] = in_.readSingle();
  for (int n = 0; n < columnCount_; ++n) {
    t_.SampleData(columns_[static_cast<size_t>(n)], i) = in_.readSingle();
  }
  ++t_.NumSamples;
}

void Reader::convertMoveAve() {
  t_.SampleProbe[0] = h_.ProbeName;
  if (h_.MoveAve == 0) {
    t_.SampleProbe[2].clear();
    return;
  }
  const float interval = h_.LogInterval == 0.0f ? 1.0f : h_.LogInterval;
  // Tenths of a minute times samples per minute (worked out in single precision).
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
  if (!in_.atEnd() && t_.NumSamples == kMaxSamples) return ReadEnd::kTooManySamples;
  if (t_.NumSamples == 0) return ReadEnd::kNoDataRecords;
  c_.feedback.setProgress(size_, size_);
  return ReadEnd::kComplete;
}

}  // namespace

namespace {

// The steps every read shares; `open` yields the file's content (and may throw).
template <typename Open>
ReadResult readWith(const Open& open, const std::string& filename, const ReadContext& context,
                    HeaderFields& header, SampleTable& table) {
  ReadResult result;
  context.feedback.setBusy(true);
  context.feedback.setStatus("Reading Raw data - Please wait!");
  table.NumSamples = 0;
  try {
    const std::string_view content = open();
    header.SampDate.clear();
    header.SampTime.clear();
    result.end = Reader(content, context, header, table).run(result.messages);
    if (result.end == ReadEnd::kComplete) {
      result.status = "Reading completed";
      return result;
    }
    result.messages.push_back(context.messages.text(
        result.end == ReadEnd::kTooManySamples ? Msg::kTooManyRecords : Msg::kNoDataRecords));
  } catch (const HeaderRejected&) {
    result.end = ReadEnd::kHeaderRejected;
    result.messages.push_back(context.messages.text(Msg::kHeaderError));
  } catch (const Error& e) {
    if (e.is(ErrorKind::kEndOfFile)) {
      // The records read whole so far stay.
      result.end = ReadEnd::kDataBlockError;
      result.messages.push_back(context.messages.text(Msg::kDataBlockError));
    } else {
      result.end = ReadEnd::kFailed;
      table.NumSamples = 0;
      result.messages.push_back("File: " + filename + kLineBreak + "Error: " + e.description());
    }
  }
  context.feedback.setBusy(false);
  context.feedback.setStatus("");
  return result;
}

}  // namespace

ReadResult ReadRawDataContent(std::string_view content, const std::string& filename,
                              const ReadContext& context, HeaderFields& header,
                              SampleTable& table) {
  return readWith([content] { return content; }, filename, context, header, table);
}

ReadResult ReadRawDataFile(const std::string& filename, const platform::FileSystem& fs,
                           const std::string& dataPath, const ReadContext& context,
                           HeaderFields& header, SampleTable& table) {
  std::string content;
  const auto open = [&]() -> std::string_view {
    content = fs.readAll(platform::joinPath(dataPath, filename));
    return content;
  };
  return readWith(open, filename, context, header, table);
}

std::string dataLimitText() {
  return "The maximum number of data points of " + signedText(kMaxSamples) +
         " has been exceeded. \n\rThe data will be truncated";
}

std::optional<std::string> Data_limit_err(std::int16_t errmsg) {
  if (errmsg != 0) return std::nullopt;
  return dataLimitText();
}

}  // namespace kestrand::store
