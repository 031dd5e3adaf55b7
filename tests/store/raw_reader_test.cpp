#include "store/raw_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/fakes/memory_file_system.h"

namespace kestrand::store {
namespace {

const std::string kBreak = "\n\r";
// Continuous mode, 1.2 s apart, column 0 only, no moving average.
const std::string kHead = "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n2,1,0\r\n";

struct ReaderTest : ::testing::Test {
  ReaderTest() { probes.InitProbeTable(); }
  ReadResult read(const std::string& content, int dateChoice = 3) {
    fs.files["/d/f.dat"] = content;
    return ReadRawDataFile("f.dat", fs, "/d", {probes, messages, dateChoice, {}}, h, t);
  }
  ports::fake::MemoryFileSystem fs{"/d"};
  ProbeTable probes;
  MessageCatalogue messages;
  HeaderFields h;
  SampleTable t;
};

// `count` records of one value each.
std::string records(int count, const std::string& units = "0") {
  std::string s;
  for (int i = 0; i < count; ++i) s += "1," + units + "\r\n5\r\n";
  return s;
}

TEST_F(ReaderTest, ComputedSampleTimes) {
  // Each sample's date and time, the date left out while it stays 01/15/2006.
  const std::vector<std::string> times[] = {
      // Offsets 0, 1.2, 2.4, 3.6 round to 0, 1, 2, 4.
      {kHead, "02:05:09 PM", "02:05:10 PM", "02:05:11 PM", "02:05:13 PM"},
      // 0.5 s apart: halves go to the even second.
      {"\"1/15/2006\",\"2:05:09 PM\",0,1\r\n0,1,0\r\n", "02:05:09 PM", "02:05:09 PM", "02:05:10 PM",
       "02:05:11 PM", "02:05:11 PM"},
      // Periodic, 3 s on, 10 s off, 1 s apart: offsets 0, 1, 2, 13, 14, 15, 26.
      {"\"2006/01/15\",\" 14:05:09\",0,2\r\n1,1,0,3,10\r\n", "02:05:09 PM", "02:05:10 PM",
       "02:05:11 PM", "02:05:22 PM", "02:05:23 PM", "02:05:24 PM", "02:05:35 PM"},
      // 60 s apart across midnight; day first when the month cannot come first.
      {"\"31/12/2006\",\"23:59:30\",0,3\r\n8,1,0\r\n", "12/31/2006 11:59:30 PM",
       "01/01/2007 12:00:30 AM"},
      {"\"15-Jan-06\",\"12:00:00 PM\",0,1\r\n1,1,0\r\n", "12:00:00 PM"},
      // Read day first under a day-first display choice (9).
      {"\"05/03/2006\",\"11:00:00 AM\",0,1\r\n1,1,0\r\n", "03/05/2006 11:00:00 AM"},
  };
  t.unreadCells = {{0, 0}};  // left by an opened CSV file; a raw file has none
  for (const auto& row : times) {
    SCOPED_TRACE(row[0]);
    const int n = static_cast<int>(row.size()) - 1;
    ASSERT_EQ(read(row[0] + records(n), &row == &times[5] ? 9 : 3).end, ReadEnd::kComplete);
    for (int j = 0; j < n; ++j) {
      const std::string date = t.SampleDate[j] == "01/15/2006" ? "" : t.SampleDate[j] + " ";
      EXPECT_EQ(date + t.SampleTime[j], row[j + 1]);
    }
    EXPECT_TRUE(t.unreadCells.empty());
  }
}

TEST_F(ReaderTest, FailuresAndWhatIsKept) {
  const std::string dataBlock = "The raw data file has an error in the data block." + kBreak +
                                "All of the data except for the last record will be retained.";
  const std::string other = "File: f.dat" + kBreak + "Error: ";
  const std::string units = "Warning: Multiple Units have been found" + kBreak +
                            "Data will still be saved but may not be reliable";
  const struct {
    std::string content;
    ReadEnd end;
    std::vector<std::string> messages;  // each the start of a message shown
    int kept;
  } rows[] = {
      {kHead, ReadEnd::kNoDataRecords, {"The raw data file does not contain any data records."}, 0},
      {kHead + records(2) + "1,0\r\n", ReadEnd::kDataBlockError, {dataBlock}, 2},
      {kHead.substr(0, 36), ReadEnd::kDataBlockError, {dataBlock}, 0},
      {kHead + records(2) + "1,0\r\n5x\r\n", ReadEnd::kFailed, {other + "Type mismatch"}, 0},
      {kHead + records(1) + "1,70000\r\n", ReadEnd::kFailed, {other + "Overflow"}, 0},
      {kHead + records(1) + records(1, "9"),
       ReadEnd::kFailed,
       {units, other + "Subscript out of range"},
       0},
      {kHead + records(1, "-1"), ReadEnd::kFailed, {other + "Subscript out of range"}, 0},
      {"\"x\",\"02:05:09 PM\",0,1\r\n2,1,0\r\n" + records(1), ReadEnd::kFailed, {other}, 0},
      {"\"d\",\"t\",32,1\r\n2,1,0\r\n" + records(1),
       ReadEnd::kHeaderRejected,
       {"The raw data file has an error in the header block."},
       0},
      // The units warning comes once, however many records differ.
      {kHead + records(1) + records(3, "1"), ReadEnd::kComplete, {units}, 4},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.content);
    t.NumSamples = 99;
    const ReadResult r = read(row.content);
    EXPECT_EQ(r.end, row.end);
    ASSERT_EQ(r.messages.size(), row.messages.size());
    for (size_t m = 0; m < r.messages.size(); ++m) {
      EXPECT_EQ(r.messages[m].substr(0, row.messages[m].size()), row.messages[m]);
    }
    EXPECT_EQ(t.NumSamples, row.kept);
    EXPECT_EQ(r.status, row.end == ReadEnd::kComplete ? "Reading completed" : "");
  }
}

TEST_F(ReaderTest, AtMostSixteenThousandThreeHundredSamplesAndNoMoreBytesThanTheyTake) {
  // Probe 25 passes the check and has no texts.
  EXPECT_EQ(read("\"01/15/2006\",\"02:05:09 PM\",25,1\r\n2,1,0\r\n" + records(16300)).end,
            ReadEnd::kComplete);
  EXPECT_EQ(t.NumSamples, 16300);
  EXPECT_EQ(h.ProbeName + t.SampleUnits[16299], "");
  // Blank lines read as empty fields: a file of more than 16300 records of zeros. Read are the
  // header block's 9 fields, then 16301 records of 3 fields, at most 64 bytes each.
  fs.bytesRead = 0;
  EXPECT_EQ(read(kHead + records(1) + std::string(8'000'000, '\n')).messages,
            std::vector<std::string>{
                "The raw data file exceeds the maximum size for an Excel Spreadsheet." + kBreak +
                "The data will be trucated."});
  EXPECT_EQ(t.NumSamples, 16300);
  EXPECT_LE(fs.bytesRead, (9 + 9 + 16301 * 3) * 64u);
  // A field longer than a line is refused where it is met.
  EXPECT_EQ(read(kHead + records(1) + std::string(100, '7') + "\r\n").messages,
            std::vector<std::string>{"File: f.dat" + kBreak +
                                     "Error: Field longer than 64 characters: \"" +
                                     std::string(64, '7') + "\""});
}

TEST_F(ReaderTest, MovingAverageBecomesSamples) {
  // Tenths of a minute at a log-rate code to samples, halves to even; 0 means none.
  const int rows[][3] = {{60, 0, 720}, {60, 8, 6}, {1, 7, 0}, {3, 7, 2}, {0, 0, 0}};
  for (const auto& [tenths, rate, samples] : rows) {
    read("\"d\",\"t\",0,0\r\n" + std::to_string(rate) + ",1," + std::to_string(tenths) +
         "\r\n1,0\r\n\"a\",\"b\"\r\n" + (tenths ? "1\r\n" : "") + "2\r\n");
    EXPECT_EQ(h.MoveAve, samples) << tenths << " at " << rate;
    EXPECT_EQ(t.SampleProbe[2], tenths ? "M-Avg= " + std::to_string(samples) : "");
    EXPECT_EQ(t.SampleData(0, 0), 2.0f);
    EXPECT_EQ(t.SampleDate[0] + t.SampleTime[0], "ab");  // mode 0 keeps each record's texts
  }
  EXPECT_EQ(h.MoveAveText, "");
}

// A table read from a file, copied and moved as the documents and the whole upload's pass do:
// every copy holds texts of its own, all four text columns sharing one block.
TEST_F(ReaderTest, CopiedAndMovedTablesKeepTheirOwnTexts) {
  ASSERT_EQ(read(kHead + records(3, "2")).end, ReadEnd::kComplete);
  SampleTable copy = t;
  EXPECT_EQ(copy, t);
  copy.SampleTime[1] = "changed";
  copy.SampleUnits[2] = "V/m?";
  EXPECT_EQ(t.SampleTime[1], "02:05:10 PM");
  EXPECT_NE(t.SampleUnits[2], "V/m?");
  EXPECT_NE(copy, t);

  SampleTable assigned;
  assigned = copy;
  copy.SampleDate[0] = "later";
  EXPECT_EQ(assigned.SampleTime[1], "changed");
  EXPECT_EQ(assigned.SampleDate[0], t.SampleDate[0]);

  SampleTable moved = std::move(assigned);
  EXPECT_EQ(moved.SampleTime[1], "changed");
  EXPECT_EQ(moved.SampleProbe[0], t.SampleProbe[0]);
  assigned = std::move(moved);  // a moved-from table takes another's texts again
  EXPECT_EQ(assigned.SampleUnits[2], "V/m?");
  // Every row of every column is its own: none of the four overlaps another.
  TextColumn* columns[] = {&assigned.SampleDate, &assigned.SampleTime, &assigned.SampleProbe,
                           &assigned.SampleUnits};
  for (int c = 0; c < 4; ++c) {
    for (std::string& text : *columns[c]) text = std::to_string(c);
  }
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(std::count(columns[c]->begin(), columns[c]->end(), std::to_string(c)), kSampleRows);
  }
}

}  // namespace
}  // namespace kestrand::store
