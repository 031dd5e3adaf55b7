// The raw data files the receiver must write for an upload.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "tools/meter_sim/expected_files.h"

namespace kestrand::meter_sim {
namespace {

Record record(std::uint32_t number, std::uint8_t units, std::vector<std::uint16_t> values,
              std::optional<std::uint16_t> moveAvg = std::nullopt,
              std::optional<std::uint32_t> stamp = std::nullopt) {
  Record r;
  r.number = number;
  r.tag = static_cast<std::uint8_t>(number % 128);
  r.units = units;
  r.values = std::move(values);
  r.moveAvg = moveAvg;
  r.stamp = stamp;
  return r;
}

std::vector<ExpectedFile> filesFor(const UploadDescription& d, const std::vector<Record>& rs) {
  return expectedFiles(d, rs, planUpload(d, rs));
}

std::vector<std::string> lines(const std::string& content) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < content.size()) {
    const std::size_t end = content.find("\r\n", at);
    if (end == std::string::npos) {
      out.push_back(content.substr(at) + "<no CR LF>");
      break;
    }
    out.push_back(content.substr(at, end - at));
    at = end + 2;
  }
  return out;
}

TEST(NumberText, PlainPositionalAtMost15Digits) {
  EXPECT_EQ(formatNumber(100.0), "100");
  EXPECT_EQ(formatNumber(0.0), "0");
  EXPECT_EQ(formatNumber(81.91), "81.91");
  EXPECT_EQ(formatNumber(0.00001), "0.00001");
  EXPECT_EQ(formatNumber(0.0008191), "0.0008191");
  EXPECT_EQ(formatNumber(8191.0), "8191");
  EXPECT_EQ(formatNumber(4294967296.0), "4294967296");
  EXPECT_EQ(formatNumber(123456789012345678.0), "123456789012346000");
  EXPECT_EQ(formatNumber(0.1 + 0.2), "0.3");
  EXPECT_EQ(formatNumber(-0.5), "-0.5");
}

TEST(NumberText, ColumnValuesRoundToThousandthsHalvesToEven) {
  EXPECT_EQ(formatNumber(roundThousandths(decodeValue(valueCode(4, 1237)))), "0.124");
  EXPECT_EQ(formatNumber(roundThousandths(decodeValue(valueCode(2, 8191)))), "81.91");
  EXPECT_EQ(formatNumber(roundThousandths(decodeValue(valueCode(4, 25)))), "0.002");
  EXPECT_EQ(formatNumber(roundThousandths(decodeValue(valueCode(4, 15)))), "0.002");
  EXPECT_EQ(formatNumber(roundThousandths(decodeValue(valueCode(4, 5)))), "0");
  EXPECT_EQ(formatNumber(roundThousandths(decodeValue(valueCode(4, 4)))), "0");
  EXPECT_EQ(formatNumber(roundThousandths(decodeValue(valueCode(7, 8191)))), "0.001");
}

TEST(ExpectedNames, FirstAndContinuationFiles) {
  const std::string first = firstFileName({2006, 12, 5, 14, 5, 33});
  EXPECT_EQ(first, "QV 05.Dec.06  14.05.33.dat");
  EXPECT_EQ(continuationFileName(first, 1), "QV 05.Dec.06  14.05.33A.dat");
  EXPECT_EQ(continuationFileName(first, 2), "QV 05.Dec.06  14.05.33B.dat");
  EXPECT_EQ(continuationFileName(first, 26), "QV 05.Dec.06  14.05.33Z.dat");
}

TEST(ExpectedContent, ContinuousWithMovingAverageAndTwoColumns) {
  UploadDescription d;
  d.start = {2006, 1, 15, 14, 5, 9};
  d.mode = 1;
  d.logRate = 2;
  d.columns = 9;
  d.moveAve = 60;
  const std::vector<Record> rs{
      record(1, 0, {valueCode(4, 1237), valueCode(2, 8191)}, valueCode(4, 1237)),
      record(2, 4, {valueCode(1, 1000), valueCode(0, 0)}, valueCode(5, 1))};
  const auto files = filesFor(d, rs);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name, "QV 15.Jan.06  14.05.09.dat");
  EXPECT_EQ(files[0].content,
            "\"01/15/2006\",\"2:05:09 PM\",0,1\r\n"
            "2,9,60\r\n"
            "1,0\r\n0.1237\r\n0.124\r\n81.91\r\n"
            "2,4\r\n0.00001\r\n100\r\n0\r\n");
}

TEST(ExpectedContent, SinglePointRecordsCarryTheirDateAndTime) {
  UploadDescription d;
  d.start = {2006, 12, 5, 23, 59, 55};
  d.mode = 0;
  d.probe = 5;
  d.logRate = 7;  // 12 s
  d.records = 2;
  const auto rs = makeRecords(d);
  const auto files = filesFor(d, rs);
  const auto ls = lines(files.at(0).content);
  ASSERT_EQ(ls.size(), 8u);
  EXPECT_EQ(ls[0], "\"12/05/2006\",\"11:59:55 PM\",5,0");
  EXPECT_EQ(ls[1], "7,1,0");
  EXPECT_EQ(ls[2], "1,0");
  EXPECT_EQ(ls[3], "\"12/05/2006\",\"11:59:55 PM\"");
  EXPECT_EQ(ls[5], "2,0");
  EXPECT_EQ(ls[6], "\"12/06/2006\",\"12:00:07 AM\"");
}

TEST(ExpectedContent, PeriodicHeaderLineHoldsSinglePrecisionPeriods) {
  UploadDescription d;
  d.mode = 2;
  d.periodOn = 16777217;  // not representable in single precision
  d.periodOff = 50;
  d.records = 0;
  const auto files = filesFor(d, makeRecords(d));
  const auto ls = lines(files.at(0).content);
  ASSERT_EQ(ls.size(), 2u);
  EXPECT_EQ(ls[0], "\"12/05/2006\",\"2:05:33 PM\",0,2");
  EXPECT_EQ(ls[1], "1,1,0,16777216,50");
}

TEST(ExpectedContent, LongHeaderOutsidePeriodicModeKeepsTheShortLine) {
  UploadDescription d;
  d.mode = 3;
  d.longHeader = true;
  d.periodOn = 10;
  d.records = 0;
  EXPECT_EQ(lines(filesFor(d, makeRecords(d)).at(0).content).at(1), "1,1,0");
}

TEST(ExpectedReceiverRules, TwoByteRecordAtTheEndOfAMessageIsNotStored) {
  UploadDescription d;
  d.columns = 0;
  d.records = 5;
  d.recordsPerMessage = 2;
  const auto rs = makeRecords(d);
  const auto ls = lines(filesFor(d, rs).at(0).content);
  EXPECT_EQ(ls,
            (std::vector<std::string>{"\"12/05/2006\",\"2:05:33 PM\",0,1", "1,0,0", "1,0", "3,0"}));
}

TEST(ExpectedReceiverRules, MovingAverageEndingTheLastRecordIsNotStored) {
  UploadDescription d;
  d.columns = 0;
  d.moveAve = 5;
  const std::vector<Record> rs{record(1, 0, {}, valueCode(1, 15)),
                               record(2, 0, {}, valueCode(1, 25))};
  const auto ls = lines(filesFor(d, rs).at(0).content);
  EXPECT_EQ(ls, (std::vector<std::string>{"\"12/05/2006\",\"2:05:33 PM\",0,1", "1,0,5", "1,0",
                                          "1.5", "2,0"}));
}

TEST(ExpectedReceiverRules, MessagesAfterTheWatchdogAreNotStored) {
  UploadDescription d;
  d.records = 5;
  d.recordsPerMessage = 2;
  const auto rs = makeRecords(d);
  const auto plan = planUpload(d, rs);
  EXPECT_EQ(lines(expectedFiles(d, rs, plan, 2).at(0).content).size(), 2u + 2 * 2);
  EXPECT_EQ(lines(expectedFiles(d, rs, plan, 1).at(0).content).size(), 2u);
  EXPECT_TRUE(expectedFiles(d, rs, plan, 0).empty());
}

// Number of records in a file whose records are two lines each.
std::size_t recordsIn(const ExpectedFile& f) {
  return (lines(f.content).size() - 2) / 2;
}

TEST(ExpectedContinuation, ContinuousUploadSplitsAfter16300Records) {
  UploadDescription d;
  d.records = 32601;
  d.recordsPerMessage = 50;
  const auto files = filesFor(d, makeRecords(d));
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(recordsIn(files[0]), 16300u);
  EXPECT_EQ(recordsIn(files[1]), 16300u);
  EXPECT_EQ(recordsIn(files[2]), 1u);
  EXPECT_EQ(files[1].name, "QV 05.Dec.06  14.05.33A.dat");
  EXPECT_EQ(files[2].name, "QV 05.Dec.06  14.05.33B.dat");
  const auto a = lines(files[1].content);
  EXPECT_EQ(a[0], "\"12/05/2006\",\"06:37:14 PM\",0,1");  // 16301 s after the start
  EXPECT_EQ(a[1], "1,1,0");
  EXPECT_EQ(a[2], "45,0");  // record 16301
  const auto b = lines(files[2].content);
  EXPECT_EQ(b[0], "\"12/05/2006\",\"11:08:54 PM\",0,1");  // 32601 s after the start
  EXPECT_EQ(b[2], "89,0");                                // record 32601
}

TEST(ExpectedContinuation, PeriodicStartCountsThePauses) {
  UploadDescription d;
  d.mode = 2;
  d.logRate = 1;
  d.periodOn = 10;
  d.periodOff = 50;
  // First period 10 records in 60 s, then 61 s for each period of 11 records.
  EXPECT_EQ(continuationStart(d, 10, Record{}), addSeconds(d.start, 60));
  EXPECT_EQ(continuationStart(d, 21, Record{}), addSeconds(d.start, 121));
  EXPECT_EQ(continuationStart(d, 22, Record{}), addSeconds(d.start, 122));
  EXPECT_EQ(continuationStart(d, 16301, Record{}), (CivilTime{2006, 12, 6, 15, 12, 14}));
  d.records = 16301;
  d.recordsPerMessage = 100;
  const auto files = filesFor(d, makeRecords(d));
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(lines(files[1].content)[0], "\"12/06/2006\",\"03:12:14 PM\",0,2");
  EXPECT_EQ(lines(files[1].content)[1], "1,1,0,10,50");
}

TEST(ExpectedContinuation, PeriodicHalfSecondsRoundToWholeSeconds) {
  UploadDescription d;
  d.mode = 2;
  d.logRate = 3;  // 1.5 s
  d.periodOn = 100;
  d.periodOff = 0;
  EXPECT_EQ(continuationStart(d, 3, Record{}), addSeconds(d.start, 5));  // 4.5 s
  EXPECT_EQ(continuationStart(d, 4, Record{}), addSeconds(d.start, 6));
}

TEST(ExpectedContinuation, SinglePointStartsAtTheOpeningRecordsStamp) {
  UploadDescription d;
  d.mode = 0;
  d.records = 16301;
  d.recordsPerMessage = 100;
  const auto files = filesFor(d, makeRecords(d));
  ASSERT_EQ(files.size(), 2u);
  const auto a = lines(files[1].content);
  EXPECT_EQ(a[0], "\"12/05/2006\",\"06:37:13 PM\",0,0");  // start + 16300 s
  EXPECT_EQ(a[3], "\"12/05/2006\",\"6:37:13 PM\"");
}

TEST(ExpectedContinuation, TwentySixLettersAtMost) {
  UploadDescription d;
  d.columns = 0;
  d.moveAve = 0;
  d.mode = 0;  // stamped records of six bytes, none skipped
  d.logRate = 0;
  d.records = 27 * 16300;
  d.recordsPerMessage = 1000;
  auto rs = makeRecords(d);
  const auto files = filesFor(d, rs);
  ASSERT_EQ(files.size(), 27u);
  EXPECT_EQ(files.back().name, "QV 05.Dec.06  14.05.33Z.dat");
  d.records += 1;
  rs = makeRecords(d);
  EXPECT_THROW(filesFor(d, rs), std::invalid_argument);
}

TEST(ExpectedFilesWriter, RefusesElapsedUploadsAndWritesBytesUnchanged) {
  UploadDescription d;
  d.records = 3;
  const auto rs = makeRecords(d);
  UploadDescription e = d;
  e.elapsed = true;
  EXPECT_THROW(expectedFiles(e, rs, planUpload(e, rs)), std::invalid_argument);

  const auto dir =
      std::filesystem::temp_directory_path() / ("meter_sim_expect_" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  const auto files = filesFor(d, rs);
  writeExpectedFiles(dir.string(), files);
  std::ifstream in(dir / "QV 05.Dec.06  14.05.33.dat", std::ios::binary);
  std::stringstream got;
  got << in.rdbuf();
  EXPECT_EQ(got.str(), files[0].content);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kestrand::meter_sim
