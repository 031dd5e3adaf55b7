#pragma once
// The summary page of a survey report as values: what was measured (the file names), where and
// by whom (the notes), the header details as the "Information" panel shows them, and the
// statistics of every value column against the reference level. The numbers are the very texts
// `kestrand-cli stats` prints; the painting (with the chart) is the Qt side's.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "store/notes.h"
#include "view/assessment.h"
#include "view/grid.h"
#include "view/stats.h"

namespace kestrand::view {

struct SurveySummary {
  std::vector<std::string> files;  // the files read, first file first (Windows-1252)
  store::Notes notes;              // UTF-8
  // Which report this is: the upload's start and when the report was made; empty when unknown.
  std::string reportId;
  // The name every page of the report carries at its foot with "Page x of y" (none when empty),
  // and how many listing pages follow the summary.
  std::string pageFoot;
  std::size_t listingPages = 0;
  // What the reader of the report must know about the data: a whole upload that stops early
  // (Windows-1252).
  std::vector<std::string> remarks;
  std::vector<std::string> details;  // the "Information" labels that hold text, in panel order
  std::vector<std::string> statsHead;
  std::vector<std::vector<std::string>> statsRows;  // one per value column, cells as statsHead
  // The assessment against an exposure standard, when one was asked for: the paragraphs that
  // name the standard, its table, the frequency, the averaging time and the decision rule; a
  // row per assessed column as `kestrand-cli assess` prints it; the verdict over all of them.
  std::vector<std::string> assessmentText;
  std::vector<std::string> assessmentHead;
  std::vector<std::vector<std::string>> assessmentRows;
  std::string overallVerdict;
  bool operator==(const SurveySummary&) const = default;
};

// The summary of an upload. With a reference level each row ends in its maximum as a
// percentage of it, and the details end in the level and its units.
SurveySummary surveySummary(std::vector<std::string> files, store::Notes notes,
                            const InfoLabels& labels, const std::vector<ColumnStats>& stats,
                            std::optional<double> reference, const std::string& units);

// Adds the assessment of `chart` against `standard` at `hz` (whose levels are `limits`) with an
// expanded uncertainty of `uncertaintyDb`.
void addAssessment(SurveySummary& summary, const ChartData& chart, const Standard& standard,
                   double hz, const Limits& limits, double uncertaintyDb, const Assessment& result);

// The id of a report on `chart` made at `made`: the instants in the ISO 8601 basic form, the
// upload's start first ("20061205T140533-20261206T091502").
std::string reportId(const ChartData& chart, const ports::LocalTime& made);

// The verdict over all columns: exceeds when one exceeds, else inconclusive when one is, else
// complies; inconclusive when there are none.
Verdict overallVerdict(const Assessment& result);

// The "Information" labels of a whole upload: those of its first file, with the end of its last
// file and the samples of all.
InfoLabels wholeUploadLabels(const InfoLabels& first, const InfoLabels& last, std::size_t samples);

}  // namespace kestrand::view
