#include "app/whole_upload.h"

#include <algorithm>
#include <optional>

#include "app/data_files.h"
#include "store/raw_format.h"
#include "store/raw_reader.h"
#include "store/whole_upload.h"
#include "view/report.h"
#include "view/survey.h"

namespace kestrand::app {
namespace {

// A file of the upload read as "View" reads it, into the given table and header.
store::ReadResult readFile(const UploadReader& r, const std::string& dir, const std::string& name,
                           store::HeaderFields& h, store::SampleTable& t) {
  h = {};
  const store::ReadContext context{r.probes, r.messages, r.dates.dateChoice, {}};
  return store::ReadRawDataFile(name, r.fs, dir, context, h, t);
}

bool usable(const store::ReadResult& result, const store::SampleTable& t) {
  return t.NumSamples > 0 && (result.end == store::ReadEnd::kComplete ||
                              result.end == store::ReadEnd::kTooManySamples ||
                              result.end == store::ReadEnd::kDataBlockError);
}

}  // namespace

WholeUpload readWholeUpload(const UploadReader& r, const std::string& dir,
                            const std::string& name) {
  WholeUpload out;
  const store::UploadFiles files = store::uploadFiles(r.fs, dir, name);
  // One table for every file in turn; the series gets room for all at once.
  store::SampleTable t;
  store::HeaderFields h, first;
  std::optional<view::ChartBuilder> builder;
  std::optional<store::UploadClock> clock;
  view::InfoLabels firstLabels, lastLabels;
  std::size_t samples = 0;
  const auto stop = [&](const std::string& why) {
    out.messages.push_back(why + "; the whole upload stops at " + out.files.back() + ".");
  };
  if (files.names.empty()) {
    out.messages.push_back(files.missing + " is missing; the whole upload has no first file.");
    return out;
  }
  for (const std::string& file : files.names) {
    // A link among the files would bring the same data in twice.
    const std::string path = platform::joinPath(dir, file);
    const auto again = std::find_if(out.files.begin(), out.files.end(), [&](const std::string& f) {
      return r.fs.sameFile(platform::joinPath(dir, f), path);
    });
    if (again != out.files.end()) {
      stop(file + " is " + *again + " again");
      break;
    }
    // A continuation file short of a full file's records ended early (damaged, or cut short):
    // the times of any file after it would not follow.
    if (out.files.size() > 1 && t.NumSamples < store::kMaxRecordsPerFile) {
      stop(out.files.back() + " holds " + std::to_string(t.NumSamples) + " records, fewer than " +
           std::to_string(store::kMaxRecordsPerFile) + "; " + file + " cannot follow it");
      break;
    }
    const store::ReadResult result = readFile(r, dir, file, h, t);
    for (const std::string& text : result.messages) out.messages.push_back(file + ": " + text);
    if (!usable(result, t)) {
      if (!out.files.empty()) stop(file + " has no samples to add");
      break;
    }
    if (!builder) {
      first = h;
      clock = store::UploadClock::of(h, t, r.dates.dateChoice);
      if (clock) clock->skip(t.NumSamples);
    } else if (const auto why = store::notAContinuation(first, h)) {
      stop(file + " does not go on from " + out.files.front() + " (" + *why + ")");
      break;
    } else if (clock) {
      clock->retime(t);
    }
    const view::DataTableView shown = view::UpdateDataTable(t, h, r.dates);
    if (!builder) {
      builder.emplace(shown.grid, t, h, r.dates.dateChoice, r.dates.timeChoice);
      builder->reserve(files.names.size() * store::kMaxSamples);
      firstLabels = shown.labels;
    }
    builder->add(t);
    lastLabels = shown.labels;
    samples += static_cast<std::size_t>(t.NumSamples);
    out.files.push_back(file);
  }
  if (!files.missing.empty() && out.files.size() == files.names.size())
    stop(files.missing + " is missing");
  if (builder) out.chart = std::move(*builder).finish();
  out.labels = view::wholeUploadLabels(firstLabels, lastLabels, samples);
  return out;
}

std::vector<view::ReportPage> listingOf(const UploadReader& r, const std::string& dir,
                                        const std::string& file) {
  store::SampleTable t;
  store::HeaderFields h;
  readFile(r, dir, file, h, t);
  view::UpdateDataTable(t, h, r.dates);
  return view::ReportListing(t, h);
}

void printListings(const UploadReader& r, const std::string& dir,
                   const std::vector<std::string>& files, platform::Printer& printer,
                   bool continued) {
  for (const std::string& file : files) {
    printPageRun(listingOf(r, dir, file), printer, continued);
    continued = true;
  }
}

}  // namespace kestrand::app
