#include "store/raw_format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/error.h"

namespace kestrand::store {
namespace {

TEST(FieldWriters, TextAndWholeNumbers) {
  EXPECT_EQ(textField("01/15/2006"), "\"01/15/2006\"");
  EXPECT_EQ(textField(""), "\"\"");
  EXPECT_EQ(intField(0), "0");
  EXPECT_EQ(intField(-12), "-12");
  EXPECT_EQ(intField(345), "345");
  EXPECT_EQ(intField(65535), "65535");
  EXPECT_EQ(intField(-2147483648LL), "-2147483648");
  EXPECT_EQ(rawLine({"1", "0"}), "1,0\r\n");
  EXPECT_EQ(rawLine({"12.3"}), "12.3\r\n");
  EXPECT_EQ(rawLine({}), "\r\n");
}

TEST(DoubleField, PositionalNotationWithFifteenSignificantDigits) {
  EXPECT_EQ(doubleField(100), "100");
  EXPECT_EQ(doubleField(0.124), "0.124");
  EXPECT_EQ(doubleField(81.91), "81.91");
  EXPECT_EQ(doubleField(-81.91), "-81.91");
  EXPECT_EQ(doubleField(0.00001), "0.00001");
  EXPECT_EQ(doubleField(1.5e-7), "0.00000015");
  EXPECT_EQ(doubleField(1e-20), "0.00000000000000000001");
  EXPECT_EQ(doubleField(-0.5), "-0.5");
  EXPECT_EQ(doubleField(12.5), "12.5");
  EXPECT_EQ(doubleField(1e15), "1000000000000000");
  EXPECT_EQ(doubleField(1e16), "10000000000000000");
  EXPECT_EQ(doubleField(999999999999999.0), "999999999999999");
  // Sixteen digits are rounded to fifteen; the carry may add a digit.
  EXPECT_EQ(doubleField(1234567890123456.0), "1234567890123460");
  EXPECT_EQ(doubleField(9999999999999999.0), "10000000000000000");
  EXPECT_EQ(doubleField(0.1 + 0.2), "0.3");
  EXPECT_EQ(doubleField(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(doubleField(2.0 / 3.0), "0.666666666666667");
  EXPECT_EQ(doubleField(0.9999999999999999), "1");
  EXPECT_EQ(doubleField(-1234.5678), "-1234.5678");
}

TEST(DoubleField, ZeroHasNoSign) {
  EXPECT_EQ(doubleField(0.0), "0");
  EXPECT_EQ(doubleField(-0.0), "0");
  EXPECT_EQ(doubleField(std::numeric_limits<double>::denorm_min()).substr(0, 4), "0.00");
}

TEST(SingleField, ShortestTextThatReadsBackAsTheSameSingle) {
  EXPECT_EQ(singleField(3.0f), "3");
  EXPECT_EQ(singleField(10.0f), "10");
  EXPECT_EQ(singleField(0.1f), "0.1");
  EXPECT_EQ(singleField(1.2f), "1.2");
  EXPECT_EQ(singleField(81.91f), "81.91");
  EXPECT_EQ(singleField(0.00001f), "0.00001");
  EXPECT_EQ(singleField(-0.5f), "-0.5");
  EXPECT_EQ(singleField(0.0f), "0");
  EXPECT_EQ(singleField(-0.0f), "0");
  EXPECT_EQ(singleField(1.0f / 3.0f), "0.33333334");
  EXPECT_EQ(singleField(16777216.0f), "16777216");
  EXPECT_EQ(singleField(1e10f), "10000000000");
  EXPECT_EQ(singleField(FLT_MAX), "340282350000000000000000000000000000000");

  // Any single goes there and back exactly, through the writer and the field reader.
  std::mt19937 gen(20060115);
  std::uniform_int_distribution<std::uint32_t> bits;
  int checked = 0;
  while (checked < 20000) {
    std::uint32_t b = bits(gen);
    float f;
    std::memcpy(&f, &b, sizeof f);
    if (!std::isfinite(f)) continue;
    ++checked;
    const std::string text = singleField(f);
    ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
    FieldReader in(text);
    const float back = in.readSingle();
    ASSERT_EQ(back, f) << text;  // a negative zero is written "0" and reads back as zero
  }
}

TEST(DoubleField, ValuesOfAtMostFifteenDigitsReadBackExactly) {
  for (double v : {12.345, 0.001, -0.25, 81.91, 65534.0, 123456.789, 0.000123, 1e15, 3.14159}) {
    const std::string text = doubleField(v);  // the reader only views its content
    FieldReader in(text);
    EXPECT_EQ(in.readDouble(), v) << text;
  }
}

TEST(RoundThousandths, NearestThousandthWithHalvesToEven) {
  EXPECT_DOUBLE_EQ(roundThousandths(12.3456), 12.346);
  EXPECT_DOUBLE_EQ(roundThousandths(12.3454), 12.345);
  EXPECT_DOUBLE_EQ(roundThousandths(-12.3456), -12.346);
  // Exact halves: 1062.5 goes down to the even 1062, 1187.5 up to the even 1188.
  EXPECT_EQ(roundThousandths(1.0625), 1.062);
  EXPECT_EQ(roundThousandths(1.1875), 1.188);
  EXPECT_EQ(roundThousandths(-1.0625), -1.062);
  EXPECT_EQ(roundThousandths(0.0), 0.0);
  // A rounded value is written without binary noise.
  EXPECT_EQ(doubleField(roundThousandths(81.9104)), "81.91");
  EXPECT_EQ(doubleField(roundThousandths(0.12449)), "0.124");
  EXPECT_EQ(doubleField(roundThousandths(0.0004)), "0");
}

HeaderFields exampleHeader() {
  HeaderFields h;
  h.SampDate = "01/15/2006";
  h.SampTime = "02:05:09 PM";
  h.ProbeType = 0;
  h.LogMode = 1;
  h.LogRate = 2;
  h.DataFormat = 9;
  h.MoveAve = 60;
  return h;
}

TEST(HeaderLines, ShortAndPeriodicForms) {
  HeaderFields h = exampleHeader();
  EXPECT_EQ(headerLine1(h, 1), "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n");
  EXPECT_EQ(headerLine2(h), "2,9,60\r\n");

  // The mode code is the file's, not the header's.
  h.ProbeType = 16;
  EXPECT_EQ(headerLine1(h, 4), "\"01/15/2006\",\"02:05:09 PM\",16,4\r\n");

  h.LogMode = 2;
  h.PeriodOn = 3.0f;
  h.PeriodOff = 10.0f;
  EXPECT_EQ(headerLine2(h), "2,9,60,3,10\r\n");
  h.PeriodOn = 0.5f;
  h.PeriodOff = 1.2f;
  EXPECT_EQ(headerLine2(h), "2,9,60,0.5,1.2\r\n");

  // Period fields belong to mode 2 only.
  h.LogMode = 3;
  EXPECT_EQ(headerLine2(h), "2,9,60\r\n");
}

// The example file: continuous mode, columns 0 and 3, moving average on, two records.
const std::string kExampleFile =
    "\"01/15/2006\",\"02:05:09 PM\",0,1\r\n"
    "2,9,60\r\n"
    "1,0\r\n"
    "12.3\r\n"
    "12.345\r\n"
    "12.1\r\n"
    "1,0\r\n"
    "12.4\r\n"
    "12.5\r\n"
    "12.2\r\n";

TEST(ExampleFile, WritersProduceItByteForByte) {
  const HeaderFields h = exampleHeader();
  std::string file = headerLine1(h, h.LogMode) + headerLine2(h);
  // Moving average written as decoded, column values rounded to thousandths.
  file += rawLine({intField(1), intField(0)});
  file += rawLine({doubleField(12.3)});
  file += rawLine({doubleField(roundThousandths(12.34512))});
  file += rawLine({doubleField(roundThousandths(12.0999999))});
  file += rawLine({intField(1), intField(0)});
  file += rawLine({doubleField(12.4)});
  file += rawLine({doubleField(roundThousandths(12.5004))});
  file += rawLine({doubleField(roundThousandths(12.1995))});
  EXPECT_EQ(file, kExampleFile);
}

TEST(ExampleFile, ReadsBackByTheRecordRules) {
  FieldReader in(kExampleFile);
  EXPECT_EQ(in.readText(), "01/15/2006");
  EXPECT_EQ(in.readText(), "02:05:09 PM");
  EXPECT_EQ(in.readInt16(), 0);
  const std::int16_t mode = in.readInt16();
  EXPECT_EQ(mode, 1);
  EXPECT_EQ(in.readInt16(), 2);
  const std::int32_t format = in.readInt32();
  const std::int32_t moveAve = in.readInt32();
  EXPECT_EQ(format, 9);
  EXPECT_EQ(moveAve, 60);

  struct Record {
    std::int16_t tag, units;
    float moveAvg;
    std::vector<float> values;
  };
  std::vector<Record> records;
  while (!in.atEnd()) {
    Record r{};
    r.tag = in.readInt16();
    r.units = in.readInt16();
    if (mode == 0 || mode == 4 || mode == 5) {
      in.readText();
      in.readText();
    }
    if (moveAve != 0) r.moveAvg = in.readSingle();
    for (int k = 0; k < 20; ++k) {
      if (format & (1 << k)) r.values.push_back(in.readSingle());
    }
    records.push_back(r);
  }
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].tag, 1);
  EXPECT_EQ(records[0].units, 0);
  EXPECT_EQ(records[0].moveAvg, 12.3f);
  EXPECT_EQ(records[0].values, (std::vector<float>{12.345f, 12.1f}));
  EXPECT_EQ(records[1].moveAvg, 12.4f);
  EXPECT_EQ(records[1].values, (std::vector<float>{12.5f, 12.2f}));
  EXPECT_EQ(in.position(), kExampleFile.size());
  EXPECT_THROW(in.readInt16(), Error);
}

}  // namespace
}  // namespace kestrand::store
