#include "datetime/format_preferences.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
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

// A main window that also keeps the order of the check-mark changes.
class RecordingView : public platform::fake::FakeMainView {
 public:
  void setChecked(const std::string& item, int index, bool on) override {
    log.emplace_back(item, index, on);
    FakeMainView::setChecked(item, index, on);
  }
  Items checkedOf(const Items& items) const {
    Items result;
    for (const auto& name : items) {
      if (checked(name, 0)) result.push_back(name);
    }
    return result;
  }
  std::vector<std::tuple<std::string, int, bool>> log;
};

// A fresh data directory on disk for each test.
class FormatPreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kestrand-datetime-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string read(const char* name) const {
    std::ifstream in(dir / name, std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void put(const char* name, const std::string& content) const {
    std::ofstream(dir / name, std::ios::binary) << content;
  }
  FormatPreferences started(RecordingView* v) {
    FormatPreferences prefs(fs, v, dir.string());
    prefs.GetDefault2();
    prefs.GetDefault3();
    return prefs;
  }

  std::filesystem::path dir;
  platform::posix::PosixFileSystem fs{"/tmp"};
  RecordingView view;
};

TEST(FormatMenus, NamesAndCaptions) {
  const char* captions[] = {"M/d/yy",     "M/d/yyyy",  "MM/dd/yy", "MM/dd/yyyy", "yy/MM/dd",
                            "yyyy/MM/dd", "dd-MMM-yy", "dd/MM/yy", "dd/MM/yyyy"};
  for (std::size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(kDateMenu[i].name, kDateItems[i]);
    EXPECT_EQ(kDateMenu[i].caption, captions[i]);
  }
  const char* timeCaptions[] = {"h:mm:ss       AM/PM", "hh:mm:ss     AM/PM", "h:mm:ss", "hh:mm:ss"};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(kTimeMenu[i].name, kTimeItems[i]);
    EXPECT_EQ(kTimeMenu[i].caption, timeCaptions[i]);
  }
}

TEST_F(FormatPreferencesTest, FirstStartChecksTheDefaultsAndWritesBothFiles) {
  FormatPreferences prefs = started(&view);
  EXPECT_EQ(prefs.dateChoice(), 3);
  EXPECT_EQ(prefs.timeChoice(), 1);
  EXPECT_EQ(view.checkedOf(kDateItems), Items{"mnuDate3"});
  EXPECT_EQ(view.checkedOf(kTimeItems), Items{"Time1"});
  EXPECT_EQ(read("riviriro_date.inf"), "3\r\n");
  EXPECT_EQ(read("riviriro_time.inf"), "1\r\n");
}

TEST_F(FormatPreferencesTest, EmptyFilesAreTreatedAsMissing) {
  put("riviriro_date.inf", "");
  put("riviriro_time.inf", "");
  FormatPreferences prefs = started(nullptr);
  EXPECT_EQ(prefs.dateChoice(), 3);
  EXPECT_EQ(read("riviriro_date.inf"), "3\r\n");
  EXPECT_EQ(read("riviriro_time.inf"), "1\r\n");
}

TEST_F(FormatPreferencesTest, FileValuesAreComparedExactlyAndNeverWrittenBack) {
  const std::vector<std::pair<std::string, int>> dates = {
      {"1\r\n", 1},  {"2", 2},         {"4\n", 4},      {"7,x\r\n", 7}, {"9\r\n8\r\n", 9},
      {"3\r\n", 3},  {"0\r\n", 3},     {"10\r\n", 3},   {" 5\r\n", 3},  {"05\r\n", 3},
      {"5 \r\n", 3}, {"\"5\"\r\n", 3}, {"\r\n5\r\n", 3}};
  for (const auto& [content, expected] : dates) {
    put("riviriro_date.inf", content);
    RecordingView v;
    FormatPreferences prefs(fs, &v, dir.string());
    prefs.GetDefault2();
    EXPECT_EQ(prefs.dateChoice(), expected) << content;
    EXPECT_EQ(v.checkedOf(kDateItems), Items{kDateItems[expected - 1]}) << content;
    EXPECT_EQ(read("riviriro_date.inf"), content);
  }
  const std::vector<std::pair<std::string, int>> times = {
      {"2\r\n", 2}, {"3\r\n", 3}, {"4,1\r\n", 4}, {"5\r\n", 1}, {"02\r\n", 1}, {"\r\n", 1}};
  for (const auto& [content, expected] : times) {
    put("riviriro_time.inf", content);
    RecordingView v;
    FormatPreferences prefs(fs, &v, dir.string() + "/");
    prefs.GetDefault3();
    EXPECT_EQ(prefs.timeChoice(), expected) << content;
    EXPECT_EQ(v.checkedOf(kTimeItems), Items{kTimeItems[expected - 1]}) << content;
    EXPECT_EQ(read("riviriro_time.inf"), content);
  }
}

TEST_F(FormatPreferencesTest, StartClearsEveryMarkBeforeSettingOne) {
  put("riviriro_date.inf", "5\r\n");
  put("riviriro_time.inf", "2\r\n");
  for (const auto& name : kDateItems) view.setChecked(name, 0, true);
  for (const auto& name : kTimeItems) view.setChecked(name, 0, true);
  view.log.clear();
  started(&view);
  EXPECT_EQ(view.checkedOf(kDateItems), Items{"mnuDate5"});
  EXPECT_EQ(view.checkedOf(kTimeItems), Items{"Time2"});
  ASSERT_EQ(view.log.size(), 15u);
  for (std::size_t i = 0; i < 9; ++i)
    EXPECT_EQ(view.log[i], std::make_tuple(kDateItems[i], 0, false));
  EXPECT_EQ(view.log[9], std::make_tuple(std::string("mnuDate5"), 0, true));
  EXPECT_EQ(view.log[14], std::make_tuple(std::string("Time2"), 0, true));
}

TEST_F(FormatPreferencesTest, ClickMovesTheMarkInMenuOrderAndSaves) {
  FormatPreferences prefs = started(&view);
  view.log.clear();
  prefs.dateClicked(7);
  EXPECT_EQ(prefs.dateChoice(), 7);
  EXPECT_EQ(view.checkedOf(kDateItems), Items{"mnuDate7"});
  Items order;
  for (const auto& [name, index, on] : view.log) order.push_back(name + (on ? "+" : "-"));
  EXPECT_EQ(order, (Items{"mnuDate7+", "mnuDate1-", "mnuDate2-", "mnuDate3-", "mnuDate4-",
                          "mnuDate5-", "mnuDate6-", "mnuDate8-", "mnuDate9-"}));
  EXPECT_EQ(read("riviriro_date.inf"), "7\r\n");

  prefs.timeClicked(4);
  EXPECT_EQ(view.checkedOf(kTimeItems), Items{"time4"});
  EXPECT_EQ(read("riviriro_time.inf"), "4\r\n");

  // The next start reads the choices back.
  RecordingView next;
  FormatPreferences again = started(&next);
  EXPECT_EQ(again.dateChoice(), 7);
  EXPECT_EQ(again.timeChoice(), 4);
  EXPECT_EQ(next.checkedOf(kDateItems), Items{"mnuDate7"});
}

TEST_F(FormatPreferencesTest, ClickOnTheCheckedItemDoesNothing) {
  put("riviriro_date.inf", "4\r\n");
  put("riviriro_time.inf", "2\r\n");
  FormatPreferences prefs = started(&view);
  view.log.clear();
  put("riviriro_date.inf", "changed elsewhere");
  put("riviriro_time.inf", "changed elsewhere");
  prefs.dateClicked(4);
  prefs.timeClicked(2);
  EXPECT_TRUE(view.log.empty());
  EXPECT_EQ(read("riviriro_date.inf"), "changed elsewhere");
  EXPECT_EQ(read("riviriro_time.inf"), "changed elsewhere");
}

TEST_F(FormatPreferencesTest, WriteFailuresAreThrown) {
  FormatPreferences missingDir(fs, &view, (dir / "no-such-dir").string());
  EXPECT_THROW(missingDir.GetDefault2(), Error);
  EXPECT_THROW(missingDir.GetDefault3(), Error);
  EXPECT_EQ(view.checkedOf(kDateItems), Items{"mnuDate3"});  // checked before the write

  FormatPreferences prefs = started(nullptr);
  std::filesystem::remove(dir / "riviriro_time.inf");
  std::filesystem::create_directory(dir / "riviriro_time.inf");
  EXPECT_THROW(prefs.timeClicked(2), Error);
  EXPECT_EQ(prefs.timeChoice(), 2);  // the choice has moved though it was not saved
}

}  // namespace
}  // namespace kestrand::datetime
