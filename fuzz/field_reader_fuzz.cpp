// libFuzzer target: the raw data file's field reader on arbitrary file contents.
//
// Input: the first byte n gives the length of a type plan, (n % 16) + 1 bytes that follow; the
// rest is the file content. Fields are read in the order of the plan, over and over (each plan
// byte % 5 picks text, 16-bit integer, 32-bit integer, single or double), until the reader is
// at its end or a read fails. Only kestrand::Error may come out of the reader; anything else
// escapes and is reported as a crash.
//
// Checks beyond the sanitizers: every successful read moves the position forward (a reader
// loop can then never hang) and keeps it inside the content; a read past the end fails with the
// end-of-file error.

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
  switch (kind % 5) {
    case 0:
      (void)r.readText();
      break;
    case 1:
      (void)r.readInt16();
      break;
    case 2:
      (void)r.readInt32();
      break;
    case 3:
      (void)r.readSingle();
      break;
    default:
      (void)r.readDouble();
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::size_t planLength = data[0] % 16u + 1u;
  if (planLength > size - 1) planLength = size - 1;
  const std::uint8_t* plan = data + 1;
  const std::string_view content(reinterpret_cast<const char*>(data + 1 + planLength),
                                 size - 1 - planLength);
  if (planLength == 0) return 0;

  kestrand::store::FieldReader reader(content);
  std::size_t step = 0;
  try {
    while (!reader.atEnd()) {
      const std::size_t before = reader.position();
      readOne(reader, plan[step % planLength]);
      ++step;
      if (reader.position() <= before) violated("a read did not move the position forward");
      if (reader.position() > content.size()) violated("the position ran past the content");
    }
  } catch (const kestrand::Error&) {
    return 0;  // a field that is no number of its type, or a number too large for it
  }

  // At the end, one more field of each type fails with the end-of-file error.
  for (std::uint8_t kind = 0; kind < 5; ++kind) {
    try {
      readOne(reader, kind);
      violated("a read past the end succeeded");
    } catch (const kestrand::Error& e) {
      if (!e.is(kestrand::ErrorKind::kEndOfFile)) violated("a read past the end failed wrongly");
    }
  }
  return 0;
}
