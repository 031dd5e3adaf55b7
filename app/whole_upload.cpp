#include "app/whole_upload.h"

#include <optional>
#include <string>
#include <utility>

#include "app/data_files.h"
#include "store/raw_format.h"
#include "store/raw_reader.h"
#include "store/whole_upload.h"
#include "view/report.h"
#include "view/survey.h"

namespace kestrand::app {
namespace {

// A file of the upload read as "View" reads it, into the given table and header; with
// `timesGiven`, the times of records that carry none are left to the upload's clock.
store::ReadResult readFile(const UploadReader& r, const std::string& dir, const std::string& name,
                           store::HeaderFields& h, store::SampleTable& t, bool timesGiven,
                           std::string& content) {
  h = {};
  const store::ReadContext context{r.probes, r.messages, r.dates.dateChoice, {}, timesGiven};
  return store::ReadRawDataFile(name, r.fs, dir, context, h, t, content);
}

bool usable(const store::ReadResult& result, const store::SampleTable& t) {
  return t.NumSamples > 0 && (result.end == store::ReadEnd::kComplete ||
                              result.end == store::ReadEnd::kTooManySamples ||
                              result.end == store::ReadEnd::kDataBlockError);
}

// One pass over the files of an upload, one table at a time: each file's samples go to the
// statistics, the chart's reduction and the assessment, and are then let go.
class WholePass {
 public:
  // `files`: how many files the series is expected to hold, which sets the chart's stretches
  // from the first file on.
  WholePass(const UploadReader& r, std::string dir, const WholeUploadWanted& wanted,
            std::size_t files, WholeUpload& out)
      : r_(r),
        dir_(std::move(dir)),
        wanted_(wanted),
        files_(files),
        out_(out),
        reduction_(wanted.chartColumns) {}

  // Adds `file` to the series; false when the series stops before it (the reason said).
  bool add(const std::string& file) {
    const auto identity = r_.fs.identity(ports::joinPath(dir_, file));
    if (const auto why = cannotFollow(file, identity)) {
      stop(*why);
      return false;
    }
    // A continuation file's times come from the upload's clock (retime below).
    const store::ReadResult result = readFile(r_, dir_, file, h_, t_, clock_.has_value(), content_);
    for (const std::string& text : result.messages) out_.messages.push_back(file + ": " + text);
    bool everyText = true;  // every sample's time texts are in the table
    if (!usable(result, t_)) {
      if (!out_.files.empty()) stop(file + " has no samples to add");
      return false;
    }
    if (!builder_) {
      first_ = h_;
      clock_ = store::UploadClock::of(h_, t_, r_.dates.dateChoice);
      if (clock_) clock_->skip(t_.NumSamples);
    } else if (const auto why = store::notAContinuation(first_, h_)) {
      stop(file + " does not go on from " + out_.files.front() + " (" + *why + ")");
      return false;
    } else if (clock_) {
      // A chart of every sample shows each sample's time; otherwise only the labels' first and
      // last times are read, and the statistics' maxima have theirs worked out (take below).
      everyText = wanted_.chartColumns == 0;
      clock_->retime(t_, everyText);
    }
    take(everyText);
    out_.files.push_back(file);
    identities_.push_back(identity);
    return true;
  }

  void stop(const std::string& why) {
    out_.messages.push_back(why + "; the whole upload stops at " + out_.files.back() + ".");
  }

  void finish() {
    if (!builder_) return;
    const view::ChartData& details = builder_->details();
    if (wanted_.stats) out_.stats = stats_.result(details);
    if (assessor_) out_.assessment = std::move(*assessor_).finish();
    out_.chart = std::move(reduction_).finish(details);
    out_.labels = view::wholeUploadLabels(firstLabels_, lastLabels_, out_.samples);
  }

  // The chart's stretches were set for the files expected.
  bool expected() const { return expected_; }

 private:
  // Why `file`, the file `identity` tells, cannot follow the files before it, if it cannot.
  std::optional<std::string> cannotFollow(
      const std::string& file, const std::optional<ports::FileIdentity>& identity) const {
    // A link among the files would bring the same data in twice.
    for (std::size_t k = 0; identity && k < identities_.size(); ++k) {
      if (identities_[k] == identity) return file + " is " + out_.files[k] + " again";
    }
    // A continuation file short of a full file's records ended early (damaged, or cut short):
    // the times of any file after it would not follow.
    if (out_.files.size() > 1 && t_.NumSamples < store::kMaxRecordsPerFile)
      return out_.files.back() + " holds " + std::to_string(t_.NumSamples) +
             " records, fewer than " + std::to_string(store::kMaxRecordsPerFile) + "; " + file +
             " cannot follow it";
    return std::nullopt;
  }

  // The table just read, as a part of the series; without `everyText`, its time texts are
  // written only for its first and last samples.
  void take(bool everyText) {
    const view::DataTableView shown = view::UpdateDataTable(t_, h_, r_.dates);
    if (!builder_) {
      builder_.emplace(shown.grid, t_, h_, r_.dates.dateChoice, r_.dates.timeChoice);
      // Only a chart of every sample shows them (at the pointer); the statistics read the table's.
      builder_->keepTimeTexts(wanted_.chartColumns == 0);
      firstLabels_ = shown.labels;
    }
    lastLabels_ = shown.labels;
    // The statistics read the table itself; the chart and the assessment take its samples
    // copied out, with their times on the upload's scale.
    if (wanted_.stats && everyText) {
      stats_.add(shown.grid, t_);
    } else if (wanted_.stats) {
      stats_.add(shown.grid, t_, [this](std::size_t row) { return clock_->timeText(row); });
    }
    if (wanted_.chartColumns != kNoChart || wanted_.assessment) {
      builder_->add(t_);
      const view::ChartData& part = builder_->takePart();
      if (out_.files.empty()) expect(part);
      if (!assessor_ && wanted_.assessment)
        assessor_.emplace(builder_->details(), wanted_.assessment->limits,
                          wanted_.assessment->uncertaintyDb);
      if (assessor_) assessor_->add(part);
      reduction_.add(part);
    }
    out_.samples += static_cast<std::size_t>(t_.NumSamples);
    out_.listingPages += view::listingPageCount(t_);
  }

  // After the first file: on the upload's clock, the files after it but the last hold full
  // files' records, and the last at least one. Only a reduced chart has stretches to set.
  void expect(const view::ChartData& first) {
    if (wanted_.chartColumns <= 0 || !clock_ || files_ < 3 || first.x.empty()) return;
    reduction_.expectAtLeast(first.x.back() +
                             clock_->secondsAhead((files_ - 2) * store::kMaxRecordsPerFile));
    expected_ = true;
  }

  const UploadReader& r_;
  std::string dir_;
  const WholeUploadWanted& wanted_;
  std::size_t files_;
  bool expected_ = false;
  WholeUpload& out_;
  std::vector<std::optional<ports::FileIdentity>> identities_;  // of out_.files
  // One table, and one room for the bytes, for every file in turn.
  store::SampleTable t_;
  std::string content_;
  store::HeaderFields h_, first_;
  std::optional<store::UploadClock> clock_;
  std::optional<view::ChartBuilder> builder_;
  view::StatsAccumulator stats_;
  std::optional<view::Assessor> assessor_;
  view::ChartReduction reduction_;
  view::InfoLabels firstLabels_, lastLabels_;
};

// The series of `files`, and whether its chart's stretches were set for `expected` of them.
struct Series {
  WholeUpload upload;
  bool stretched = false;
};
Series readSeries(const UploadReader& r, const std::string& dir, const store::UploadFiles& files,
                  const WholeUploadWanted& wanted, std::size_t expected) {
  Series out;
  WholePass pass(r, dir, wanted, expected, out.upload);
  bool whole = true;
  for (const std::string& file : files.names) {
    if (!pass.add(file)) {
      whole = false;
      break;
    }
  }
  if (whole && !files.missing.empty()) pass.stop(files.missing + " is missing");
  pass.finish();
  out.stretched = pass.expected();
  return out;
}

}  // namespace

WholeUpload readWholeUpload(const UploadReader& r, const std::string& dir, const std::string& name,
                            const WholeUploadWanted& wanted) {
  const store::UploadFiles files = store::uploadFiles(r.fs, dir, name);
  if (files.names.empty()) {
    WholeUpload out;
    out.messages.push_back(files.missing + " is missing; the whole upload has no first file.");
    return out;
  }
  Series series = readSeries(r, dir, files, wanted, files.names.size());
  // A series that stops early had its chart's stretches set for files it did not take, too
  // wide for the time it covers: it is read again, expecting the files it took.
  if (series.stretched && series.upload.files.size() < files.names.size())
    series = readSeries(r, dir, files, wanted, series.upload.files.size());
  return std::move(series.upload);
}

std::vector<view::ReportPage> listingOf(const UploadReader& r, const std::string& dir,
                                        const std::string& file) {
  store::SampleTable t;
  store::HeaderFields h;
  std::string content;
  readFile(r, dir, file, h, t, false, content);
  view::UpdateDataTable(t, h, r.dates);
  return view::ReportListing(t, h);
}

void printListings(const UploadReader& r, const std::string& dir,
                   const std::vector<std::string>& files, ports::Printer& printer, bool continued) {
  for (const std::string& file : files) {
    printPageRun(listingOf(r, dir, file), printer, continued);
    continued = true;
  }
}

}  // namespace kestrand::app
