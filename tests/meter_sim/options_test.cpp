// The command line.

#include <gtest/gtest.h>

#include "tools/meter_sim/options.h"

namespace kestrand::meter_sim {
namespace {

TEST(CommandLine, ValuesInBothSpellings) {
  const auto p =
      parseOptions({"--device=/dev/ttyS1", "--probe", "15", "--mode=2", "--columns", "0x8001",
                    "--move-avg", "65535", "--period-on", "4294967295", "--start",
                    "2010-01-15 00:00:09", "--records", "0", "--seed", "18446744073709551615"});
  ASSERT_EQ(p.error, "");
  const UploadDescription& u = p.options.upload;
  EXPECT_EQ(p.options.devicePath, "/dev/ttyS1");
  EXPECT_EQ(u.probe, 15);
  EXPECT_EQ(u.mode, 2);
  EXPECT_EQ(u.columns, 0x8001);
  EXPECT_EQ(u.moveAve, 65535);
  EXPECT_EQ(u.periodOn, 4294967295u);
  EXPECT_EQ(u.start, (CivilTime{2010, 1, 15, 0, 0, 9}));
  EXPECT_EQ(u.records, 0u);
  EXPECT_EQ(u.seed, 18446744073709551615ull);
}

TEST(CommandLine, RangesAndCombinationsThatCannotWork) {
  // clang-format off
  const std::vector<std::vector<std::string>> bad = {
      {"--probe", "16"}, {"--mode", "4"}, {"--log-rate", "16"}, {"--columns", "65536"},
      {"--units", "256"}, {"--period-on", "4294967296"}, {"--records-per-message", "0"},
      {"--probe", "-1"}, {"--probe", "3x"}, {"--start", "1996-12-31 23:59:59"},
      {"--start", "2020-01-01 00:00:00"}, {"--device", "b"}, {"--elapsed", "--expect-dir", "d"},
      {"--pause-before", "2"}, {"--pause-ms", "2"}, {"--no-header", "--bad-checksum", "0"},
      {"--stuffing-heavy", "--units", "3"}, {"--frobnicate"}, {"--noise=1"}, {"--seed"}};
  // clang-format on
  for (const auto& extra : bad) {
    std::vector<std::string> args{"--link", "x"};
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_NE(parseOptions(args).error, "") << ::testing::PrintToString(extra);
  }
  EXPECT_NE(parseOptions({}).error, "");
  EXPECT_EQ(parseOptions({"--link", "x", "--start", "2019-06-05 23:59:59"}).error, "");
  EXPECT_EQ(parseOptions({"--link", "x", "--pause-before", "2", "--pause-ms", "5"}).error, "");
  EXPECT_TRUE(parseOptions({"--help"}).options.help);
  EXPECT_EQ(parseOptions({"--help"}).error, "");
}

}  // namespace
}  // namespace kestrand::meter_sim
