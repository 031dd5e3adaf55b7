#include "datetime/format_preferences.h"

#include <cstddef>
#include <utility>

namespace kestrand::datetime {
namespace {

constexpr int kDefaultDate = 3;
constexpr int kDefaultTime = 1;

// The first item of the first line of a settings file: the text up to the first comma or the
// end of the line. Throws when the file cannot be read or holds nothing.
std::string readFirstItem(const ports::FileSystem& fs, const std::string& path) {
  const std::string content = fs.readHead(path, ports::kSettingsFileBytes);
  if (content.empty()) throw Error(ErrorKind::kEndOfFile, "Input past end of file: " + path);
  const std::size_t end = content.find_first_of(",\r\n");
  return content.substr(0, end);
}

// Item `choice` (1-based) of a menu of `items` checked, the others clear; the settings file
// written with the choice when `save` is set.
FormatChange chosen(int items, int choice, bool save, ports::FileSystem& fs,
                    const std::string& path) {
  FormatChange change;
  for (int k = 1; k <= items; ++k) change.checks.push_back(k == choice);
  if (!save) return change;
  try {
    fs.writeAll(path, std::to_string(choice) + "\r\n");
  } catch (const Error& e) {
    change.unsaved = e;
  }
  return change;
}

// The choice a settings file holds: only the exact digit of a choice from `first` to `items`
// counts, anything else means `fallback`. Throws when the file cannot be read.
int readChoice(const ports::FileSystem& fs, const std::string& path, int first, int items,
               int fallback) {
  const std::string item = readFirstItem(fs, path);
  for (int k = first; k <= items; ++k) {
    if (item == std::to_string(k)) return k;
  }
  return fallback;
}

}  // namespace

FormatPreferences::FormatPreferences(ports::FileSystem& fs, std::string dataPath)
    : fs_(fs), dataPath_(std::move(dataPath)) {}

FormatChange FormatPreferences::GetDefault2() {
  const std::string path = ports::joinPath(dataPath_, std::string(kDateSettingsFile));
  bool read = true;
  try {
    date_ = readChoice(fs_, path, 1, kDateFormats, kDefaultDate);
  } catch (const Error&) {
    date_ = kDefaultDate;
    read = false;
  }
  // A file that was read is left as it is, even when it held no valid choice.
  return chosen(kDateFormats, date_, !read && writes_, fs_, path);
}

FormatChange FormatPreferences::GetDefault3() {
  const std::string path = ports::joinPath(dataPath_, std::string(kTimeSettingsFile));
  bool read = true;
  try {
    // "1" is the default already; the items are compared from 2 on.
    time_ = readChoice(fs_, path, 2, kTimeFormats, kDefaultTime);
  } catch (const Error&) {
    time_ = kDefaultTime;
    read = false;
  }
  return chosen(kTimeFormats, time_, !read && writes_, fs_, path);
}

// The choice number mirrors the check mark: after start-up exactly the chosen item is checked,
// and only these handlers move the mark. A failed write leaves the mark moved.
FormatChange FormatPreferences::dateClicked(int k) {
  if (k < 1 || k > kDateFormats || k == date_) return {};
  date_ = k;
  return chosen(kDateFormats, k, writes_, fs_,
                ports::joinPath(dataPath_, std::string(kDateSettingsFile)));
}

FormatChange FormatPreferences::timeClicked(int k) {
  if (k < 1 || k > kTimeFormats || k == time_) return {};
  time_ = k;
  return chosen(kTimeFormats, k, writes_, fs_,
                ports::joinPath(dataPath_, std::string(kTimeSettingsFile)));
}

}  // namespace kestrand::datetime
