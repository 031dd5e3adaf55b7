#include "app/settings_files.h"

#include <charconv>

#include "view/stats.h"

namespace kestrand::app {
namespace {

std::string pathOf(const std::string& dataPath, std::string_view name) {
  return platform::joinPath(dataPath, std::string(name));
}

}  // namespace

std::optional<double> readReferenceLevel(const platform::FileSystem& fs,
                                         const std::string& dataPath) {
  try {
    return view::parseReferenceLevel(
        fs.readHead(pathOf(dataPath, kReferenceSettingsFile), platform::kSettingsFileBytes));
  } catch (const Error&) {
    return std::nullopt;
  }
}

void saveReferenceLevel(platform::FileSystem& fs, const std::string& dataPath,
                        std::optional<double> level) {
  // std::to_chars with a precision writes as "%.7g" does, in the C form whatever the locale.
  char buf[32];
  char* end = buf;
  if (level) end = std::to_chars(buf, buf + sizeof buf, *level, std::chars_format::general, 7).ptr;
  fs.writeAll(pathOf(dataPath, kReferenceSettingsFile), std::string(buf, end) + "\r\n");
}

}  // namespace kestrand::app
