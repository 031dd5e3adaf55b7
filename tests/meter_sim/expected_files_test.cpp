// The raw data files the receiver must write for an upload.

#include <gtest/gtest.h>

#include <sstream>

#include "tools/meter_sim/expected_files.h"

namespace kestrand::meter_sim {
namespace {

using Lines = std::vector<std::string>;

Record record(std::uint32_t number, std::uint8_t units, std::vector<std::uint16_t> values,
              std::optional<std::uint16_t> moveAvg) {
  Record r;
  r.number = number;
  r.tag = static_cast<std::uint8_t>(number % 128);
  r.units = units;
  r.values = std::move(values);
  r.moveAvg = moveAvg;
  return r;
}

std::vector<ExpectedFile> filesFor(const UploadDescription& d, const std::vector<Record>& rs) {
  return expectedFiles(d, rs, planUpload(d, rs));
}
std::vector<ExpectedFile> filesFor(const UploadDescription& d) {
  return filesFor(d, makeRecords(d));
}

// The lines of a file, each ended by CR LF.
Lines lines(const std::string& content) {
  Lines out;
  std::istringstream in(content);
  for (std::string line; std::getline(in, line);) {
    out.push_back(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line + "<no CR LF>");
  }
  return out;
}

// The lines of the first file of an upload of generated records.
Lines firstFileLines(const UploadDescription& d) {
  return lines(filesFor(d).at(0).content);
}

TEST(NumberText, PlainPositionalAtMost15DigitsAndColumnsInThousandths) {
  // clang-format off
  const std::pair<double, const char*> plain[] = {
      {100.0, "100"}, {0.0, "0"}, {81.91, "81.91"}, {0.00001, "0.00001"}, {-0.5, "-0.5"},
      {0.1 + 0.2, "0.3"}, {0.0008191, "0.0008191"}, {4294967296.0, "4294967296"},
      {123456789012345678.0, "123456789012346000"}};
  // clang-format on
  for (const auto& [v, text] : plain) EXPECT_EQ(formatNumber(v), text);
  // Column values are rounded to thousandths, halves to even.
  const std::pair<std::uint16_t, const char*> columns[] = {
      {valueCode(4, 1237), "0.124"}, {valueCode(2, 8191), "81.91"}, {valueCode(4, 25), "0.002"},
      {valueCode(4, 15), "0.002"},   {valueCode(4, 5), "0"},        {valueCode(7, 8191), "0.001"}};
  for (const auto& [code, text] : columns) {
    EXPECT_EQ(formatNumber(roundThousandths(decodeValue(code))), text) << code;
  }
}

TEST(ExpectedContent, ContinuousWithMovingAverageAndTwoColumns) {
  const UploadDescription d{
      .logRate = 2, .columns = 9, .moveAve = 60, .start = {2006, 1, 15, 14, 5, 9}};
  const std::vector<Record> rs{
      record(1, 0, {valueCode(4, 1237), valueCode(2, 8191)}, valueCode(4, 1237)),
      record(2, 4, {valueCode(1, 1000), valueCode(0, 0)}, valueCode(5, 1))};
  const auto files = filesFor(d, rs);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name, "QV 15.Jan.06  14.05.09.dat");
  EXPECT_EQ(files[0].content,
            "\"01/15/2006\",\"2:05:09 PM\",0,1\r\n2,9,60\r\n"
            "1,0\r\n0.1237\r\n0.124\r\n81.91\r\n"
            "2,4\r\n0.00001\r\n100\r\n0\r\n");
}

TEST(ExpectedContent, HeaderLinesAndStampedRecords) {
  // Elapsed-time uploads are named by the receiver's clock: no files can be expected.
  EXPECT_THROW(filesFor({.elapsed = true, .records = 3}), std::invalid_argument);
  // Single-point records carry their date and time, here across midnight (12 s apart).
  EXPECT_EQ(firstFileLines({.probe = 5,
                            .mode = 0,
                            .logRate = 7,
                            .columns = 0,
                            .start = {2006, 12, 5, 23, 59, 55},
                            .records = 2}),
            (Lines{"\"12/05/2006\",\"11:59:55 PM\",5,0", "7,0,0", "1,0",
                   "\"12/05/2006\",\"11:59:55 PM\"", "2,0", "\"12/06/2006\",\"12:00:07 AM\""}));
  // Periodic mode writes the periods in single precision; a long header alone does not.
  EXPECT_EQ(firstFileLines({.mode = 2, .periodOn = 16777217, .periodOff = 50, .records = 0}),
            (Lines{"\"12/05/2006\",\"2:05:33 PM\",0,2", "1,1,0,16777216,50"}));
  EXPECT_EQ(firstFileLines({.mode = 3, .periodOn = 10, .longHeader = true, .records = 0}).at(1),
            "1,1,0");
}

TEST(ExpectedReceiverRules, TheLastTwoBytesOfAMessageAndLostMessagesAreNotStored) {
  // A two-byte record ending a message is skipped: records 2 and 4 of 2 + 2 + 1.
  UploadDescription d{.columns = 0, .records = 5, .recordsPerMessage = 2};
  EXPECT_EQ(firstFileLines(d), (Lines{"\"12/05/2006\",\"2:05:33 PM\",0,1", "1,0,0", "1,0", "3,0"}));
  // So is a moving average ending the last record.
  d.moveAve = 5;
  const std::vector<Record> rs{record(1, 0, {}, valueCode(1, 15)),
                               record(2, 0, {}, valueCode(1, 25))};
  EXPECT_EQ(lines(filesFor(d, rs).at(0).content),
            (Lines{"\"12/05/2006\",\"2:05:33 PM\",0,1", "1,0,5", "1,0", "1.5", "2,0"}));
  // Messages from the watchdog's on are lost; without the header there is no file.
  d.columns = 1;
  d.moveAve = 0;
  const auto gen = makeRecords(d);
  const auto plan = planUpload(d, gen);
  EXPECT_EQ(lines(expectedFiles(d, gen, plan, 2).at(0).content).size(), 2u + 2 * 2);
  EXPECT_EQ(lines(expectedFiles(d, gen, plan, 1).at(0).content).size(), 2u);
  EXPECT_TRUE(expectedFiles(d, gen, plan, 0).empty());
}

TEST(ExpectedContinuation, ContinuousUploadSplitsAfter16300Records) {
  const auto files = filesFor({.records = 32601, .recordsPerMessage = 50});
  ASSERT_EQ(files.size(), 3u);
  // Records are two lines each after the two header lines.
  EXPECT_EQ(lines(files[0].content).size(), 2 + 2 * 16300u);
  EXPECT_EQ(lines(files[1].content).size(), 2 + 2 * 16300u);
  EXPECT_EQ(files[1].name, "QV 05.Dec.06  14.05.33A.dat");
  EXPECT_EQ(continuationFileName(files[0].name, 26), "QV 05.Dec.06  14.05.33Z.dat");
  // Each starts the opening record's number of seconds after the start, with a two-digit hour.
  const auto a = lines(files[1].content);
  EXPECT_EQ(Lines(a.begin(), a.begin() + 3),
            (Lines{"\"12/05/2006\",\"06:37:14 PM\",0,1", "1,1,0", "45,0"}));  // record 16301
  EXPECT_EQ(files[2].name, "QV 05.Dec.06  14.05.33B.dat");
  const auto b = lines(files[2].content);  // record 32601 alone, 32601 s after the start
  EXPECT_EQ(b.size(), 4u);
  EXPECT_EQ(Lines(b.begin(), b.begin() + 3),
            (Lines{"\"12/05/2006\",\"11:08:54 PM\",0,1", "1,1,0", "89,0"}));
}

TEST(ExpectedContinuation, PeriodicStartCountsThePausesInWholeSeconds) {
  // At 1 s the first period is 10 records in 60 s, then 61 s for each period of 11 records; at
  // 1.5 s, 4.5 s round to 5.
  const struct {
    int logRate;
    std::uint32_t on, off, records;
    std::int64_t seconds;
  } rows[] = {{1, 10, 50, 10, 60},       {1, 10, 50, 21, 121}, {1, 10, 50, 22, 122},
              {1, 10, 50, 16301, 90401}, {3, 100, 0, 3, 5},    {3, 100, 0, 4, 6}};
  for (const auto& r : rows) {
    const UploadDescription d{
        .mode = 2, .logRate = r.logRate, .periodOn = r.on, .periodOff = r.off};
    EXPECT_EQ(continuationStart(d, r.records, Record{}), addSeconds(d.start, r.seconds))
        << r.logRate << " " << r.records;
  }
  const auto files = filesFor(
      {.mode = 2, .periodOn = 10, .periodOff = 50, .records = 16301, .recordsPerMessage = 100});
  ASSERT_EQ(files.size(), 2u);
  const auto a = lines(files[1].content);
  EXPECT_EQ(Lines(a.begin(), a.begin() + 2),
            (Lines{"\"12/06/2006\",\"03:12:14 PM\",0,2", "1,1,0,10,50"}));
}

TEST(ExpectedContinuation, SinglePointStartsAtTheOpeningRecordsStamp) {
  const auto files = filesFor({.mode = 0, .records = 16301, .recordsPerMessage = 100});
  ASSERT_EQ(files.size(), 2u);
  const auto a = lines(files[1].content);
  EXPECT_EQ(a[0], "\"12/05/2006\",\"06:37:13 PM\",0,0");  // start + 16300 s
  EXPECT_EQ(a[3], "\"12/05/2006\",\"6:37:13 PM\"");
}

TEST(ExpectedContinuation, TwentySixLettersAtMost) {
  // Stamped records of six bytes, none skipped.
  UploadDescription d{
      .mode = 0, .logRate = 0, .columns = 0, .records = 27 * 16300, .recordsPerMessage = 1000};
  const auto files = filesFor(d);
  ASSERT_EQ(files.size(), 27u);
  EXPECT_EQ(files.back().name, "QV 05.Dec.06  14.05.33Z.dat");
  d.records += 1;
  EXPECT_THROW(filesFor(d), std::invalid_argument);
}

}  // namespace
}  // namespace kestrand::meter_sim
