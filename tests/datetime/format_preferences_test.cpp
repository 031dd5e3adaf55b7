#include "datetime/format_preferences.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "tests/fakes/memory_file_system.h"

namespace kestrand::datetime {
namespace {

// The check marks of a menu of `items` with item `choice` checked.
std::vector<bool> only(int items, int choice) {
  std::vector<bool> marks(static_cast<size_t>(items), false);
  marks.at(static_cast<size_t>(choice - 1)) = true;
  return marks;
}

TEST(FormatPreferences, SettingsFilesAreReadExactlyBoundedAndOnlyWrittenWhenMissingOrEmpty) {
  // What a settings file holds (null: no file) and the choice it gives. Only the default is
  // ever written, only over a missing or empty file, and never when the files are only read.
  using Case = std::pair<const char*, int>;
  const std::string huge = "1" + std::string(1 << 20, '1') + "\r\n";
  const Case dates[] = {{nullptr, 3},     {"", 3},          {"3\r\n", 3},   {"garbage\r\n", 3},
                        {"1\r\n", 1},     {"2", 2},         {"7,x\r\n", 7}, {"9\r\n8\r\n", 9},
                        {"0\r\n", 3},     {"10\r\n", 3},    {" 5\r\n", 3},  {"05\r\n", 3},
                        {"\r\n5\r\n", 3}, {huge.c_str(), 3}};
  const Case times[] = {{nullptr, 1},   {"", 1},      {"3\r\n", 3},
                        {"4,1\r\n", 4}, {"5\r\n", 1}, {"02\r\n", 1}};
  for (bool date : {true, false}) {
    const std::string path = "/d/" + std::string(date ? kDateSettingsFile : kTimeSettingsFile);
    for (const auto& [content, choice] : date ? std::span<const Case>(dates) : times) {
      for (bool onlyRead : {false, true}) {
        SCOPED_TRACE(::testing::Message() << path << " holding " << (content ? content : "-"));
        ports::fake::MemoryFileSystem fs;
        if (content) fs.files[path] = content;
        FormatPreferences prefs(fs, date ? "/d" : "/d/");
        if (onlyRead) prefs.onlyRead();
        const FormatChange change = date ? prefs.GetDefault2() : prefs.GetDefault3();
        EXPECT_EQ(date ? prefs.dateChoice() : prefs.timeChoice(), choice);
        EXPECT_EQ(change.checks, only(date ? 9 : 4, choice));
        EXPECT_LE(fs.bytesRead, 256u);
        const std::string written = content && *content ? content
                                    : onlyRead          ? (content ? "" : "-")
                                                        : std::to_string(choice) + "\r\n";
        EXPECT_EQ(fs.files.count(path) ? fs.files[path] : "-", written);
      }
    }
  }
}

TEST(FormatPreferences, ClickMovesTheMarkAndSavesUnlessCheckedOrOnlyReading) {
  ports::fake::MemoryFileSystem fs;
  FormatPreferences prefs(fs, "/d");
  prefs.GetDefault2();
  prefs.GetDefault3();
  EXPECT_EQ(prefs.dateClicked(7).checks, only(9, 7));
  EXPECT_EQ(prefs.timeClicked(4).checks, only(4, 4));
  EXPECT_EQ(fs.files["/d/riviriro_date.inf"] + fs.files["/d/riviriro_time.inf"], "7\r\n4\r\n");

  // A click on the checked item touches neither the marks nor the file.
  fs.files["/d/riviriro_date.inf"] = "changed elsewhere";
  EXPECT_TRUE(prefs.dateClicked(7).checks.empty());
  // A write that fails comes after the marks have moved.
  fs.refuseCreate.insert("/d/riviriro_time.inf");
  const FormatChange c = prefs.timeClicked(2);
  EXPECT_TRUE(c.unsaved);
  EXPECT_EQ(c.checks, only(4, 2));
  EXPECT_EQ(prefs.timeChoice(), 2);
  prefs.onlyRead();
  EXPECT_EQ(prefs.dateClicked(1).checks, only(9, 1));
  EXPECT_EQ(fs.files["/d/riviriro_date.inf"], "changed elsewhere");
}

}  // namespace
}  // namespace kestrand::datetime
