#pragma once
// The user's date and time display formats: the check marks of the "&Date Format" and
// "&Time Format" menus and their one-line settings files in the data directory.

#include <array>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/main_view.h"

namespace kestrand::datetime {

struct FormatMenuItem {
  std::string_view name;  // menu control name
  std::string_view caption;
};

// mnuDate1..mnuDate9 and Time1, Time2, Time3, time4, with their captions.
extern const std::array<FormatMenuItem, 9> kDateMenu;
extern const std::array<FormatMenuItem, 4> kTimeMenu;

inline constexpr std::string_view kDateSettingsFile = "riviriro_date.inf";
inline constexpr std::string_view kTimeSettingsFile = "riviriro_time.inf";

class FormatPreferences {
 public:
  // `view` may be null (the headless receiver has no menus).
  FormatPreferences(platform::FileSystem& fs, platform::MainView* view, std::string dataPath);

  // Read the settings files at start, set the check marks; a missing, empty or unreadable file
  // gives the default (date 3, time 1) and is written with it. Write failures are thrown.
  void GetDefault2();
  void GetDefault3();

  // A click on date item k (1..9) or time item k (1..4): moves the check mark and saves, unless
  // the item is already checked.
  void dateClicked(int k);
  void timeClicked(int k);

  int dateChoice() const { return date_; }
  int timeChoice() const { return time_; }

 private:
  platform::FileSystem& fs_;
  platform::MainView* view_;
  std::string dataPath_;
  int date_ = 3;
  int time_ = 1;
};

}  // namespace kestrand::datetime
