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

#include "platform/posix/posix_file_system.h"

namespace kestrand::datetime {
namespace {

// The check marks of a menu of `items` with item `choice` checked.
std::vector<bool> only(int items, int choice) {
  std::vector<bool> marks(static_cast<size_t>(items), false);
  marks.at(static_cast<size_t>(choice - 1)) = true;
  return marks;
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
  FormatPreferences started() {
    FormatPreferences prefs(fs, dir.string());
    prefs.GetDefault2();
    prefs.GetDefault3();
    return prefs;
  }

  std::filesystem::path dir;
  platform::posix::PosixFileSystem fs{"/tmp"};
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
    for (const auto& [content, choice] : date ? std::span<const Case>(dates) : times) {
      SCOPED_TRACE(::testing::Message() << name << " holding " << (content ? content : "nothing"));
      std::filesystem::remove(dir / name);
      if (content) put(name, content);
      FormatPreferences prefs(fs, dir.string() + (date ? "" : "/"));
      const FormatChange change = date ? prefs.GetDefault2() : prefs.GetDefault3();
      EXPECT_EQ(date ? prefs.dateChoice() : prefs.timeChoice(), choice);
      EXPECT_EQ(change.checks, only(date ? 9 : 4, choice));
      EXPECT_FALSE(change.unsaved);
      EXPECT_EQ(read(name), content && *content ? content : std::to_string(choice) + "\r\n");
    }
  }
}

TEST_F(FormatPreferencesTest, ClickMovesTheMarkAndSavesUnlessAlreadyChecked) {
  FormatPreferences prefs = started();
  EXPECT_EQ(prefs.dateClicked(7).checks, only(9, 7));
  EXPECT_EQ(prefs.timeClicked(4).checks, only(4, 4));
  EXPECT_EQ(prefs.dateChoice(), 7);
  EXPECT_EQ(read(kDateSettingsFile), "7\r\n");
  EXPECT_EQ(read(kTimeSettingsFile), "4\r\n");

  // A click on the checked item touches neither the marks nor the file.
  put(kDateSettingsFile, "changed elsewhere");
  EXPECT_TRUE(prefs.dateClicked(7).checks.empty());
  EXPECT_EQ(read(kDateSettingsFile), "changed elsewhere");
}

TEST_F(FormatPreferencesTest, WriteFailuresComeAfterTheMarksHaveMoved) {
  FormatPreferences missingDir(fs, (dir / "no-such-dir").string());
  const FormatChange date = missingDir.GetDefault2();
  EXPECT_TRUE(date.unsaved);
  EXPECT_EQ(date.checks, only(9, 3));
  EXPECT_TRUE(missingDir.GetDefault3().unsaved);

  FormatPreferences prefs = started();
  std::filesystem::remove(dir / "riviriro_time.inf");
  std::filesystem::create_directory(dir / "riviriro_time.inf");
  const FormatChange c = prefs.timeClicked(2);
  EXPECT_TRUE(c.unsaved);
  EXPECT_EQ(c.checks, only(4, 2));
  EXPECT_EQ(prefs.timeChoice(), 2);  // the choice has moved though it was not saved
}

}  // namespace
}  // namespace kestrand::datetime
