#include "view/csv.h"

#include <gtest/gtest.h>

#include <string>

#include "view/grid.h"

namespace kestrand::view {
namespace {

std::string written(const store::SampleTable& t) {
  std::string out;
  WriteCsv(t, [&](std::string_view bytes) { out += bytes; });
  return out;
}

TEST(WriteCsv, QuotedTextsBarePointNumbersOneLinePerSample) {
  store::SampleTable t;
  t.NumSamples = 3;
  t.ColUsed[0] = t.ColUsed[4] = t.ColUsed[23] = 1;
  const float x[] = {12.5f, 0.5f, 1.0f / 3}, y[] = {-0.25f, 0.0f, 1234567.0f};
  for (int j = 0; j < 3; ++j) {
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
            "\"01/15/2006\",\"02:05:01 PM\",.5,0,-2,\"\",\"\"\r\n"
            "\"01/15/2006\",\"02:05:02 PM\",.3333333,1234567,-2,\"\",\"\"\r\n");
  t.NumSamples = 0;
  EXPECT_EQ(written(t),
            "\"Date\",\"Time\",\"X-Point\",\"Y-Point\",\"Move-Avg\",\"Probe\",\"Units\"\r\n");
}

struct Opened {
  store::SampleTable t;
  store::HeaderFields h;
  CsvReadResult r;
  explicit Opened(const std::string& content) { r = ReadCsvContent(content, t, h); }
};

TEST(ReadCsv, TitlesDecideTheColumns) {
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

TEST(ReadCsv, ShortLinesBadValuesAndTheLimit) {
  // A blank line is not counted but still read as a row, so the last line is left unread.
  Opened o(
      "\"Date\",\"Time\",\"X-Point\",\"Probe\",\"Units\"\n"
      "\"d0\",\"t0\",1.5,\"QV-1100\",\"V/m\"\r\n"
      "\r\n"
      "\"d2\",\"t2\",abc,\"M-Avg= 720\",\"V/m\"\r"
      "\"d3\",\"t3\",3.5e1,\"\",\"V/m\"\r\n"
      "\"d4\",\"t4\",4.5,\"\",\"V/m\"");
  EXPECT_EQ(o.t.NumSamples, 4);
  EXPECT_EQ(o.t.SampleDate[1], "");
  EXPECT_EQ(o.t.SampleDate[2] + o.t.SampleTime[2] + o.t.SampleProbe[2], "d2t2");  // up to abc
  EXPECT_EQ(o.r.messages, std::vector<std::string>{"Error on Open!  Type mismatch: abc"});
  EXPECT_EQ(o.t.SampleData(0, 3), 35.0f);
  EXPECT_EQ(o.t.SampleDate[4], "");
  EXPECT_EQ(o.h.ProbeName, "QV-1100");

  const std::string line = "\"d\",\"t\",1.25,\"\",\"V/m\"\r\n";
  for (const int data : {16299, 16300, 16301}) {
    std::string content = "\"Date\",\"Time\",\"X-Point\"\r\n";
    for (int j = 0; j < data; ++j) content += line;
    const CsvCount c = countCsvLines(content);
    EXPECT_EQ(c.overLimit, data >= 16300) << data;
    EXPECT_EQ(c.NumSamples(), std::min(data, 16300)) << data;
  }
}

}  // namespace
}  // namespace kestrand::view
