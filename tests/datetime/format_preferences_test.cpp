#include "datetime/format_preferences.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/error.h"
#include "platform/fake/fakes.h"
#include "platform/posix/posix_file_system.h"

namespace kestrand::datetime {
namespace {

const std::vector<std::string> kDateItems = {"mnuDate1", "mnuDate2", "mnuDate3",
                                             "mnuDate4", "mnuDate5", "mnuDate6",
                                             "mnuDate7", "mnuDate8", "mnuDate9"};
const std::vector<std::string> kTimeItems = {"Time1", "Time2", "Time3", "time4"};

// A main window that also keeps the order of the check-mark changes.
class RecordingView : public platform::fake::FakeMainView {
 public:
  void setChecked(const std::string& item, int index, bool on) override {
    log.emplace_back(item, index, on);
    FakeMainView::setChecked(item, index, on);
  }
  std::vector<std::string> checkedOf(const std::vector<std::string>& items) const {
    std::vector<std::string> result;
    for (const auto& name : items) {
      if (checked(name, 0)) result.push_back(name);
    }
    return result;
  }
  std::vector<std::tuple<std::string, int, bool>> log;
};

// Files held in memory, with counted writes and paths that refuse to be read or written.
class MemoryFileSystem : public platform::FileSystem {
 public:
  std::string programDirectory() const override { return "/data"; }
  std::vector<std::string> list(const std::string&, const std::string&) const override {
    return {};
  }
  bool exists(const std::string& path) const override { return files.count(path) != 0; }
  std::uint64_t size(const std::string& path) const override { return readAll(path).size(); }
  std::string readAll(const std::string& path) const override {
    if (unreadable.count(path) != 0) throw Error(ErrorKind::kPermissionDenied, "denied");
    auto it = files.find(path);
    if (it == files.end()) throw Error(ErrorKind::kFileNotFound, "File not found: " + path);
    return it->second;
  }
  void writeAll(const std::string& path, std::string_view content) override {
    if (unwritable.count(path) != 0) throw Error(ErrorKind::kPermissionDenied, "read-only");
    ++writes;
    files[path] = std::string(content);
  }
  std::unique_ptr<platform::WritableFile> create(const std::string&) override { return nullptr; }
  void remove(const std::string& path) override { files.erase(path); }

  std::map<std::string, std::string> files;
  std::set<std::string> unreadable;
  std::set<std::string> unwritable;
  int writes = 0;
};

const std::string kDateFile = "/data/riviriro_date.inf";
const std::string kTimeFile = "/data/riviriro_time.inf";

TEST(FormatMenus, NamesAndCaptions) {
  const char* dateCaptions[] = {"M/d/yy",     "M/d/yyyy",  "MM/dd/yy", "MM/dd/yyyy", "yy/MM/dd",
                                "yyyy/MM/dd", "dd-MMM-yy", "dd/MM/yy", "dd/MM/yyyy"};
  for (std::size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(kDateMenu[i].name, kDateItems[i]);
    EXPECT_EQ(kDateMenu[i].caption, dateCaptions[i]);
  }
  EXPECT_EQ(kTimeMenu[0].name, "Time1");
  EXPECT_EQ(kTimeMenu[0].caption, "h:mm:ss       AM/PM");
  EXPECT_EQ(kTimeMenu[1].name, "Time2");
  EXPECT_EQ(kTimeMenu[1].caption, "hh:mm:ss     AM/PM");
  EXPECT_EQ(kTimeMenu[2].name, "Time3");
  EXPECT_EQ(kTimeMenu[2].caption, "h:mm:ss");
  EXPECT_EQ(kTimeMenu[3].name, "time4");
  EXPECT_EQ(kTimeMenu[3].caption, "hh:mm:ss");
}

TEST(FormatPreferences, FirstStartOnDiskChecksTheDefaultsAndWritesBothFiles) {
  char pattern[] = "/tmp/kestrand-datetime-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::filesystem::path dir = pattern;
  platform::posix::PosixFileSystem fs(dir.string());
  RecordingView view;
  FormatPreferences prefs(fs, &view, dir.string());

  prefs.GetDefault2();
  prefs.GetDefault3();
  EXPECT_EQ(prefs.dateChoice(), 3);
  EXPECT_EQ(prefs.timeChoice(), 1);
  EXPECT_EQ(view.checkedOf(kDateItems), std::vector<std::string>{"mnuDate3"});
  EXPECT_EQ(view.checkedOf(kTimeItems), std::vector<std::string>{"Time1"});

  auto slurp = [](const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(slurp(dir / "riviriro_date.inf"), "3\r\n");
  EXPECT_EQ(slurp(dir / "riviriro_time.inf"), "1\r\n");

  // A click saves the new choice, and the next start reads it back.
  prefs.dateClicked(7);
  prefs.timeClicked(4);
  EXPECT_EQ(slurp(dir / "riviriro_date.inf"), "7\r\n");
  EXPECT_EQ(slurp(dir / "riviriro_time.inf"), "4\r\n");
  RecordingView view2;
  FormatPreferences again(fs, &view2, dir.string() + "/");
  again.GetDefault2();
  again.GetDefault3();
  EXPECT_EQ(again.dateChoice(), 7);
  EXPECT_EQ(again.timeChoice(), 4);
  EXPECT_EQ(view2.checkedOf(kDateItems), std::vector<std::string>{"mnuDate7"});
  EXPECT_EQ(view2.checkedOf(kTimeItems), std::vector<std::string>{"time4"});

  std::filesystem::remove_all(dir);
}

TEST(FormatPreferences, DateFileValuesAreComparedExactly) {
  const std::map<std::string, int> cases = {
      {"1\r\n", 1},     {"2\r\n", 2},      {"4\r\n", 4},  {"5", 5},         {"6\n", 6},
      {"7,x\r\n", 7},   {"8\r\n9\r\n", 8}, {"9\r\n", 9},  {"3\r\n", 3},     {"0\r\n", 3},
      {"10\r\n", 3},    {" 5\r\n", 3},     {"05\r\n", 3}, {"\"5\"\r\n", 3}, {"5 \r\n", 3},
      {"\r\n5\r\n", 3}, {",5\r\n", 3},     {"abc\r\n", 3}};
  for (const auto& [content, expected] : cases) {
    MemoryFileSystem fs;
    fs.files[kDateFile] = content;
    RecordingView view;
    FormatPreferences prefs(fs, &view, "/data");
    prefs.GetDefault2();
    EXPECT_EQ(prefs.dateChoice(), expected) << content;
    EXPECT_EQ(view.checkedOf(kDateItems),
              std::vector<std::string>{"mnuDate" + std::to_string(expected)})
        << content;
    EXPECT_EQ(fs.writes, 0) << content;  // an unexpected value is not written back
    EXPECT_EQ(fs.files[kDateFile], content);
  }
}

TEST(FormatPreferences, TimeFileValuesAreComparedExactly) {
  const std::map<std::string, int> cases = {{"1\r\n", 1},   {"2\r\n", 2}, {"3\r\n", 3},
                                            {"4,1\r\n", 4}, {"5\r\n", 1}, {"02\r\n", 1},
                                            {"x\r\n", 1},   {"\r\n", 1}};
  for (const auto& [content, expected] : cases) {
    MemoryFileSystem fs;
    fs.files[kTimeFile] = content;
    RecordingView view;
    FormatPreferences prefs(fs, &view, "/data");
    prefs.GetDefault3();
    EXPECT_EQ(prefs.timeChoice(), expected) << content;
    EXPECT_EQ(view.checkedOf(kTimeItems), std::vector<std::string>{kTimeItems[expected - 1]})
        << content;
    EXPECT_EQ(fs.writes, 0) << content;
  }
}

TEST(FormatPreferences, MissingEmptyOrUnreadableFilesGiveTheDefaultAndAreWritten) {
  for (int variant = 0; variant < 3; ++variant) {
    MemoryFileSystem fs;
    if (variant == 1) {
      fs.files[kDateFile] = "";
      fs.files[kTimeFile] = "";
    }
    if (variant == 2) {
      fs.files[kDateFile] = "7\r\n";
      fs.files[kTimeFile] = "3\r\n";
      fs.unreadable = {kDateFile, kTimeFile};
    }
    RecordingView view;
    FormatPreferences prefs(fs, &view, "/data");
    prefs.GetDefault2();
    prefs.GetDefault3();
    EXPECT_EQ(prefs.dateChoice(), 3) << variant;
    EXPECT_EQ(prefs.timeChoice(), 1) << variant;
    EXPECT_EQ(view.checkedOf(kDateItems), std::vector<std::string>{"mnuDate3"});
    EXPECT_EQ(view.checkedOf(kTimeItems), std::vector<std::string>{"Time1"});
    EXPECT_EQ(fs.files[kDateFile], "3\r\n") << variant;
    EXPECT_EQ(fs.files[kTimeFile], "1\r\n") << variant;
    EXPECT_EQ(fs.writes, 2) << variant;
  }
}

TEST(FormatPreferences, StartClearsEveryMarkBeforeSettingOne) {
  MemoryFileSystem fs;
  fs.files[kDateFile] = "5\r\n";
  fs.files[kTimeFile] = "2\r\n";
  RecordingView view;
  for (const auto& name : kDateItems) view.setChecked(name, 0, true);
  for (const auto& name : kTimeItems) view.setChecked(name, 0, true);
  view.log.clear();
  FormatPreferences prefs(fs, &view, "/data");
  prefs.GetDefault2();
  prefs.GetDefault3();
  EXPECT_EQ(view.checkedOf(kDateItems), std::vector<std::string>{"mnuDate5"});
  EXPECT_EQ(view.checkedOf(kTimeItems), std::vector<std::string>{"Time2"});
  ASSERT_EQ(view.log.size(), 15u);
  for (std::size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(view.log[i], std::make_tuple(kDateItems[i], 0, false));
  }
  EXPECT_EQ(view.log[9], std::make_tuple(std::string("mnuDate5"), 0, true));
  EXPECT_EQ(view.log[14], std::make_tuple(std::string("Time2"), 0, true));
}

TEST(FormatPreferences, WriteFailuresAtStartAreThrown) {
  MemoryFileSystem fs;
  fs.unwritable = {kDateFile, kTimeFile};
  RecordingView view;
  FormatPreferences prefs(fs, &view, "/data");
  EXPECT_THROW(prefs.GetDefault2(), Error);
  EXPECT_THROW(prefs.GetDefault3(), Error);
  // A readable file with a value needs no write, so nothing fails.
  fs.files[kDateFile] = "9\r\n";
  EXPECT_NO_THROW(prefs.GetDefault2());
  EXPECT_EQ(prefs.dateChoice(), 9);
}

TEST(FormatPreferences, ClickMovesTheMarkInMenuOrderAndSaves) {
  MemoryFileSystem fs;
  fs.files[kDateFile] = "3\r\n";
  fs.files[kTimeFile] = "1\r\n";
  RecordingView view;
  FormatPreferences prefs(fs, &view, "/data");
  prefs.GetDefault2();
  prefs.GetDefault3();
  view.log.clear();

  prefs.dateClicked(7);
  EXPECT_EQ(prefs.dateChoice(), 7);
  EXPECT_EQ(view.checkedOf(kDateItems), std::vector<std::string>{"mnuDate7"});
  ASSERT_EQ(view.log.size(), 9u);
  EXPECT_EQ(view.log[0], std::make_tuple(std::string("mnuDate7"), 0, true));
  std::vector<std::string> cleared;
  for (std::size_t i = 1; i < 9; ++i) {
    EXPECT_FALSE(std::get<2>(view.log[i]));
    cleared.push_back(std::get<0>(view.log[i]));
  }
  EXPECT_EQ(cleared, (std::vector<std::string>{"mnuDate1", "mnuDate2", "mnuDate3", "mnuDate4",
                                               "mnuDate5", "mnuDate6", "mnuDate8", "mnuDate9"}));
  EXPECT_EQ(fs.files[kDateFile], "7\r\n");
  EXPECT_EQ(fs.writes, 1);

  prefs.timeClicked(3);
  EXPECT_EQ(prefs.timeChoice(), 3);
  EXPECT_EQ(view.checkedOf(kTimeItems), std::vector<std::string>{"Time3"});
  EXPECT_EQ(fs.files[kTimeFile], "3\r\n");
  prefs.timeClicked(4);
  EXPECT_EQ(view.checkedOf(kTimeItems), std::vector<std::string>{"time4"});
  EXPECT_EQ(fs.files[kTimeFile], "4\r\n");
  EXPECT_EQ(fs.writes, 3);
  EXPECT_EQ(fs.files[kDateFile], "7\r\n");  // the other menu's file is untouched
}

TEST(FormatPreferences, ClickOnTheCheckedItemDoesNothing) {
  MemoryFileSystem fs;
  fs.files[kDateFile] = "4\r\n";
  fs.files[kTimeFile] = "2\r\n";
  RecordingView view;
  FormatPreferences prefs(fs, &view, "/data");
  prefs.GetDefault2();
  prefs.GetDefault3();
  view.log.clear();
  fs.files[kDateFile] = "changed elsewhere";
  prefs.dateClicked(4);
  prefs.timeClicked(2);
  EXPECT_EQ(fs.writes, 0);
  EXPECT_TRUE(view.log.empty());
  EXPECT_EQ(fs.files[kDateFile], "changed elsewhere");
  EXPECT_EQ(prefs.dateChoice(), 4);
  EXPECT_EQ(prefs.timeChoice(), 2);
}

TEST(FormatPreferences, WorksWithoutAWindowAndReportsClickWriteFailures) {
  MemoryFileSystem fs;
  FormatPreferences prefs(fs, nullptr, "/data");
  prefs.GetDefault2();
  prefs.GetDefault3();
  EXPECT_EQ(fs.files[kDateFile], "3\r\n");
  EXPECT_EQ(fs.files[kTimeFile], "1\r\n");
  prefs.dateClicked(9);
  EXPECT_EQ(prefs.dateChoice(), 9);
  EXPECT_EQ(fs.files[kDateFile], "9\r\n");

  fs.unwritable = {kTimeFile};
  EXPECT_THROW(prefs.timeClicked(2), Error);
  EXPECT_EQ(prefs.timeChoice(), 2);  // the choice has moved even though it was not saved
  EXPECT_EQ(fs.files[kTimeFile], "1\r\n");
}

}  // namespace
}  // namespace kestrand::datetime
