// libFuzzer target: the whole upload joined from up to five files of arbitrary content (the
// input's parts between lines "@@"), the first file and continuation files A to D; its first
// byte picks the file the join starts from. No exception may escape; the series' files are the
// upload's from its first file in letter order, its samples no more than they hold, and it is
// the same from whichever of its files it is started.

#include <cstdint>
#include <string_view>

#include "app/whole_upload.h"
#include "fuzz/check.h"
#include "tests/fakes/memory_file_system.h"

namespace {

using namespace kestrand;

using kestrand::fuzz::check;

const store::ProbeTable kProbes = [] {
  store::ProbeTable t;
  t.InitProbeTable();
  return t;
}();
const MessageCatalogue kMessages;

std::string nameOf(int file) {
  return "QV 05.Dec.06  14.05.33" +
         (file == 0 ? "" : std::string(1, static_cast<char>('@' + file))) + ".dat";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  ports::fake::MemoryFileSystem fs;
  int files = 0;
  for (bool more = true; more && files < 5; ++files) {
    const std::size_t end = input.find("\n@@\n");
    more = end != std::string_view::npos;
    fs.files["/d/" + nameOf(files)] = std::string(input.substr(0, end));
    if (more) input.remove_prefix(end + 4);
  }
  const app::UploadReader reader{fs, kProbes, kMessages, {0, 1 + data[0] % 9, 1, {}}};
  const app::WholeUpload from = app::readWholeUpload(reader, "/d", nameOf(data[0] % files));
  check(from.files.size() <= static_cast<std::size_t>(files), "no more files than there are");
  for (std::size_t i = 0; i < from.files.size(); ++i)
    check(from.files[i] == nameOf(static_cast<int>(i)), "files in letter order from the first");
  check(from.chart.samples() <= from.files.size() * store::kMaxSamples, "samples within files");
  for (std::size_t i = 0; i < from.files.size(); ++i) {
    const app::WholeUpload again = app::readWholeUpload(reader, "/d", from.files[i]);
    check(again.files == from.files && again.chart.samples() == from.chart.samples(),
          "the same series from each of its files");
  }
  return 0;
}
