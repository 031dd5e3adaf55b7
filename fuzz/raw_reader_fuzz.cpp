// libFuzzer target: ReadRawDataFile and UpdateDataTable on arbitrary file contents (the input's
// length picks the date display choice), and LoadFiletoList on the same content in an in-memory
// data directory. No exception may escape; besides the sanitizers it checks the sample count,
// the messages against the outcome, the grid's shape, and that the bounded reads of the file
// (the viewer's and the list's) come to exactly what reading the whole file does.

#include <cstdint>
#include <string_view>

#include "fuzz/check.h"
#include "store/catalogue.h"
#include "store/raw_reader.h"
#include "tests/fakes/memory_file_system.h"
#include "view/grid.h"

namespace {

using namespace kestrand;

using kestrand::fuzz::check;

// A data directory whose files are always read whole, heads included.
struct WholeFiles : ports::fake::MemoryFileSystem {
  std::string readHead(const std::string& path, std::size_t) const override {
    return MemoryFileSystem::readHead(path, std::string::npos);
  }
};

const store::ProbeTable kProbes = [] {
  store::ProbeTable t;
  t.InitProbeTable();
  return t;
}();
const MessageCatalogue kMessages;

// What listing the file of `fs` comes to: the entry or the message box's text.
std::string listed(ports::FileSystem& fs) {
  store::FileCatalogue cat;
  const auto u = store::FileList({cat, kProbes, kMessages, fs, "/d"}).LoadFiletoList("q.dat");
  return u.box ? u.box->text : u.entry;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static store::HeaderFields header;
  static store::SampleTable table;  // allocated once, as in the program
  const int dateChoice = static_cast<int>(size % 9) + 1;
  const store::ReadContext context{kProbes, kMessages, dateChoice, {}};
  ports::fake::MemoryFileSystem bounded;
  WholeFiles whole;
  bounded.files["/d/q.dat"] = whole.files["/d/q.dat"] = {reinterpret_cast<const char*>(data), size};

  const auto r = store::ReadRawDataFile("q.dat", bounded, "/d", context, header, table);
  check(table.NumSamples >= 0 && table.NumSamples <= store::kMaxSamples, "sample count");
  const bool complete = r.end == store::ReadEnd::kComplete;
  // At most the reader's own message, the end's, and one about sample times no order can read.
  check(r.messages.size() <= (complete ? 2u : 3u) && (complete || !r.messages.empty()),
        "number of messages");
  check(complete == (r.status == "Reading completed") && (!complete || table.NumSamples > 0),
        "status against outcome");
  const std::int16_t samples = table.NumSamples;
  const auto w = store::ReadRawDataFile("q.dat", whole, "/d", context, header, table);
  check(w.end == r.end && w.messages == r.messages && table.NumSamples == samples,
        "bounded read equals whole read");

  const view::GridLayout g = view::UpdateDataTable(table, header, {0, dateChoice, 3, {}}).grid;
  check(g.cols() >= 1 && g.sources.size() == g.titles.size() &&
            g.widthsTwips.size() == g.titles.size(),
        "grid columns");
  for (int col = 0; col < g.cols(); ++col) (void)view::cellText(g, table, g.rows - 1, col);
  check(listed(bounded) == listed(whole), "head listing equals whole listing");
  return 0;
}
