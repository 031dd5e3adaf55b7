#include "store/sample_clock.h"

#include <cmath>

namespace kestrand::store {

std::int64_t wholeSeconds(double elapsed) {
  return static_cast<std::int64_t>(std::nearbyint(elapsed));
}

}  // namespace kestrand::store
