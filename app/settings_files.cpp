#include "app/settings_files.h"

#include <algorithm>
#include <charconv>

#include "view/stats.h"

namespace kestrand::app {
namespace {

std::string pathOf(const std::string& dataPath, std::string_view name) {
  return ports::joinPath(dataPath, std::string(name));
}

}  // namespace

std::optional<double> readReferenceLevel(const ports::FileSystem& fs, const std::string& dataPath) {
  try {
    return view::parseReferenceLevel(
        fs.readHead(pathOf(dataPath, kReferenceSettingsFile), ports::kSettingsFileBytes));
  } catch (const Error&) {
    return std::nullopt;
  }
}

void saveReferenceLevel(ports::FileSystem& fs, const std::string& dataPath,
                        std::optional<double> level) {
  // std::to_chars with a precision writes as "%.7g" does, in the C form whatever the locale.
  char buf[32];
  char* end = buf;
  if (level) end = std::to_chars(buf, buf + sizeof buf, *level, std::chars_format::general, 7).ptr;
  fs.writeAll(pathOf(dataPath, kReferenceSettingsFile), std::string(buf, end) + "\r\n");
}

AssessmentChoice readAssessmentChoice(const ports::FileSystem& fs, const std::string& dataPath) {
  std::string text;
  try {
    text = fs.readHead(pathOf(dataPath, kAssessmentSettingsFile), ports::kSettingsFileBytes);
  } catch (const Error&) {
    return {};
  }
  // A line without its CR LF (or LF) ending is taken as it is.
  const auto line = [&text](std::size_t& at) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string l = text.substr(at, end - at);
    if (!l.empty() && l.back() == '\r') l.pop_back();
    at = std::min(end + 1, text.size());
    return l;
  };
  std::size_t at = 0;
  AssessmentChoice choice;
  choice.standard = line(at);
  choice.frequency = line(at);
  choice.uncertainty = line(at);
  return choice;
}

void saveAssessmentChoice(ports::FileSystem& fs, const std::string& dataPath,
                          const AssessmentChoice& choice) {
  fs.writeAll(pathOf(dataPath, kAssessmentSettingsFile),
              choice.standard + "\r\n" + choice.frequency + "\r\n" + choice.uncertainty + "\r\n");
}

}  // namespace kestrand::app
