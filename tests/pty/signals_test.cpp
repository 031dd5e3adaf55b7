// The headless receiver's signals: a reader that went away must not stop an upload, and SIGHUP
// ends the receiver like SIGTERM.

#include <gtest/gtest.h>

#include "tests/pty/process.h"

namespace kestrand::testing {
namespace {

using namespace std::chrono_literals;

TEST(Signals, ClosedStandardOutputKeepsTheUploadAndSighupEndsTheReceiver) {
  TempDir data, expect;
  const std::string link = data / "meter-tty";
  Process meter({KESTRAND_SIM, "--link", link, "--expect-dir", expect.path, "--records", "200",
                 "--records-per-message", "20"},
                expect / "sim.out", expect / "sim.err");
  ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(link); }, 10s));
  // bash hands the receiver a standard output whose reader has already ended.
  Process receiver({"/bin/bash", "-c", "exec \"$0\" \"$@\" > >(exec true)", KESTRAND_CLI, "receive",
                    "--port", link, "--data-dir", data.path},
                   expect / "cli.out", expect / "cli.err");
  EXPECT_EQ(meter.wait(60s), 0) << slurp(expect / "sim.err");
  // The new file's list entry went to the closed pipe; the receiver is still waiting.
  EXPECT_EQ(receiver.wait(1s), -1) << slurp(expect / "cli.err");
  receiver.signal(SIGHUP);
  EXPECT_EQ(receiver.wait(10s), 0) << slurp(expect / "cli.err");
  const auto expected = rawFiles(expect.path);
  ASSERT_EQ(expected.size(), 1u);
  EXPECT_TRUE(rawFiles(data.path) == expected);
}

}  // namespace
}  // namespace kestrand::testing
