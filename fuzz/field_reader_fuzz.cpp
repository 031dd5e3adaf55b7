// libFuzzer target: the raw data file's field reader on arbitrary content (the bytes after the
// first), read as fields of the kinds the first byte picks in turn: text, 16-bit, 32-bit,
// single; its top bit marks the content as cut short of the file. Only kestrand::Error
// may come out; every read moves forward inside the content; a read fails with the end-of-file
// error exactly when no field is left.

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view content(reinterpret_cast<const char*>(data + 1), size - 1);
  kestrand::store::FieldReader r(content, (data[0] & 0x80) != 0);
  for (unsigned kind = data[0];; ++kind) {
    const bool atEnd = r.atEnd();
    const std::size_t before = r.position();
    try {
      if (kind % 4 == 0) (void)r.readText();
      if (kind % 4 == 1) (void)r.readInt16();
      if (kind % 4 == 2) (void)r.readInt32();
      if (kind % 4 == 3) (void)r.readSingle();
    } catch (const kestrand::Error& e) {
      if (atEnd != e.is(kestrand::ErrorKind::kEndOfFile)) violated("end of file told wrongly");
      return 0;
    }
    if (atEnd) violated("a read past the end succeeded");
    if (r.position() <= before || r.position() > content.size())
      violated("a read did not move forward inside the content");
  }
}
