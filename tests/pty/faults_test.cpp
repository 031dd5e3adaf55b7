// The receiver against what goes wrong for real: a file-size limit standing for a full disk, a
// line whose far end goes away in the middle of an upload, and megabytes of noise.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <termios.h>

#include <csignal>
#include <filesystem>

#include "tests/pty/process.h"
#include "tests/serial/pty.h"

namespace kestrand::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The receiver's user and system CPU time in seconds, and its resident memory in kB.
double cpuSeconds(pid_t pid) {
  std::istringstream stat(slurp("/proc/" + std::to_string(pid) + "/stat"));
  std::string field;
  for (int i = 1; i <= 13; ++i) stat >> field;
  double utime = 0, stime = 0;
  stat >> utime >> stime;
  return (utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}
long residentKb(pid_t pid) {
  const std::string status = slurp("/proc/" + std::to_string(pid) + "/status");
  return std::stol(status.substr(status.find("VmRSS:") + 6));
}
// Whether the process holds a raw data file open.
bool holdsRawFile(pid_t pid) {
  for (const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
    std::error_code ec;
    if (fs::read_symlink(e.path(), ec).string().ends_with(".dat")) return true;
  }
  return false;
}

void limitFileSize() {
  rlimit r{};
  ::getrlimit(RLIMIT_FSIZE, &r);
  r.rlim_cur = 3000;
  ::setrlimit(RLIMIT_FSIZE, &r);
}

TEST(Faults, UnderAFileSizeLimitEveryAcknowledgedRecordIsStoredWholeAndNothingElse) {
  TempDir data, expect;
  const std::string link = data / "meter-tty";
  Process meter({KESTRAND_SIM, "--link", link, "--expect-dir", expect.path, "--records", "400",
                 "--records-per-message", "20", "--resends", "2"},
                expect / "sim.out", expect / "sim.err");
  ASSERT_TRUE(waitFor([&] { return fs::exists(link); }, 10s));
  Process receiver({KESTRAND_CLI, "receive", "--port", link, "--data-dir", data.path}, "/dev/null",
                   "/dev/null", {}, limitFileSize);
  EXPECT_EQ(meter.wait(60s), 1);  // a message stayed refused
  const std::string out = slurp(expect / "sim.out");
  EXPECT_NE(out.find("refused 3 times"), std::string::npos) << out;
  EXPECT_EQ(out.find("messages acknowledged: 0 "), std::string::npos) << out;
  receiver.signal(SIGTERM);
  EXPECT_EQ(receiver.wait(5s), 0);
  const auto want = rawFiles(expect.path), got = rawFiles(data.path);
  ASSERT_EQ(want.size(), 1u);
  EXPECT_EQ(got, want) << out;
}

TEST(Faults, LineGoneMidUploadIsNoticedIdleAndReopenedWhenItIsBack) {
  TempDir data, expect;
  const std::string link = data / "meter-tty";
  Process first({KESTRAND_SIM, "--link", link, "--records", "100", "--pause-before", "3",
                 "--pause-ms", "60000"},
                expect / "first.out", expect / "first.err");
  ASSERT_TRUE(waitFor([&] { return fs::exists(link); }, 10s));
  Process receiver({KESTRAND_CLI, "receive", "--port", link, "--data-dir", data.path},
                   expect / "cli.out", expect / "cli.err");
  // Messages 1 and 2 (20 records of two lines each) are stored, then the meter pauses.
  ASSERT_TRUE(waitFor(
      [&] {
        const auto files = rawFiles(data.path);
        return !files.empty() && std::count(files.begin()->second.begin(),
                                            files.begin()->second.end(), '\n') == 2 + 80;
      },
      10s));
  first.signal(SIGKILL);  // the meter's end of the line goes away mid-upload
  first.wait(5s);
  // Its link is left behind: remove it, so that the receiver cannot meet another test's line
  // under the same terminal number.
  fs::remove(link);
  ASSERT_TRUE(waitFor([&] { return !holdsRawFile(receiver.pid()); }, 3s));
  const double cpu = cpuSeconds(receiver.pid());
  std::this_thread::sleep_for(5s);
  EXPECT_LT(cpuSeconds(receiver.pid()) - cpu, 0.25);
  EXPECT_NE(slurp(expect / "cli.err").find("Port lost: " + link), std::string::npos);

  Process second({KESTRAND_SIM, "--link", link, "--expect-dir", expect.path, "--records", "100",
                  "--start", "2006-12-06 09:00:00"},
                 expect / "second.out", expect / "second.err");
  EXPECT_EQ(second.wait(30s), 0) << slurp(expect / "second.out");
  receiver.signal(SIGTERM);
  EXPECT_EQ(receiver.wait(5s), 0);
  const std::string name = "QV 06.Dec.06  09.00.00.dat";
  EXPECT_EQ(slurp(data / name), slurp(expect / name));
  EXPECT_NE(slurp(expect / "cli.err").find("Port open again: " + link), std::string::npos);
}

TEST(Faults, MegabytesOfNoiseLeaveMemoryFlatAndTheNextUploadExact) {
  TempDir data;
  test::Pty pty;
  termios t{};
  ::tcgetattr(pty.slave, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(pty.slave, TCSANOW, &t);
  Process receiver({KESTRAND_CLI, "receive", "--port", pty.slavePath, "--data-dir", data.path},
                   "/dev/null", "/dev/null");
  std::this_thread::sleep_for(500ms);
  [[maybe_unused]] const long before = residentKb(receiver.pid());
  std::string noise(8 << 20, ' ');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(0x20 + i * 7 % 95);
  pty.send(noise);  // blocks while the receiver lags behind
  ::fcntl(pty.master, F_SETFL, O_NONBLOCK);
  std::this_thread::sleep_for(500ms);
#ifndef __SANITIZE_ADDRESS__  // the sanitizer's own bookkeeping grows with every allocation
  EXPECT_LT(residentKb(receiver.pid()) - before, 2048);
#endif
  // The worked header and one record (tag 1, value 100.0) as the last message, each answered.
  for (const std::string& m :
       {std::string("\x10\x01\x01\x23\x45\x67\x34\x80\x00\x01\x00\x00\x85\x10\x03", 15),
        std::string("\x10\x02\x81\x02\x23\xE8\x8E\x10\x04", 9)}) {
    pty.send(m);
    char c = 0;
    EXPECT_TRUE(waitFor([&] { return ::read(pty.master, &c, 1) == 1 && c == 6; }, 2s));
  }
  receiver.signal(SIGTERM);
  receiver.wait(5s);
  EXPECT_EQ(slurp(data / "QV 05.Feb.97  14.53.13.dat"),
            "\"02/05/1997\",\"2:53:13 PM\",3,1\r\n2,1,0\r\n1,2\r\n100\r\n");
}

}  // namespace
}  // namespace kestrand::testing
