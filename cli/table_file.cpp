#include "cli/table_file.h"

#include "core/messages.h"
#include "datetime/format_preferences.h"
#include "store/probe_table.h"
#include "store/raw_reader.h"
#include "view/csv.h"
#include "view/grid.h"

namespace kestrand::cli {
namespace {

bool endsWithCsv(const std::string& name) {
  if (name.size() < 4) return false;
  std::string end = name.substr(name.size() - 4);
  for (char& c : end) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return end == ".csv";
}

}  // namespace

LoadedTable loadTable(platform::FileSystem& fs, const std::string& dataDir, const std::string& file,
                      const platform::Clock& clock) {
  datetime::FormatPreferences formats(fs, dataDir);
  // Read only where the desktop program has written them: a headless run leaves no files.
  if (fs.exists(platform::joinPath(dataDir, std::string(datetime::kDateSettingsFile))))
    formats.GetDefault2();
  if (fs.exists(platform::joinPath(dataDir, std::string(datetime::kTimeSettingsFile))))
    formats.GetDefault3();

  LoadedTable loaded;
  store::SampleTable& t = *loaded.table;
  const auto slash = file.rfind('/');
  const std::string dir = slash == std::string::npos ? dataDir : file.substr(0, slash);
  const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
  if (endsWithCsv(name)) {
    try {
      const std::string content = fs.readAll(platform::joinPath(dir, name));
      view::CsvReadResult r = view::ReadCsvContent(content, t, loaded.header);
      if (r.overLimit) loaded.messages.push_back(store::dataLimitText());
      for (std::string& m : r.messages) loaded.messages.push_back(std::move(m));
    } catch (const Error& e) {
      loaded.messages.push_back("Error on Open!  " + e.description());
      loaded.readable = false;
      return loaded;
    }
  } else {
    store::ProbeTable probes;
    probes.InitProbeTable();
    const MessageCatalogue catalogue;
    const store::ReadResult r = store::ReadRawDataFile(
        name, fs, dir, {probes, catalogue, formats.dateChoice(), {}}, loaded.header, t);
    loaded.messages = r.messages;
    if (r.end == store::ReadEnd::kFailed || r.end == store::ReadEnd::kHeaderRejected) {
      loaded.readable = false;
      return loaded;
    }
  }
  view::UpdateDataTable(t, loaded.header,
                        {0, formats.dateChoice(), formats.timeChoice(), clock.now()});
  return loaded;
}

}  // namespace kestrand::cli
