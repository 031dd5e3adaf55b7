#pragma once
// What the fuzz targets share: an invariant that breaks stops the run, so that libFuzzer keeps
// the input that broke it.

#include <cstdio>
#include <cstdlib>

namespace kestrand::fuzz {

inline void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "invariant violated: %s\n", what);
  std::abort();
}

}  // namespace kestrand::fuzz
