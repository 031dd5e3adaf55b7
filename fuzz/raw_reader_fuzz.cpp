// libFuzzer target: ReadRawDataFile and UpdateDataTable on arbitrary file contents (the input's
// length picks the date display choice). No exception may escape; besides the sanitizers it
// checks the sample count, the messages against the outcome, and the grid's shape.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "store/raw_reader.h"
#include "view/grid.h"

namespace {

using namespace kestrand;

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "raw_reader_fuzz: invariant violated: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const store::ProbeTable probes = [] {
    store::ProbeTable p;
    p.InitProbeTable();
    return p;
  }();
  static const MessageCatalogue messages;
  static store::HeaderFields header;
  static store::SampleTable table;  // allocated once, as in the program
  const int dateChoice = static_cast<int>(size % 9) + 1;
  const store::ReadResult r =
      store::ReadRawDataContent(std::string_view(reinterpret_cast<const char*>(data), size),
                                "fuzz.dat", {probes, messages, dateChoice, {}}, header, table);
  check(table.NumSamples >= 0 && table.NumSamples <= store::kMaxSamples, "sample count");
  const bool complete = r.end == store::ReadEnd::kComplete;
  check(r.messages.size() <= (complete ? 1u : 2u) && (complete || !r.messages.empty()),
        "number of messages");
  check(complete == (r.status == "Reading completed") && (!complete || table.NumSamples > 0),
        "status against outcome");

  const view::GridLayout g = view::UpdateDataTable(table, header, {0, dateChoice, 3, {}}).grid;
  check(g.cols() >= 1 && g.sources.size() == g.titles.size() &&
            g.widthsTwips.size() == g.titles.size(),
        "grid columns");
  for (int row : {0, 1, g.rows - 1}) {
    for (int col = 0; col < g.cols(); ++col) (void)view::cellText(g, table, row, col);
  }
  return 0;
}
