// libFuzzer target: the notes reader on arbitrary file contents, then saving what it read. Only
// kestrand::Error may come out. Notes that are refused are left byte for byte, also by a save
// and a clearing; notes that were read come back the same once saved.

#include <cstdint>

#include "fuzz/check.h"
#include "store/notes.h"
#include "tests/fakes/memory_file_system.h"

namespace {

using namespace kestrand;

using kestrand::fuzz::check;

const std::string kData = "/d/q.dat", kNotes = "/d/q.notes";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ports::fake::MemoryFileSystem fs;
  const std::string content(reinterpret_cast<const char*>(data), size);
  fs.files[kData] = "raw";
  fs.files[kNotes] = content;
  store::Notes read;
  try {
    read = store::readNotes(fs, kData);
  } catch (const Error&) {
    for (const store::Notes& change : {store::Notes{"x", "", ""}, store::Notes{}}) {
      try {
        store::writeNotes(fs, kData, change);
        check(false, "refused notes saved");
      } catch (const Error&) {
      }
    }
    check(fs.files.at(kNotes) == content, "refused notes left as they are");
    return 0;
  }
  try {
    store::writeNotes(fs, kData, read);
  } catch (const Error&) {
    return 0;  // too long for their file once written as UTF-8
  }
  check(store::readNotes(fs, kData) == read, "saved notes read back the same");
  return 0;
}
