#include "store/whole_upload.h"

#include <algorithm>
#include <cctype>

#include "store/probe_table.h"
#include "store/upload_files.h"

namespace kestrand::store {
namespace {

bool isLetter(char c) {
  return c >= 'A' && c <= 'Z';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

UploadFiles uploadFiles(const ports::FileSystem& fs, const std::string& dir,
                        const std::string& name) {
  UploadFiles files;
  files.names.push_back(name);
  const auto dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return files;
  std::string stem = name.substr(0, dot);
  const std::string extension = name.substr(dot);
  // The name with `letter` in front of the extension, and whether it is there.
  const auto named = [&](char letter) { return continuationName(stem + extension, letter); };
  const auto exists = [&](const std::string& n) { return fs.exists(ports::joinPath(dir, n)); };
  // The first file's name ends in a digit (its time or file number); a continuation adds a
  // letter.
  if (stem.size() >= 2 && isLetter(stem.back()) && isDigit(stem[stem.size() - 2])) {
    // A continuation file: the upload is taken from its first file, which must be there.
    stem.pop_back();
    files.names = {stem + extension};
    if (!exists(files.names.front())) {
      files.missing = files.names.front();
      files.names.clear();
      return files;
    }
  }
  char letter = 'A';
  for (; letter <= 'Z'; ++letter) {
    const std::string next = named(letter);
    if (!exists(next)) {
      for (char later = static_cast<char>(letter + 1); later <= 'Z'; ++later) {
        if (exists(named(later))) {
          files.missing = next;
          break;
        }
      }
      break;
    }
    files.names.push_back(next);
  }
  return files;
}

std::optional<std::string> notAContinuation(const HeaderFields& first, const HeaderFields& next) {
  if (next.ProbeType != first.ProbeType) return "another probe";
  if (next.LogMode != first.LogMode) return "another logging mode";
  if (next.DataFormat != first.DataFormat || (next.MoveAve == 0) != (first.MoveAve == 0))
    return "other columns";
  if (next.LogRate != first.LogRate) return "another log rate";
  if (next.MoveAve != first.MoveAve) return "another moving-average length";
  if (next.PeriodOn != first.PeriodOn || next.PeriodOff != first.PeriodOff) return "other periods";
  return std::nullopt;
}

std::optional<UploadClock> UploadClock::of(const HeaderFields& first, const SampleTable& firstTable,
                                           int dateChoice) {
  if (first.LogMode < 1 || first.LogMode > 3 || firstTable.NumSamples < 1) return std::nullopt;
  const auto date = datetime::parseDisplayedDate(first.SampDate, dateChoice);
  const auto time = datetime::parseDisplayedTime(first.SampTime);
  if (!date || !time) return std::nullopt;
  return UploadClock(first, {*date, *time}, firstTable.instants[0]);
}

UploadClock::UploadClock(const HeaderFields& h, datetime::Instant start,
                         datetime::Tenths startTenths)
    : startTenths_(startTenths),
      clock_(logInterval(h.LogRate), h.LogMode == 2, h.PeriodOn, h.PeriodOff,
             PeriodRestart::kLessOneInterval),
      texts_(start) {}

void UploadClock::skip(int samples) {
  for (int j = 0; j < samples; ++j) clock_.next();
}

double UploadClock::secondsAhead(std::size_t samples) const {
  SampleClock<double> ahead = clock_;
  for (std::size_t j = 0; j < samples; ++j) ahead.next();
  return static_cast<double>(ahead.elapsedTenths() - clock_.elapsedTenths()) / 10.0;
}

void UploadClock::retime(SampleTable& table, bool everyText) {
  const int last = table.NumSamples - 1;
  seconds_.resize(static_cast<std::size_t>(std::max(last + 1, 0)));
  for (int j = 0; j <= last; ++j) {
    const auto row = static_cast<std::size_t>(j);
    seconds_[row] = wholeSeconds(clock_.elapsed());
    if (everyText || j == 0 || j == last)
      texts_.write(seconds_[row], table.SampleDate[row], table.SampleTime[row]);
    table.instants[row] = startTenths_ + clock_.elapsedTenths();
    clock_.next();
  }
}

}  // namespace kestrand::store
