#pragma once
#include <string>

namespace kestrand {

inline constexpr int kVersionMajor = 3;
inline constexpr int kVersionMinor = 2;
inline constexpr int kVersionRevision = 15;

inline std::string versionText() {
  return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
         std::to_string(kVersionRevision);
}

}  // namespace kestrand
