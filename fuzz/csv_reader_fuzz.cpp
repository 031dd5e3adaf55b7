// libFuzzer target: opening a CSV file on arbitrary content, then saving and printing what was
// read. Checks the sample count, the lines lost, the saved file's lines, and that a file
// refused as a whole leaves the table alone.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/error.h"
#include "fuzz/check.h"
#include "view/csv.h"
#include "view/report.h"

using kestrand::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrand;
  static store::SampleTable table;  // allocated once, as in the program
  store::HeaderFields header;
  table.NumSamples = 0;
  view::CsvOpened opened;
  try {
    opened = view::OpenCsvContent({reinterpret_cast<const char*>(data), size}, table, header);
  } catch (const Error&) {
    check(table.NumSamples == 0, "a refused file changed the table");
    return 0;
  }
  check(table.NumSamples <= store::kMaxSamples, "sample count");
  check(opened.linesLost >= 0 && opened.linesLost <= opened.count.lines, "lines lost");
  std::string saved;
  view::WriteCsv(table, [&](std::string_view bytes) { saved += bytes; });
  std::size_t lines = 0;
  for (std::size_t at = saved.find("\r\n"); at != std::string::npos;
       at = saved.find("\r\n", at + 2))
    ++lines;
  // Texts are written as held: a line end inside one adds lines, never takes any away.
  check(lines >= static_cast<std::size_t>(table.NumSamples) + 1, "lines saved");
  (void)view::PrintReport(table, header);
  return 0;
}
