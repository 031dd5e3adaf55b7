#include "cli/readings.h"

#include <memory>

#include "core/messages.h"
#include "datetime/format_preferences.h"
#include "store/raw_reader.h"
#include "view/grid.h"

namespace kestrand::cli {
namespace {

// The saved date format, read without writing the default back (the headless commands change
// nothing in the data directory).
int savedDateChoice(const platform::FileSystem& fs, const std::string& dataDir) {
  try {
    const std::string content =
        fs.readAll(platform::joinPath(dataDir, std::string(datetime::kDateSettingsFile)));
    const std::string item = content.substr(0, content.find_first_of(",\r\n"));
    for (int k = 1; k <= datetime::kDateFormats; ++k) {
      if (item == std::to_string(k)) return k;
    }
  } catch (const Error&) {
  }
  return 3;
}

}  // namespace

std::optional<Readings> loadReadings(const platform::FileSystem& fs, const std::string& path,
                                     const std::string& dataDir,
                                     std::vector<std::string>& messages) {
  const auto slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  Readings r;
  r.name = slash == std::string::npos ? path : path.substr(slash + 1);

  store::ProbeTable probes;
  probes.InitProbeTable();
  const MessageCatalogue catalogue;
  const int dateChoice = savedDateChoice(fs, dataDir);
  auto table = std::make_unique<store::SampleTable>();
  store::HeaderFields header;
  // Files of other kinds join here, each with its own reader filling the same table.
  const store::ReadResult result =
      store::ReadRawDataFile(r.name, fs, dir, {probes, catalogue, dateChoice, {}}, header, *table);
  messages = result.messages;
  if (table->NumSamples < 1) return std::nullopt;

  const int elapsed = header.ProbeType >= 16 ? 1 : 0;
  const view::DataTableView grid =
      view::UpdateDataTable(*table, header, {elapsed, dateChoice, 1, {}});
  r.chart = view::chartData(grid.grid, *table, header, dateChoice);
  return r;
}

}  // namespace kestrand::cli
