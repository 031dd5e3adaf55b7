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
#include "view/grid.h"
#include "view/stats.h"

namespace kestrand::view {

struct SurveySummary {
  std::vector<std::string> files;  // the files read, first file first (Windows-1252)
  store::Notes notes;              // UTF-8
  // What the reader of the report must know about the data: a whole upload that stops early
  // (Windows-1252).
  std::vector<std::string> remarks;
  std::vector<std::string> details;  // the "Information" labels that hold text, in panel order
  std::vector<std::string> statsHead;
  std::vector<std::vector<std::string>> statsRows;  // one per value column, cells as statsHead
  bool operator==(const SurveySummary&) const = default;
};

// The summary of an upload. With a reference level each row ends in its maximum as a
// percentage of it, and the details end in the level and its units.
SurveySummary surveySummary(std::vector<std::string> files, store::Notes notes,
                            const InfoLabels& labels, const std::vector<ColumnStats>& stats,
                            std::optional<double> reference, const std::string& units);

// The "Information" labels of a whole upload: those of its first file, with the end of its last
// file and the samples of all.
InfoLabels wholeUploadLabels(const InfoLabels& first, const InfoLabels& last, std::size_t samples);

}  // namespace kestrand::view
