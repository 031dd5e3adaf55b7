// The raw data file never ends in part of a line: a write cut short or a refused sync cuts the
// file back to its last committed line and keeps the lines for a later try.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "link/upload_writer.h"
#include "platform/fake/memory_file_system.h"
#include "platform/posix/posix_file_system.h"

namespace kestrand::testing {
namespace {

using link::UploadWriter;
using platform::fake::MemoryFileSystem;

const std::string kPath = "/data/QV.dat";

struct Rig {
  Rig() { writer.create(kPath); }
  // Hands `lines` to the writer and commits; true when the commit succeeded.
  bool commit(std::initializer_list<const char*> lines) {
    for (const char* l : lines) writer.writeLine(l);
    try {
      writer.commit();
      return true;
    } catch (const Error&) {
      return false;
    }
  }
  MemoryFileSystem fs;
  UploadWriter writer{fs};
};

TEST(FullDisk, FailedCommitCutsBackToTheLastWholeLineAndKeepsTheLines) {
  // Space runs out inside the second line; then inside the first; a refused sync.
  for (std::uint64_t space : {6u, 1u, 0u, 100u}) {
    Rig r;
    ASSERT_TRUE(r.commit({"H1\n", "H2\n"}));
    r.fs.freeBytes = space;
    if (space == 100u) r.fs.refuseSync.insert(kPath);
    EXPECT_FALSE(r.commit({"R 1\n", "V 2.5\n"})) << space;
    EXPECT_EQ(r.fs.files[kPath], "H1\nH2\n") << space;
    EXPECT_EQ(r.fs.durable(kPath), "H1\nH2\n") << space;
    EXPECT_EQ(r.writer.committedSize(), 6u);
    // Space returns: the kept lines and the ones added since are written once, whole.
    r.fs.freeBytes = MemoryFileSystem::kUnlimited;
    r.fs.refuseSync.clear();
    ASSERT_TRUE(r.commit({"R 3\n"})) << space;
    EXPECT_EQ(r.fs.durable(kPath), "H1\nH2\nR 1\nV 2.5\nR 3\n") << space;
    EXPECT_FALSE(r.writer.hasPending());
  }
}

TEST(FullDisk, DiscardedLinesOfARefusedMessageAreWrittenOnceByItsResend) {
  Rig r;
  ASSERT_TRUE(r.commit({"H1\n"}));
  r.fs.freeBytes = 2;
  ASSERT_FALSE(r.commit({"R 1\n"}));
  r.writer.discardPending();
  r.fs.freeBytes = 100;
  ASSERT_TRUE(r.commit({"R 1\n"}));
  EXPECT_EQ(r.fs.durable(kPath), "H1\nR 1\n");
  EXPECT_EQ(r.fs.freeBytes, 96u);  // the cut-off byte was given back
}

TEST(FullDisk, CloseThatCannotCommitLeavesWholeLinesAndReleasesTheFile) {
  Rig r;
  ASSERT_TRUE(r.commit({"H1\n"}));
  r.writer.writeLine("R 1\n");
  r.fs.freeBytes = 1;
  EXPECT_THROW(r.writer.close(), Error);
  EXPECT_FALSE(r.writer.isOpen());
  EXPECT_EQ(r.fs.openFiles, 0);
  EXPECT_EQ(r.fs.files[kPath], "H1\n");
}

// Runs in a child process: the file-size limit of the process stands for a full disk.
[[noreturn]] void writeUnderFileSizeLimit() {
  auto require = [](bool ok, const char* what) {
    if (!ok) {
      std::fprintf(stderr, "failed: %s\n", what);
      std::_Exit(1);
    }
  };
  std::signal(SIGXFSZ, SIG_IGN);
  char dir[] = "/tmp/kestrand-fsize-XXXXXX";
  require(::mkdtemp(dir) != nullptr, "temporary directory");
  platform::posix::PosixFileSystem fs(dir);
  const std::string path = platform::joinPath(dir, "QV.dat");
  UploadWriter writer(fs);
  writer.create(path);
  const std::string line(19, 'x');
  auto commit = [&](int lines) {
    for (int i = 0; i < lines; ++i) writer.writeLine(line + "\n");
    try {
      writer.commit();
      return true;
    } catch (const Error&) {
      return false;
    }
  };
  require(commit(2), "commit under the limit");
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit low = old;
  low.rlim_cur = 64;
  require(::setrlimit(RLIMIT_FSIZE, &low) == 0, "lowering the file-size limit");
  require(!commit(2), "commit beyond the limit fails");
  require(fs.readAll(path) == line + "\n" + line + "\n", "file cut back to two lines");
  writer.discardPending();
  require(commit(0) && writer.committedSize() == 40, "nothing pending commits");
  writer.writeLine("R 1\n");
  require(commit(0) && fs.size(path) == 44, "a smaller payload fits");
  require(!commit(2), "a second commit beyond the limit fails");
  require(fs.size(path) == 44, "file cut back again");
  require(::setrlimit(RLIMIT_FSIZE, &old) == 0, "raising the limit again");
  require(commit(0), "commit once the limit is raised");
  const std::string two = line + "\n" + line + "\n";
  require(fs.readAll(path) == two + "R 1\n" + two, "each line once");
  writer.close();
  fs.remove(path);
  ::rmdir(dir);
  std::_Exit(0);
}

TEST(FullDisk, RealFileBeyondTheFileSizeLimitEndsInAWholeLine) {
  EXPECT_EXIT(writeUnderFileSizeLimit(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace kestrand::testing
