#pragma once
// A data file loaded headless as the desktop program shows it: a raw data file as "View" reads
// it, a ".csv" file as "Open" reads it, then the grid's update, which settles the moving-average
// column and the probe and units texts that "Save as" and the report use.

#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "store/header.h"
#include "store/sample_table.h"

namespace kestrand::cli {

struct LoadedTable {
  std::unique_ptr<store::SampleTable> table = std::make_unique<store::SampleTable>();
  store::HeaderFields header;
  // The message boxes the desktop program would have shown, in order.
  std::vector<std::string> messages;
  // False when nothing could be read: the file is missing, unreadable, or its header rejected.
  bool readable = true;
};

// `file`: a bare name in `dataDir`, or a path. The date and time display formats are those of
// the settings files in `dataDir`, or the defaults when it has none.
LoadedTable loadTable(platform::FileSystem& fs, const std::string& dataDir, const std::string& file,
                      const platform::Clock& clock);

}  // namespace kestrand::cli
