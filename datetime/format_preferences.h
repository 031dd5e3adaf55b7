#pragma once
// The user's date and time display formats: the choices behind the check marks of the
// "&Date Format" and "&Time Format" menus, and their one-line settings files in the data
// directory.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "ports/file_system.h"

namespace kestrand::datetime {

inline constexpr int kDateFormats = 9;
inline constexpr int kTimeFormats = 4;

inline constexpr std::string_view kDateSettingsFile = "riviriro_date.inf";
inline constexpr std::string_view kTimeSettingsFile = "riviriro_time.inf";

// What reading or choosing a format comes to.
struct FormatChange {
  // The menu's check marks, item 1 first; empty when the marks stay as they are.
  std::vector<bool> checks;
  // The settings file could not be written; the choice and the marks have moved all the same.
  std::optional<Error> unsaved;
};

class FormatPreferences {
 public:
  FormatPreferences(ports::FileSystem& fs, std::string dataPath);

  // Read the settings files at start: exactly the chosen item is checked. A missing, empty or
  // unreadable file gives the default (date 3, time 1) and is written with it, unless the
  // files are only read.
  FormatChange GetDefault2();
  FormatChange GetDefault3();

  // A click on date item k (1..9) or time item k (1..4): moves the check mark and saves,
  // unless the item is already checked.
  FormatChange dateClicked(int k);
  FormatChange timeClicked(int k);

  // Commands that only read take the files as they find them: the defaults stay in memory and
  // no settings file is ever created or changed.
  void onlyRead() { writes_ = false; }

  int dateChoice() const { return date_; }
  int timeChoice() const { return time_; }

 private:
  ports::FileSystem& fs_;
  std::string dataPath_;
  int date_ = 3;
  int time_ = 1;
  bool writes_ = true;
};

}  // namespace kestrand::datetime
