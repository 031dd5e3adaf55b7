// The files of an upload and the times of its samples across them.

#include "store/whole_upload.h"

#include <gtest/gtest.h>

#include "tests/fakes/memory_file_system.h"

namespace kestrand::testing {
namespace {

TEST(WholeUpload, ThePeriodicClockRunsOnFromTheFirstFilesStartAcrossItsFiles) {
  // 3 s on, 10 s off, a sample a second: offsets 0, 1, 2, 13, 14, 15, 26 ...
  store::HeaderFields first;
  first.SampDate = "12/05/2006";
  first.SampTime = "11:59:50 PM";
  first.LogMode = 2;
  first.LogRate = 1;
  first.PeriodOn = 3;
  first.PeriodOff = 10;
  store::SampleTable firstTable;
  firstTable.NumSamples = 2;
  auto clock = store::UploadClock::of(first, firstTable, 3);
  ASSERT_TRUE(clock);
  clock->skip(2);  // the first file: offsets 0 and 1
  store::SampleTable next;
  next.NumSamples = 3;
  clock->retime(next);  // offsets 2, 13, 14: midnight falls in the pause
  store::SampleTable last;
  last.NumSamples = 2;
  clock->retime(last);  // offsets 15 and 26
  std::string times;
  for (const store::SampleTable* t : {&next, &last}) {
    for (std::size_t j = 0; j < static_cast<std::size_t>(t->NumSamples); ++j)
      times += t->SampleDate[j] + " " + t->SampleTime[j] + "|";
  }
  EXPECT_EQ(times,
            "12/05/2006 11:59:52 PM|12/06/2006 12:00:03 AM|12/06/2006 12:00:04 AM|"
            "12/06/2006 12:00:05 AM|12/06/2006 12:00:16 AM|");
  // Without every text: the same instants, and the texts of the first and last samples only.
  auto sparse = store::UploadClock::of(first, firstTable, 3);
  sparse->skip(2);
  store::SampleTable few;
  few.NumSamples = 3;
  few.SampleTime[1] = "kept";
  sparse->retime(few, false);
  EXPECT_EQ(few.SampleDate[0] + " " + few.SampleTime[0], "12/05/2006 11:59:52 PM");
  EXPECT_EQ(few.SampleTime[1], "kept");
  EXPECT_EQ(few.SampleDate[2] + " " + few.SampleTime[2], "12/06/2006 12:00:04 AM");
  for (std::size_t j = 0; j < 3; ++j) EXPECT_EQ(few.instants[j], next.instants[j]) << j;
  first.LogMode = 0;  // records with times of their own keep them
  EXPECT_FALSE(store::UploadClock::of(first, firstTable, 3));

  store::HeaderFields other = first;
  other.DataFormat = 3;
  EXPECT_EQ(store::notAContinuation(first, other), "other columns");
  other = first;
  other.PeriodOff = 11;
  EXPECT_EQ(store::notAContinuation(first, other), "other periods");
  EXPECT_EQ(store::notAContinuation(first, first), std::nullopt);
}

TEST(WholeUpload, FilesInLetterOrderFromTheFirstUpToAGap) {
  ports::fake::MemoryFileSystem fs;
  for (const char* name : {"QV x 14.05.33.dat", "QV x 14.05.33A.dat", "QV x 14.05.33C.dat"})
    fs.files[std::string("/d/") + name] = "";
  const auto files = store::uploadFiles(fs, "/d", "QV x 14.05.33A.dat");
  EXPECT_EQ(files.names, (std::vector<std::string>{"QV x 14.05.33.dat", "QV x 14.05.33A.dat"}));
  EXPECT_EQ(files.missing, "QV x 14.05.33B.dat");
  fs.files.erase("/d/QV x 14.05.33.dat");  // without its first file the upload has none
  const auto orphan = store::uploadFiles(fs, "/d", "QV x 14.05.33C.dat");
  EXPECT_TRUE(orphan.names.empty());
  EXPECT_EQ(orphan.missing, "QV x 14.05.33.dat");
}

}  // namespace
}  // namespace kestrand::testing
