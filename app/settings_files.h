#pragma once
// The program's one-line settings files in the data directory that the logic above the formats
// keeps: the port ("riviriro.inf") and the chart's reference level ("riviriro_ref.inf"). Each is
// read no further than a few hundred bytes and written whole through FileSystem::writeAll, so a
// failure leaves the old file as it was.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace kestrand::app {

inline constexpr std::string_view kPortSettingsFile = "riviriro.inf";
inline constexpr std::string_view kReferenceSettingsFile = "riviriro_ref.inf";

// The port number the port file holds: its first integer, blanks ignored. Nullopt when the file
// is missing, empty, unreadable or holds no number.
std::optional<std::int16_t> readPortSetting(const platform::FileSystem& fs,
                                            const std::string& dataPath);
// The port number with the blank of its sign, and CR LF. Throws kestrand::Error.
void savePortSetting(platform::FileSystem& fs, const std::string& dataPath, std::int16_t port);

// The level the reference file holds; nullopt when the file is missing, empty, unreadable or
// holds no level.
std::optional<double> readReferenceLevel(const platform::FileSystem& fs,
                                         const std::string& dataPath);
// The level ("%.7g" in the C form) and CR LF, or an empty line for no level. Throws
// kestrand::Error.
void saveReferenceLevel(platform::FileSystem& fs, const std::string& dataPath,
                        std::optional<double> level);

}  // namespace kestrand::app
