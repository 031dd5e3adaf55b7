#include "view/csv.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <string>

#include "core/error.h"

namespace kestrand::view {
namespace {

const std::string kTitles = "\"Date\",\"Time\",\"X-Point\",\"Probe\",\"Units\"\r\n";

std::string written(const store::SampleTable& t) {
  std::string out;
  WriteCsv(t, [&](std::string_view bytes) { out += bytes; });
  return out;
}

TEST(WriteCsv, QuotedTextsBarePointNumbersOneLinePerSample) {
  store::SampleTable t;
  t.NumSamples = 2;
  t.ColUsed[0] = t.ColUsed[4] = t.ColUsed[23] = 1;
  const float x[] = {12.5f, 0.5f}, y[] = {-0.25f, 0.0f};
  for (int j = 0; j < 2; ++j) {
    t.SampleData(0, j) = x[j];
    t.SampleData(4, j) = y[j];
    t.MoveAvgData[j] = -2.0f;
    t.SampleDate[j] = "01/15/2006";
    t.SampleTime[j] = "02:05:0" + std::to_string(j) + " PM";
  }
  t.SampleProbe[0] = "QV-1100";
  t.SampleUnits[0] = "mW/cm\xB2";
  EXPECT_EQ(written(t),
            "\"Date\",\"Time\",\"X-Point\",\"Y-Point\",\"Move-Avg\",\"Probe\",\"Units\"\r\n"
            "\"01/15/2006\",\"02:05:00 PM\",12.5,-.25,-2,\"QV-1100\",\"mW/cm\xB2\"\r\n"
            "\"01/15/2006\",\"02:05:01 PM\",.5,0,-2,\"\",\"\"\r\n");
}

struct Opened {
  store::SampleTable t;
  store::HeaderFields h;
  CsvOpened r;
  explicit Opened(const std::string& content) { r = OpenCsvContent(content, t, h); }
};

TEST(OpenCsv, TitlesDecideTheColumns) {
  // "Field" lands in column 12; blanks inside titles vanish; nothing after "Units" is read.
  Opened o(
      "\"Date\",\"Field\",\" Z - Data \",\"Units\",\"X-Point\"\r\n\"d0\",12,-.5,\"V/m\",99\r\n");
  EXPECT_EQ(o.t.NumSamples, 1);
  for (int k = 0; k < 25; ++k) {
    EXPECT_EQ(o.t.ColUsed[k], k == 20 ? 1 : k == 12 ? 2 : k == 19 ? 3 : k == 24 ? 4 : 0) << k;
  }
  EXPECT_EQ(o.t.SampleDate[0] + "|" + o.t.SampleUnits[0], "d0|V/m");
  EXPECT_EQ(o.t.SampleData(12, 0), 12.0f);  // two characters, read all the same
  EXPECT_EQ(o.t.SampleData(19, 0), -0.5f);
  EXPECT_EQ(o.t.SampleData(0, 0), 0.0f);  // after "Units" nothing is read

  // Unknown titles take no position: the rows are there, no column is in use.
  Opened unknown(
      "\"Weight\",\"Height\",\"Colour\"\r\n1.5,2.5,\"blue sky\"\r\n3.5,4.5,\"red sky\"\r\n");
  EXPECT_EQ(unknown.t.NumSamples, 2);
  EXPECT_FALSE(hasColumnsInUse(unknown.t));
}

TEST(OpenCsv, ShortLinesAreReadAsRowsAndTheLinesTheyPushOutAreCounted) {
  // A blank line is not counted but still read as a row, so the last line is left unread. A
  // value that is no number fails its line; the line's other fields are kept.
  Opened o(kTitles +
           "\"d0\",\"t0\",1.5,\"QV-1100\",\"V/m\"\r\n"
           "\r\n"
           "\"d2\",\"t2\",abc,\"M-Avg= 720\",\"A/m\"\r"
           "\"d3\",\"t3\",3.5e1,\"\",\"V/m\"\n"
           "\"d4\",\"t4\",4.5,\"\",\"V/m\"");
  EXPECT_EQ(o.t.NumSamples, 4);
  EXPECT_EQ(o.t.SampleDate[1], "");
  EXPECT_EQ(o.t.SampleDate[2] + o.t.SampleProbe[2] + o.t.SampleUnits[2], "d2M-Avg= 720A/m");
  EXPECT_EQ(o.r.messages, std::vector<std::string>{"Error on Open!  Type mismatch: abc"});
  EXPECT_EQ(o.t.SampleData(0, 3), 35.0f);
  EXPECT_EQ(o.h.ProbeName + "|" + o.h.MoveAveText, "QV-1100| 720");
  EXPECT_EQ(o.r.linesLost, 1);

  // Lines of 16 characters count, of 15 do not; a spreadsheet's byte-order mark is skipped.
  const std::string sixteen = "\"X-Point\",\"Time\"\r\n";
  Opened edge("\xEF\xBB\xBF" + sixteen + std::string(13, ' ') + "2.5\r\n" + std::string(12, ' ') +
              "1.5\r\n" + std::string(13, ' ') + "3.5\r\n");
  EXPECT_EQ(edge.t.NumSamples, 2);
  EXPECT_EQ(edge.t.ColUsed[0], 1);
  EXPECT_EQ(edge.t.SampleData(0, 1), 1.5f);
  EXPECT_EQ(edge.r.linesLost, 1);
}

TEST(OpenCsv, AtMostSixteenThousandThreeHundredSamples) {
  const std::string line = "\"d\",\"t\",1.25,\"\",\"V/m\"\r\n";
  for (const int data : {16299, 16300, 16301}) {
    std::string content = kTitles;
    for (int j = 0; j < data; ++j) content += line;
    const Opened o(content);
    EXPECT_EQ(o.r.count.overLimit, data >= 16300) << data;
    EXPECT_EQ(o.t.NumSamples, std::min(data, 16300)) << data;
    EXPECT_EQ(o.t.SampleData(0, o.t.NumSamples - 1), 1.25f);
  }
}

TEST(OpenCsv, WhatNoSavedFileHoldsIsRefusedBeforeTheTableChanges) {
  const struct {
    std::string content;
    const char* error;  // the start of the failure's text; "" for none
  } rows[] = {
      {kTitles + std::string(1024, '1'), ""},
      {kTitles + std::string(1025, '1'), "Line 2 is longer than any line of a saved data file"},
      {kTitles + "1.5\r\n\"d\",\"t\",\x01\r\n",
       "Line 3 holds a character that no text has (code 1)"},
      {kTitles + std::string(1, '\0'), "Line 2 holds a character that no text has (code 0)"},
      {std::string(kMaxCsvBytes + 1, '\n'), "The file is longer than a saved data file can be"},
  };
  for (const auto& row : rows) {
    store::SampleTable t;
    store::HeaderFields h;
    std::string error;
    try {
      OpenCsvContent(row.content, t, h);
    } catch (const Error& e) {
      error = e.description();
    }
    EXPECT_EQ(error.substr(0, std::string(row.error).size()), row.error);
    EXPECT_EQ(t.NumSamples, *row.error ? 0 : 1);
  }
}

TEST(OpenCsv, WrittenReadBackAndWrittenAgainGivesTheSameBytes) {
  // Random values of every magnitude in random columns, with the moving average.
  std::mt19937 gen(20060115);
  std::uniform_int_distribution<std::uint32_t> bits;
  for (int round = 0; round < 20; ++round) {
    store::SampleTable t;
    t.NumSamples = 200;
    // Not column 16: its title "Field" reads back as column 12's.
    for (int k = 0; k < 20; ++k) t.ColUsed[k] = k != 16 && bits(gen) % 4 == 0;
    t.ColUsed[23] = round % 2 == 1;
    for (int j = 0; j < t.NumSamples; ++j) {
      for (int k = 0; k < 21; ++k) {
        float v = std::bit_cast<float>(bits(gen));
        (k == 20 ? t.MoveAvgData[j] : t.SampleData(k, j)) = std::isfinite(v) ? v : 1.0f;
      }
      t.SampleDate[j] = "01/" + std::to_string(j % 28 + 1) + "/2006";
      t.SampleTime[j] = std::to_string(j) + " s";
      t.SampleUnits[j] = j % 3 ? "V/m" : "";
    }
    t.SampleProbe[0] = "QV-1100";
    const std::string first = written(t);
    Opened back(first);
    ASSERT_TRUE(back.r.messages.empty());
    ASSERT_EQ(written(back.t), first);
  }
}

}  // namespace
}  // namespace kestrand::view
