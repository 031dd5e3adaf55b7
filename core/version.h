#pragma once
#include <string>

// kVersionMajor, kVersionMinor and kVersionRevision, generated into the build tree from the
// version in the top-level CMakeLists.txt.
#include "core/version_number.h"

namespace kestrand {

inline std::string versionText() {
  return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
         std::to_string(kVersionRevision);
}

}  // namespace kestrand
