#pragma once
// The readings of one upload file for the headless chart and statistics: the file read into a
// sample table, laid out as the data grid shows it, and turned into chart series.

#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "view/chart.h"

namespace kestrand::cli {

struct Readings {
  std::string name;  // the file's bare name
  view::ChartData chart;
};

// Reads the file at `path` (a raw data file; the date format saved in `dataDir` decides how an
// ambiguous start date is read). The reader's messages go to `messages`; nullopt when the file
// gave no samples.
std::optional<Readings> loadReadings(const platform::FileSystem& fs, const std::string& path,
                                     const std::string& dataDir,
                                     std::vector<std::string>& messages);

}  // namespace kestrand::cli
