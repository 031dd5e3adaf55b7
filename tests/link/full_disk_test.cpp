// The raw data file never ends in part of a line: a write cut short or a refused sync cuts the
// file back to its last committed line and keeps the lines for a later try.

#include <gtest/gtest.h>

#include "link/upload_writer.h"
#include "platform/fake/memory_file_system.h"

namespace kestrand::testing {
namespace {

using link::UploadWriter;

// Hands `lines` to the writer and commits; true when the commit succeeded.
bool commit(UploadWriter& w, std::initializer_list<const char*> lines) try {
  for (const char* l : lines) w.writeLine(l);
  w.commit();
  return true;
} catch (const Error&) {
  return false;
}

TEST(FullDisk, FailedCommitCutsBackToTheLastWholeLineAndKeepsTheLines) {
  // Space runs out inside the second line, inside the first, before it; a refused sync. Then
  // the kept lines are written on the next commit, or dropped for the resent message's own.
  const std::string path = "/data/QV.dat";
  for (std::uint64_t space : {6u, 1u, 0u, 100u}) {
    for (bool resend : {false, true}) {
      platform::fake::MemoryFileSystem fs;
      UploadWriter w(fs);
      w.create(path);
      ASSERT_TRUE(commit(w, {"H1\n", "H2\n"}));
      fs.freeBytes = space;
      if (space == 100u) fs.refuseSync.insert(path);
      EXPECT_FALSE(commit(w, {"R 1\n", "V 2.5\n"})) << space;
      EXPECT_EQ(fs.files[path], "H1\nH2\n") << space;
      EXPECT_EQ(fs.durable(path), "H1\nH2\n") << space;
      fs.freeBytes += 100;  // space returns; the cut-off bytes were given back
      fs.refuseSync.clear();
      if (resend) w.discardPending();
      ASSERT_TRUE(resend ? commit(w, {"R 1\n", "V 2.5\n"}) : commit(w, {}));
      EXPECT_EQ(fs.durable(path), "H1\nH2\nR 1\nV 2.5\n") << space;
      EXPECT_EQ(fs.freeBytes, space + 100u - 10u) << space;
    }
  }
  // A close that cannot commit leaves whole lines too, and releases the file.
  platform::fake::MemoryFileSystem fs;
  UploadWriter w(fs);
  w.create(path);
  ASSERT_TRUE(commit(w, {"H1\n"}));
  w.writeLine("R 1\n");
  fs.freeBytes = 1;
  EXPECT_THROW(w.close(), Error);
  EXPECT_FALSE(w.isOpen());
  EXPECT_EQ(fs.openFiles, 0);
  EXPECT_EQ(fs.files[path], "H1\n");
}

}  // namespace
}  // namespace kestrand::testing
