// The command line.

#include <gtest/gtest.h>

#include "tools/meter_sim/options.h"

namespace kestrand::meter_sim {
namespace {

ParsedOptions parse(std::vector<std::string> args) {
  return parseOptions(args);
}

TEST(CommandLine, DefaultsWithALink) {
  const auto p = parse({"--link", "/tmp/ttyMeter"});
  ASSERT_EQ(p.error, "");
  const Options& o = p.options;
  EXPECT_EQ(o.linkPath, "/tmp/ttyMeter");
  EXPECT_EQ(o.session.connectTimeoutS, 30);
  EXPECT_EQ(o.session.ackTimeoutMs, 3000);
  EXPECT_EQ(o.upload.columns, 1);
  EXPECT_EQ(o.upload.moveAve, 0);
  EXPECT_EQ(o.upload.fileNumber, 7u);
  EXPECT_EQ(o.upload.recordsPerMessage, 20u);
  EXPECT_EQ(o.upload.units, 0);
  EXPECT_EQ(o.upload.start, (CivilTime{2006, 12, 5, 14, 5, 33}));
  EXPECT_FALSE(o.session.pauseBefore.has_value());
  EXPECT_FALSE(o.session.badChecksum.has_value());
}

TEST(CommandLine, UploadValuesBothSpellings) {
  const auto p = parse({"--device=/dev/ttyS1",
                        "--probe",
                        "15",
                        "--mode=2",
                        "--log-rate",
                        "8",
                        "--columns",
                        "0x8001",
                        "--move-avg",
                        "65535",
                        "--period-on",
                        "4294967295",
                        "--period-off=0",
                        "--start",
                        "2010-01-15 00:00:09",
                        "--records",
                        "0",
                        "--units",
                        "255",
                        "--seed",
                        "18446744073709551615"});
  ASSERT_EQ(p.error, "");
  const UploadDescription& u = p.options.upload;
  EXPECT_EQ(p.options.devicePath, "/dev/ttyS1");
  EXPECT_EQ(u.probe, 15);
  EXPECT_EQ(u.mode, 2);
  EXPECT_EQ(u.logRate, 8);
  EXPECT_EQ(u.columns, 0x8001);
  EXPECT_EQ(u.moveAve, 65535);
  EXPECT_EQ(u.periodOn, 4294967295u);
  EXPECT_EQ(u.start, (CivilTime{2010, 1, 15, 0, 0, 9}));
  EXPECT_EQ(u.records, 0u);
  EXPECT_EQ(u.units, 255);
  EXPECT_EQ(u.seed, 18446744073709551615ull);
}

TEST(CommandLine, RangesAreEnforced) {
  EXPECT_NE(parse({"--link", "x", "--probe", "16"}).error, "");
  EXPECT_NE(parse({"--link", "x", "--mode", "4"}).error, "");
  EXPECT_NE(parse({"--link", "x", "--log-rate", "16"}).error, "");
  EXPECT_NE(parse({"--link", "x", "--columns", "65536"}).error, "");
  EXPECT_NE(parse({"--link", "x", "--units", "256"}).error, "");
  EXPECT_NE(parse({"--link", "x", "--period-on", "4294967296"}).error, "");
  EXPECT_NE(parse({"--link", "x", "--records-per-message", "0"}).error, "");
  EXPECT_NE(parse({"--link", "x", "--probe", "-1"}).error, "");
  EXPECT_NE(parse({"--link", "x", "--probe", "3x"}).error, "");
  EXPECT_NE(parse({"--link", "x", "--start", "1996-12-31 23:59:59"}).error, "");
  EXPECT_NE(parse({"--link", "x", "--start", "2020-01-01 00:00:00"}).error, "");
  EXPECT_EQ(parse({"--link", "x", "--start", "2019-06-05 23:59:59"}).error, "");
}

TEST(CommandLine, CombinationsThatCannotWork) {
  EXPECT_NE(parse({}).error, "");
  EXPECT_NE(parse({"--link", "a", "--device", "b"}).error, "");
  EXPECT_NE(parse({"--link", "a", "--elapsed", "--expect-dir", "d"}).error, "");
  EXPECT_NE(parse({"--link", "a", "--pause-before", "2"}).error, "");
  EXPECT_NE(parse({"--link", "a", "--pause-ms", "2"}).error, "");
  EXPECT_NE(parse({"--link", "a", "--no-header", "--bad-checksum", "0"}).error, "");
  EXPECT_NE(parse({"--link", "a", "--stuffing-heavy", "--units", "3"}).error, "");
  EXPECT_NE(parse({"--link", "a", "--frobnicate"}).error, "");
  EXPECT_NE(parse({"--link"}).error, "");
  EXPECT_NE(parse({"--link", "a", "--noise=1"}).error, "");
  EXPECT_EQ(parse({"--help"}).error, "");
  EXPECT_TRUE(parse({"--help"}).options.help);
}

}  // namespace
}  // namespace kestrand::meter_sim
