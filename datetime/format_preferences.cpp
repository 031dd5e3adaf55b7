#include "datetime/format_preferences.h"

#include <cstddef>
#include <utility>

#include "platform/error.h"

namespace kestrand::datetime {

const std::array<FormatMenuItem, 9> kDateMenu = {{
    {"mnuDate1", "M/d/yy"},
    {"mnuDate2", "M/d/yyyy"},
    {"mnuDate3", "MM/dd/yy"},
    {"mnuDate4", "MM/dd/yyyy"},
    {"mnuDate5", "yy/MM/dd"},
    {"mnuDate6", "yyyy/MM/dd"},
    {"mnuDate7", "dd-MMM-yy"},
    {"mnuDate8", "dd/MM/yy"},
    {"mnuDate9", "dd/MM/yyyy"},
}};

const std::array<FormatMenuItem, 4> kTimeMenu = {{
    {"Time1", "h:mm:ss       AM/PM"},
    {"Time2", "hh:mm:ss     AM/PM"},
    {"Time3", "h:mm:ss"},
    {"time4", "hh:mm:ss"},
}};

namespace {

constexpr int kDefaultDate = 3;
constexpr int kDefaultTime = 1;

// The first item of the first line of a settings file: the text up to the first comma or the
// end of the line. Throws when the file cannot be read or holds nothing.
std::string readFirstItem(const platform::FileSystem& fs, const std::string& path) {
  const std::string content = fs.readAll(path);
  if (content.empty()) throw Error(ErrorKind::kEndOfFile, "Input past end of file: " + path);
  const std::size_t end = content.find_first_of(",\r\n");
  return content.substr(0, end);
}

void writeChoice(platform::FileSystem& fs, const std::string& path, int choice) {
  fs.writeAll(path, std::to_string(choice) + "\r\n");
}

// Puts the check mark on item `choice` (1-based) and takes it off the others, in menu order.
template <std::size_t N>
void moveCheck(platform::MainView* view, const std::array<FormatMenuItem, N>& menu, int choice) {
  if (view == nullptr) return;
  view->setChecked(std::string(menu[static_cast<std::size_t>(choice - 1)].name), 0, true);
  for (std::size_t i = 0; i < N; ++i) {
    if (static_cast<int>(i) + 1 != choice) view->setChecked(std::string(menu[i].name), 0, false);
  }
}

template <std::size_t N>
void clearChecks(platform::MainView* view, const std::array<FormatMenuItem, N>& menu) {
  if (view == nullptr) return;
  for (const auto& item : menu) view->setChecked(std::string(item.name), 0, false);
}

template <std::size_t N>
void check(platform::MainView* view, const std::array<FormatMenuItem, N>& menu, int choice) {
  if (view != nullptr) {
    view->setChecked(std::string(menu[static_cast<std::size_t>(choice - 1)].name), 0, true);
  }
}

}  // namespace

FormatPreferences::FormatPreferences(platform::FileSystem& fs, platform::MainView* view,
                                     std::string dataPath)
    : fs_(fs), view_(view), dataPath_(std::move(dataPath)) {}

void FormatPreferences::GetDefault2() {
  clearChecks(view_, kDateMenu);
  const std::string path = platform::joinPath(dataPath_, std::string(kDateSettingsFile));
  std::string item;
  try {
    item = readFirstItem(fs_, path);
  } catch (const Error&) {
    date_ = kDefaultDate;
    check(view_, kDateMenu, date_);
    writeChoice(fs_, path, date_);
    return;
  }
  // Only the exact digit of a choice counts; anything else means the default, and the file is
  // left as it is.
  date_ = kDefaultDate;
  for (int k = 1; k <= static_cast<int>(kDateMenu.size()); ++k) {
    if (item == std::to_string(k)) date_ = k;
  }
  check(view_, kDateMenu, date_);
}

void FormatPreferences::GetDefault3() {
  clearChecks(view_, kTimeMenu);
  const std::string path = platform::joinPath(dataPath_, std::string(kTimeSettingsFile));
  std::string item;
  try {
    item = readFirstItem(fs_, path);
  } catch (const Error&) {
    time_ = kDefaultTime;
    check(view_, kTimeMenu, time_);
    writeChoice(fs_, path, time_);
    return;
  }
  time_ = kDefaultTime;
  for (int k = 2; k <= static_cast<int>(kTimeMenu.size()); ++k) {
    if (item == std::to_string(k)) time_ = k;
  }
  check(view_, kTimeMenu, time_);
}

// The choice number mirrors the check mark: after start-up exactly the chosen item is checked,
// and only these handlers move the mark. A failed write leaves the mark moved and is thrown to
// the caller to report.
void FormatPreferences::dateClicked(int k) {
  if (k < 1 || k > static_cast<int>(kDateMenu.size())) return;
  if (k == date_) return;
  date_ = k;
  moveCheck(view_, kDateMenu, k);
  writeChoice(fs_, platform::joinPath(dataPath_, std::string(kDateSettingsFile)), k);
}

void FormatPreferences::timeClicked(int k) {
  if (k < 1 || k > static_cast<int>(kTimeMenu.size())) return;
  if (k == time_) return;
  time_ = k;
  moveCheck(view_, kTimeMenu, k);
  writeChoice(fs_, platform::joinPath(dataPath_, std::string(kTimeSettingsFile)), k);
}

}  // namespace kestrand::datetime
