// The headless receiver's signals: a reader that went away must not stop an upload, SIGHUP
// ends the receiver like SIGTERM, and SIGTERM ends it at once whatever lies at the new file's
// name.

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

TEST(Signals, ALinkOrAFifoAtTheNewFilesNameIsLeftAloneAndTheHeaderRefused) {
  for (const bool fifo : {false, true}) {
    TempDir data, expect, elsewhere;
    const std::string link = data / "meter-tty", name = "QV 06.Dec.06  09.00.00.dat";
    if (fifo) {
      ::mkfifo((data / name).c_str(), 0644);
    } else {
      std::filesystem::create_symlink(elsewhere / "taken.dat", data / name);
    }
    Process meter({KESTRAND_SIM, "--link", link, "--records", "40", "--resends", "2", "--start",
                   "2006-12-06 09:00:00"},
                  expect / "sim.out", expect / "sim.err");
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(link); }, 10s));
    Process receiver({KESTRAND_CLI, "receive", "--port", link, "--data-dir", data.path},
                     expect / "cli.out", expect / "cli.err");
    EXPECT_EQ(meter.wait(30s), 1) << slurp(expect / "sim.out");  // the header stayed refused
    receiver.signal(SIGTERM);
    EXPECT_EQ(receiver.wait(1s), 0) << fifo;
    const std::string err = slurp(expect / "cli.err");
    EXPECT_NE(err.find("Not a regular file: " + data / name), std::string::npos) << err;
    EXPECT_EQ(std::filesystem::is_fifo(data / name), fifo);
    EXPECT_EQ(std::filesystem::is_symlink(data / name), !fifo);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path));
  }
}

}  // namespace
}  // namespace kestrand::testing
