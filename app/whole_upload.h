#pragma once
// The whole upload as one series, for the chart, the statistics and the report: the first file
// and its continuation files read one after another, times running on across them. The grid,
// "Save as" and "Print Data" keep showing one file; so the files are read into a table of their
// own here, and the table on display stays as it is.

#include <optional>
#include <string>
#include <vector>

#include "core/messages.h"
#include "ports/file_system.h"
#include "ports/printer.h"
#include "store/probe_table.h"
#include "view/assessment.h"
#include "view/chart.h"
#include "view/grid.h"
#include "view/report.h"
#include "view/stats.h"

namespace kestrand::app {

// What reading an upload's files takes from the program.
struct UploadReader {
  const ports::FileSystem& fs;
  const store::ProbeTable& probes;
  const MessageCatalogue& messages;
  view::DateContext dates;
};

// What a pass over the whole upload gathers besides the statistics: its chart reduced to
// `chartColumns` pixel columns (0: every sample, to zoom into; kNoChart: its details only), and
// its assessment.
inline constexpr int kNoChart = -1;
struct WholeUploadWanted {
  int chartColumns = 0;
  struct Assessing {
    view::Limits limits;
    double uncertaintyDb = 0.0;
  };
  std::optional<Assessing> assessment;
  bool stats = true;  // the statistics of every column
};

struct WholeUpload {
  std::vector<std::string> files;  // the files in the series, first to last
  // What the reading found, each text naming its file: the readers' messages, and where and why
  // the series stopped before the upload's last file.
  std::vector<std::string> messages;
  view::ChartData chart;  // reduced as asked; its details are the whole upload's
  std::size_t samples = 0;
  std::size_t listingPages = 0;  // the report's listing pages of the files, in all
  std::vector<view::ColumnStats> stats;
  std::optional<view::Assessment> assessment;
  view::InfoLabels labels;  // the "Information" labels of the whole series
};

// The upload raw data file `name` in `dir` belongs to, as one series (at most 27 x 16300
// samples), read one file at a time: the statistics, the chart's reduction and the assessment
// take each file's samples as they come. It stops at a file that is missing, cannot be read or
// does not go on from the first.
WholeUpload readWholeUpload(const UploadReader& reader, const std::string& dir,
                            const std::string& name, const WholeUploadWanted& wanted = {});

// The survey report's listing of `file` of `dir` on its own (every column on the page).
std::vector<view::ReportPage> listingOf(const UploadReader& reader, const std::string& dir,
                                        const std::string& file);

// Prints the report's listing of each of `files` on its own, one file after another,
// without ending the document; `continued`: the first page follows others.
void printListings(const UploadReader& reader, const std::string& dir,
                   const std::vector<std::string>& files, ports::Printer& printer, bool continued);

}  // namespace kestrand::app
