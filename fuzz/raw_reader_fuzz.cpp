// libFuzzer target: ReadRawDataFile and UpdateDataTable on arbitrary file contents (the input's
// length picks the date display choice), and LoadFiletoList on the same content in an in-memory
// data directory. No exception may escape; besides the sanitizers it checks the sample count, the
// messages against the outcome, the grid's shape, and that listing from the head of a file comes
// to exactly what listing from the whole file does.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/fake/memory_file_system.h"
#include "store/catalogue.h"
#include "store/raw_reader.h"
#include "view/grid.h"

namespace {

using namespace kestrand;

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "raw_reader_fuzz: invariant violated: %s\n", what);
  std::abort();
}

// A data directory whose files are always read whole, heads included.
struct WholeFiles : platform::fake::MemoryFileSystem {
  std::string readHead(const std::string& path, std::size_t) const override {
    return MemoryFileSystem::readHead(path, std::string::npos);
  }
};

// What listing `content` from `fs` comes to: the entry or the message box's text.
std::string listed(platform::fake::MemoryFileSystem& fs, const std::string& content) {
  static const store::ProbeTable probes = [] {
    store::ProbeTable p;
    p.InitProbeTable();
    return p;
  }();
  static const MessageCatalogue messages;
  fs.files["/d/qv.dat"] = content;
  store::FileCatalogue catalogue;
  store::HeaderFields header;
  const store::ListUpdate u =
      store::FileList({catalogue, header, probes, messages, fs, "/d"}).LoadFiletoList("qv.dat");
  return u.box ? u.box->text : u.entry;
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

  // The input as it is, and pushed across the head's first 4096 bytes by leading blanks.
  for (std::size_t pad : {std::size_t{0}, 4096 - size % 4096}) {
    const std::string padded =
        std::string(pad, ' ') + std::string(reinterpret_cast<const char*>(data), size);
    platform::fake::MemoryFileSystem heads;
    WholeFiles whole;
    check(listed(heads, padded) == listed(whole, padded), "head listing equals whole listing");
  }
  return 0;
}
