// libFuzzer target: the raw data file's field reader on arbitrary file contents.
//
// Input: the first byte n gives the length of a type plan, (n % 16) + 1 bytes that follow; the
// rest is the file content. Fields are read in the order of the plan (each plan byte % 5 picks
// text, 16-bit integer, 32-bit integer, single or double) until the end or a failed read. Only
// kestrand::Error may come out of the reader; every read must move the position forward inside
// the content, and a read at the end must fail with the end-of-file error.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/error.h"
#include "store/field_reader.h"

namespace {

[[noreturn]] void violated(const char* what) {
  std::fprintf(stderr, "field_reader_fuzz: invariant violated: %s\n", what);
  std::abort();
}

void readOne(kestrand::store::FieldReader& r, std::uint8_t kind) {
  if (kind % 5 == 0) (void)r.readText();
  if (kind % 5 == 1) (void)r.readInt16();
  if (kind % 5 == 2) (void)r.readInt32();
  if (kind % 5 == 3) (void)r.readSingle();
  if (kind % 5 == 4) (void)r.readDouble();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t planLength = std::min<std::size_t>(data[0] % 16u + 1u, size - 1);
  const std::string_view content(reinterpret_cast<const char*>(data + 1 + planLength),
                                 size - 1 - planLength);
  kestrand::store::FieldReader reader(content);
  bool atEnd = false;
  try {
    for (std::size_t step = 0; !reader.atEnd(); ++step) {
      const std::size_t before = reader.position();
      readOne(reader, data[1 + step % planLength]);
      if (reader.position() <= before || reader.position() > content.size())
        violated("a read did not move forward inside the content");
    }
    atEnd = true;
    readOne(reader, static_cast<std::uint8_t>(size));
    violated("a read past the end succeeded");
  } catch (const kestrand::Error& e) {
    if (atEnd && !e.is(kestrand::ErrorKind::kEndOfFile))
      violated("a read past the end failed wrongly");
  }
  return 0;
}
