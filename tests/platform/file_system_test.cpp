// The one way files are replaced, on the real file system and on the tests' in-memory one. (What
// reading and writing refuse is shown through kestrand-cli in tests/cli.)

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <functional>
#include <random>

#include "adapters/posix/posix_file_system.h"
#include "tests/fakes/memory_file_system.h"
#include "tests/pty/process.h"

namespace kestrand::testing {
namespace {

using adapters::posix::PosixFileSystem;
namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;
constexpr uid_t kNobody = 65534;

// Runs `body` in a child process (as nobody when asked) for at most five seconds: 0 when it
// returned, 1 when it threw kestrand::Error, 128 + the signal when it was killed (14: it hung).
int inChild(const std::function<void()>& body, bool asNobody = false) {
  if (const pid_t pid = ::fork(); pid != 0) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  ::alarm(5);
  if (asNobody && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(3);
  try {
    body();
  } catch (const Error&) {
    ::_exit(1);
  }
  ::_exit(0);
}

TEST(Replace, AFailureAtAnyStepLeavesTheOldFileWholeAndNothingBeside) {
  std::mt19937 random(14);
  const auto text = [&random](std::size_t n) {
    std::string s;
    while (s.size() < n) s += static_cast<char>('a' + random() % 26);
    return s;
  };
  using Step = ports::fake::MemoryFileSystem::Step;
  for (int round = 0; round < 30; ++round) {
    ports::fake::MemoryFileSystem mem;
    const std::string old = text(random() % 100), fresh = text(2 + random() % 100);
    mem.files["/d/f.csv"] = old;
    mem.failReplaceAt = static_cast<Step>(round % 5);
    const bool fails = round % 5 != 0;
    if (fails) {
      EXPECT_THROW(mem.writeAll("/d/f.csv", fresh), Error) << round;
    } else {
      mem.writeAll("/d/f.csv", fresh);
    }
    EXPECT_EQ(mem.files, (Files{{"/d/f.csv", fails ? old : fresh}})) << round;
  }

  // The real one, where the machine lets a step fail: no file descriptor left for the temporary
  // file, a file-size limit part-way through the writing, and (as root) a rename that a sticky
  // directory refuses to nobody. A sync cannot be made to fail here; the fake covers it.
  for (int round = 0; round < 12; ++round) {
    const int step = round % 4;
    if (step == 3 && ::getuid() != 0) continue;
    const TempDir d;
    const std::string old = text(random() % 5000), fresh = text(2 + random() % 5000);
    std::ofstream(d / "f.csv") << old << std::flush;
    ::chmod(d.path.c_str(), step == 3 ? 01777 : 0700);
    ::chmod((d / "f.csv").c_str(), 0666);
    const rlim_t size = random() % fresh.size();
    const int status = inChild(
        [&] {
          rlimit limit{size, size};
          if (step == 1) limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(::dup(0));
          if (step != 0) ::setrlimit(step == 1 ? RLIMIT_NOFILE : RLIMIT_FSIZE, &limit);
          PosixFileSystem(d.path).writeAll(d / "f.csv", fresh);
        },
        step == 3);
    EXPECT_EQ(status, step == 0 ? 0 : 1) << round;
    EXPECT_TRUE(slurp(d / "f.csv") == (step == 0 ? fresh : old)) << round;
    EXPECT_EQ(std::distance(fs::directory_iterator(d.path), {}), 1) << round;
  }
}

TEST(Read, TheBoundTheRoomUsedAgainAndAFileLongerThanItSays) {
  // One room for the bytes of file after file: each read leaves that file's first bytes and no
  // more, whatever the room held before. A file of /proc says it is empty and still has text.
  const TempDir d;
  const PosixFileSystem pfs(d.path);
  std::string longer(200000, '\0'), shorter = "a\r\n";
  for (std::size_t i = 0; i < longer.size(); ++i) longer[i] = static_cast<char>(i * 7919 % 251);
  std::ofstream(d / "long", std::ios::binary) << longer << std::flush;
  std::ofstream(d / "short") << shorter << std::flush;
  std::ofstream(d / "empty") << std::flush;
  std::string room;
  pfs.readHeadInto(d / "long", 1 << 20, room);
  EXPECT_TRUE(room == longer);
  pfs.readHeadInto(d / "short", 1 << 20, room);
  EXPECT_EQ(room, shorter);
  pfs.readHeadInto(d / "long", 70001, room);
  EXPECT_TRUE(room == longer.substr(0, 70001));
  pfs.readHeadInto(d / "empty", 1 << 20, room);
  EXPECT_EQ(room, "");
  EXPECT_TRUE(pfs.readHead(d / "long", longer.size()) == longer);
  const std::string version = slurp("/proc/version");
  ASSERT_FALSE(version.empty());
  EXPECT_EQ(pfs.readHead("/proc/version", 1 << 20), version);
  EXPECT_EQ(pfs.readHead("/proc/version", 5), version.substr(0, 5));
  EXPECT_THROW(pfs.readHeadInto(d.path, 10, room), Error);  // a directory is refused
}

TEST(Replace, FollowsLinksKeepsModeAndOwnerAndReplacesNothingButARegularFile) {
  const TempDir d;
  PosixFileSystem pfs(d.path);
  std::ofstream(d / "real.csv") << "old";
  ::symlink("real.csv", (d / "l1").c_str());
  ::symlink((d / "l1").c_str(), (d / "l2").c_str());
  ::chmod((d / "real.csv").c_str(), 0640);
  const bool root = ::getuid() == 0;
  if (root) ::chown((d / "real.csv").c_str(), kNobody, kNobody);
  pfs.writeAll(d / "l2", "new");
  EXPECT_TRUE(fs::is_symlink(d / "l1") && fs::is_symlink(d / "l2"));
  EXPECT_EQ(slurp(d / "real.csv"), "new");
  struct stat st {};
  ASSERT_EQ(::stat((d / "real.csv").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_uid, root ? kNobody : ::getuid());

  // A FIFO with a reader is written through.
  ::mkfifo((d / "fifo").c_str(), 0644);
  const int reader = ::open((d / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
  pfs.writeAll(d / "fifo", "piped");
  char got[8] = {};
  EXPECT_EQ(::read(reader, got, sizeof got), 5);
  ::close(reader);
  // A device and a file nobody may write stay as they are.
  if (root) {
    ::mknod((d / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3));
    EXPECT_THROW(pfs.writeAll(d / "null", "x"), Error);
    EXPECT_TRUE(fs::is_character_file(d / "null"));
    ::chmod(d.path.c_str(), 0777);
    ::chmod((d / "real.csv").c_str(), 0444);
    EXPECT_EQ(inChild([&] { pfs.writeAll(d / "real.csv", "theirs"); }, true), 1);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(d.path), {}), root ? 5 : 4);  // nothing beside
  EXPECT_EQ(std::string(got) + slurp(d / "real.csv"), "pipednew");
}

}  // namespace
}  // namespace kestrand::testing
