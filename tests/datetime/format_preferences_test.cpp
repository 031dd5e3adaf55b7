#include "datetime/format_preferences.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/fake/fakes.h"
#include "platform/posix/posix_file_system.h"

namespace kestrand::datetime {
namespace {

using Items = std::vector<std::string>;
const Items kDateItems = {"mnuDate1", "mnuDate2", "mnuDate3", "mnuDate4", "mnuDate5",
                          "mnuDate6", "mnuDate7", "mnuDate8", "mnuDate9"};
const Items kTimeItems = {"Time1", "Time2", "Time3", "time4"};

using View = platform::fake::FakeMainView;

// The items of `items` that carry a check mark.
Items checkedOf(const View& view, const Items& items) {
  Items result;
  for (const auto& name : items) {
    if (view.checked(name, 0)) result.push_back(name);
  }
  return result;
}

// A fresh data directory on disk for each test.
class FormatPreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kestrand-datetime-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string read(std::string_view name) const {
    std::ifstream in(dir / name, std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void put(std::string_view name, const std::string& content) const {
    std::ofstream(dir / name, std::ios::binary) << content;
  }
  FormatPreferences started(View* v) {
    FormatPreferences prefs(fs, v, dir.string());
    prefs.GetDefault2();
    prefs.GetDefault3();
    return prefs;
  }

  std::filesystem::path dir;
  platform::posix::PosixFileSystem fs{"/tmp"};
  View view;
};

TEST_F(FormatPreferencesTest, SettingsFilesAreReadExactlyAndOnlyWrittenWhenMissingOrEmpty) {
  // What a settings file holds (null: no file) and the choice it gives. Only the default is
  // ever written, and only over a missing or empty file.
  using Case = std::pair<const char*, int>;
  const Case dates[] = {{nullptr, 3},    {"", 3},       {"3\r\n", 3},   {"garbage\r\n", 3},
                        {"1\r\n", 1},    {"2", 2},      {"7,x\r\n", 7}, {"9\r\n8\r\n", 9},
                        {"0\r\n", 3},    {"10\r\n", 3}, {" 5\r\n", 3},  {"05\r\n", 3},
                        {"\r\n5\r\n", 3}};
  const Case times[] = {{nullptr, 1},   {"", 1},      {"3\r\n", 3},
                        {"4,1\r\n", 4}, {"5\r\n", 1}, {"02\r\n", 1}};
  for (bool date : {true, false}) {
    const auto name = date ? kDateSettingsFile : kTimeSettingsFile;
    const Items& items = date ? kDateItems : kTimeItems;
    for (const auto& [content, choice] : date ? std::span<const Case>(dates) : times) {
      SCOPED_TRACE(::testing::Message() << name << " holding " << (content ? content : "nothing"));
      std::filesystem::remove(dir / name);
      if (content) put(name, content);
      View v;  // every mark set beforehand: start clears them all but one
      for (const auto& item : items) v.setChecked(item, 0, true);
      FormatPreferences prefs(fs, &v, dir.string() + (date ? "" : "/"));
      date ? prefs.GetDefault2() : prefs.GetDefault3();
      EXPECT_EQ(date ? prefs.dateChoice() : prefs.timeChoice(), choice);
      EXPECT_EQ(checkedOf(v, items), Items{items.at(choice - 1)});
      EXPECT_EQ(read(name), content && *content ? content : std::to_string(choice) + "\r\n");
    }
  }
}

TEST_F(FormatPreferencesTest, ClickMovesTheMarkAndSavesUnlessAlreadyChecked) {
  FormatPreferences prefs = started(&view);
  prefs.dateClicked(7);
  prefs.timeClicked(4);
  EXPECT_EQ(prefs.dateChoice(), 7);
  EXPECT_EQ(checkedOf(view, kDateItems), Items{"mnuDate7"});
  EXPECT_EQ(checkedOf(view, kTimeItems), Items{"time4"});
  EXPECT_EQ(read(kDateSettingsFile), "7\r\n");
  EXPECT_EQ(read(kTimeSettingsFile), "4\r\n");

  // A click on the checked item touches neither the marks nor the file.
  view.setChecked("mnuDate1", 0, true);
  put(kDateSettingsFile, "changed elsewhere");
  prefs.dateClicked(7);
  EXPECT_EQ(checkedOf(view, kDateItems), (Items{"mnuDate1", "mnuDate7"}));
  EXPECT_EQ(read(kDateSettingsFile), "changed elsewhere");
}

TEST_F(FormatPreferencesTest, WriteFailuresAreThrown) {
  FormatPreferences missingDir(fs, &view, (dir / "no-such-dir").string());
  EXPECT_THROW(missingDir.GetDefault2(), Error);
  EXPECT_THROW(missingDir.GetDefault3(), Error);
  EXPECT_EQ(checkedOf(view, kDateItems), Items{"mnuDate3"});  // checked before the write

  FormatPreferences prefs = started(nullptr);
  std::filesystem::remove(dir / "riviriro_time.inf");
  std::filesystem::create_directory(dir / "riviriro_time.inf");
  EXPECT_THROW(prefs.timeClicked(2), Error);
  EXPECT_EQ(prefs.timeChoice(), 2);  // the choice has moved though it was not saved
}

}  // namespace
}  // namespace kestrand::datetime
