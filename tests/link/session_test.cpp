// The link on an in-memory data directory: header and data messages decoded into raw file lines,
// the list entries, the watchdog on its timer, and continuation files as they land on the file
// system. What the upload session decides alone is in upload_session_test.cpp.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/link/frames.h"

namespace kestrand::testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kWorkedHeader = "10 01 01 23 45 67 34 80 00 01 00 00 85 10 03";
// Stamp 01234567: day number 36 (5 February 1997), second 53593 (14:53:13).
const std::string kWorkedFile = "QV 05.Feb.97  14.53.13.dat";
const std::string kIncomplete = "Upload of data is incomplete\n\rCheck connections and retry";

TEST(Session, HeadersGiveTheFileNameAndItsTwoHeaderLines) {
  // clang-format off
  const HeaderBody periodic{.stamp = stamp(3626, 50733), .mode = 2, .dataFormat = 9,
                            .moveAve = 60, .longForm = true, .periodOn = 10, .periodOff = 50};
  HeaderBody shortPeriodic = periodic;
  shortPeriodic.longForm = false;
  const HeaderBody elapsed1{.stamp = 7, .probe = 2, .mode = 1, .rate = 0, .elapsed = true};
  const HeaderBody elapsed2{.stamp = 12345, .probe = 2, .mode = 2, .rate = 0, .elapsed = true};
  struct Row {
    std::string wire;
    link::FormatChoice formats;
    std::string name, lines;
  } rows[] = {
      {hex(kWorkedHeader), {}, kWorkedFile, "\"02/05/1997\",\"2:53:13 PM\",3,1\r\n2,1,0\r\n"},
      // 5 December 2006 14:05:33, periodic; bytes 13 and 14 being DLE ETX mark the short header.
      {headerFrame(periodic), {}, "QV 05.Dec.06  14.05.33.dat",
       "\"12/05/2006\",\"2:05:33 PM\",0,2\r\n1,9,60,10,50\r\n"},
      {headerFrame(shortPeriodic), {}, "QV 05.Dec.06  14.05.33.dat",
       "\"12/05/2006\",\"2:05:33 PM\",0,2\r\n1,9,60,0,0\r\n"},
      // Elapsed time: named by the clock and the file number; modes 1 and 2 are written 4, 5.
      {headerFrame(elapsed1), {}, "QV 05.Dec.26  10.00.00 File007.dat",
       "\"12/5/2026\",\"7\",18,4\r\n0,1,0\r\n"},
      {headerFrame(elapsed2), {}, "QV 05.Dec.26  10.00.00 File12345.dat",
       "\"12/5/2026\",\"12345\",18,5\r\n0,1,0\r\n"},
      // Log rates above 7 keep their fourth bit.
      {headerFrame({.stamp = stamp(3626, 50733), .rate = 15}), {}, "QV 05.Dec.06  14.05.33.dat",
       "\"12/05/2006\",\"2:05:33 PM\",0,1\r\n15,1,0\r\n"},
      // The name keeps its fixed shape; the texts inside follow the display formats.
      {headerFrame({.stamp = stamp(3352, 47109)}), {7, 3}, "QV 06.Mar.06  13.05.09.dat",
       "\"06-Mar-2006\",\" 13:05:09\",0,1\r\n1,1,0\r\n"},
  };
  // clang-format on
  for (const Row& r : rows) {
    Link l;
    l.formats = r.formats;
    l.send(r.wire);
    EXPECT_EQ(l.CurrentFile(), r.name);
    EXPECT_EQ(l.file(r.name), r.lines) << r.name;
  }
}

TEST(Session, DataRecordsPerModeAndColumns) {
  // clang-format off
  struct Row {
    HeaderBody head;
    std::string body, records;
  } rows[] = {
      {{}, "81 02 23 E8", "1,2\r\n100\r\n"},
      {{}, "81 10 23 E8", "1,16\r\n100\r\n"},  // units code 16 travels stuffed
      // Moving average e5 m1, not rounded; columns 0.1237, 81.91, 0.1225 and 0.1235 (halves to
      // even), 0.0005, 0.0008191 rounded to thousandths.
      {{.dataFormat = 0x3F, .moveAve = 1}, "80 01 A0 01 84 D5 5F FF 84 C9 84 D3 80 05 FF FF",
       "0,1\r\n0.00001\r\n0.124\r\n81.91\r\n0.122\r\n0.124\r\n0\r\n0.001\r\n"},
      // Stamped records without columns: 1 January 1997 1:05:09 PM, 6 March 2006 midnight.
      {{.mode = 0, .dataFormat = 0}, "82 00 00 0A E0 14 83 00 68 C0 00 00",
       "2,0\r\n\"01/01/1997\",\"1:05:09 PM\"\r\n3,0\r\n\"03/06/2006\",\"12:00:00 AM\"\r\n"},
      // A record cut short by the end of its message reads its value from the checksum.
      {{}, "81 02 23 E8 82 03 24", "1,2\r\n100\r\n2,3\r\n107.9\r\n"},
      // Elapsed time: 3909 seconds, dated today.
      {{.mode = 1, .elapsed = true}, "81 06 00 00 3D 14 23 E8",
       "1,6\r\n\"12/5/2026\",\"01:05:09\"\r\n100\r\n"},
  };
  // clang-format on
  for (const Row& r : rows) {
    Link l;
    l.send(headerFrame(r.head));
    const std::string before = l.file(l.CurrentFile()), body = hex(r.body);
    const Lines actions = l.send(frame(2, {body.begin(), body.end()}, 4));
    EXPECT_EQ(actions.front(), "status ");  // no checksum notice
    EXPECT_EQ(l.file(l.CurrentFile()), before + r.records) << r.body;
  }
}

TEST(Session, ListedOnceAfterTheFirstDataMessageOrRetriedWhileTheListIsFullUntilANewHeader) {
  for (bool full : {false, true}) {
    Link l;
    if (full) l.list.catalogue.NumFiles = 100;
    l.send(hex(kWorkedHeader));
    l.send(hex("10 02 81 02 23 E8 8E 10 17"));
    const Lines second = l.send(hex("10 02 81 02 23 E8 8E 10 17"));
    EXPECT_EQ(std::count(second.begin(), second.end(), "list " + kWorkedFile), full ? 1 : 0);
    // Repeated messages are both written; a new header closes the file and starts its own.
    l.send(headerFrame({.stamp = stamp(3626, 50733)}));
    EXPECT_EQ(l.file(kWorkedFile),
              "\"02/05/1997\",\"2:53:13 PM\",3,1\r\n2,1,0\r\n1,2\r\n100\r\n1,2\r\n100\r\n");
    EXPECT_EQ(l.fs.openFiles, 1);
  }
}

TEST(Watchdog, TenSilentSecondsRejectAndCloseTheFileBeforeTheBox) {
  Link l;
  l.send(hex(kWorkedHeader));
  l.timers.advance(9999);
  l.send(hex("10 02 81 02 23 E8 8E 10 17"));  // starts the ten seconds anew
  l.timers.advance(9999);
  EXPECT_EQ(l.sent(), hex("06 06"));
  l.deliver(hex("10 02 81"));  // a partial message, then silence
  l.display.onBox = [&](const std::string&) {
    EXPECT_EQ(l.sent(), hex("06 06 15"));
    EXPECT_TRUE(l.link.receivePath().RxBuffer().empty());
    EXPECT_EQ(l.fs.openFiles, 0);
  };
  l.timers.advance(1);
  l.display.onBox = nullptr;
  ASSERT_EQ(l.boxes().size(), 1u);
  EXPECT_EQ(l.boxes()[0], kIncomplete);
}

constexpr std::uint32_t kDay = 3626;  // 5 December 2006

TEST(Continuation, ContinuousUploadSplitsAfter16300RecordsCountingSecondsFromTheStart) {
  Link l;
  l.send(headerFrame({.stamp = stamp(kDay, 57600)}));  // 16:00:00
  l.deliver(dataFrames(32601));
  const std::string first = l.file("QV 05.Dec.06  16.00.00.dat");
  const std::string a = l.file("QV 05.Dec.06  16.00.00A.dat");
  const std::string b = l.file("QV 05.Dec.06  16.00.00B.dat");
  EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 2 + 2 * 16300);
  EXPECT_EQ(std::count(a.begin(), a.end(), '\n'), 2 + 2 * 16300);
  // Record 16301 (tag 16301 mod 128 = 45) opens file A, 16301 s after 16:00:00; file B starts
  // a further 16300 s later, past midnight.
  EXPECT_EQ(a.substr(0, a.find("100\r\n")),
            "\"12/05/2006\",\"08:31:41 PM\",0,1\r\n1,1,0\r\n45,1\r\n");
  EXPECT_EQ(b, "\"12/06/2006\",\"01:03:21 AM\",0,1\r\n1,1,0\r\n89,2\r\n100\r\n");
  // The live list entries read as those of a re-scan of the directory.
  RecordedDisplay quiet;
  CatalogueList rescan(l.fs, "/data", quiet);
  ASSERT_EQ(l.list.entries.size(), 3u);
  EXPECT_EQ(rescan.rescan(), l.list.entries);
  EXPECT_EQ(l.fs.openFiles, 0);
}

TEST(Continuation, StartOfThePeriodicAndTheTimeStampedContinuationFile) {
  // Mode 2, one second between samples, 10 s on and 50 s off: 60 s for the first 10 records,
  // then 61 s for each further period of 11: 16301 = 10 + 11 * 1481, so 60 + 61 * 1481 =
  // 90401 s after 14:05:33 is 15:12:14 the next day.
  Link p;
  // clang-format off
  p.send(headerFrame({.stamp = stamp(kDay, 50733), .mode = 2, .rate = 1, .longForm = true,
                      .periodOn = 10, .periodOff = 50}));
  // clang-format on
  p.deliver(dataFrames(16301));
  EXPECT_EQ(p.file("QV 05.Dec.06  14.05.33A.dat"),
            "\"12/06/2006\",\"03:12:14 PM\",0,2\r\n1,1,0,10,50\r\n45,1\r\n100\r\n");
  // Mode 0: the file starts at the stamp of the record that opens it (32400 + 2 * 16301 s is
  // 18:03:22), with the two-digit hour of every continuation start.
  Link s;
  s.send(headerFrame({.stamp = stamp(kDay, 32400), .mode = 0}));
  s.deliver(
      dataFrames(16301, [](int n) { return stamp(kDay, 32400 + 2u * static_cast<unsigned>(n)); }));
  EXPECT_EQ(s.file("QV 05.Dec.06  09.00.00A.dat"),
            "\"12/05/2006\",\"06:03:22 PM\",0,0\r\n1,1,0\r\n"
            "45,1\r\n\"12/05/2006\",\"6:03:22 PM\"\r\n100\r\n");
}

TEST(Continuation, MessageRefusedAfterItsSplitIsCutBackToWholeLinesAndStoredOnceWhenSentAgain) {
  // 50 records fill the first file; then file A cannot be synced, or the disk fills up inside
  // its lines, twice (one box says so); the third time the message is stored.
  const std::string a = "/data/QV 05.Dec.06  16.00.00A.dat";
  for (bool fullDisk : {false, true}) {
    Link l;
    l.send(headerFrame({.stamp = stamp(kDay, 57600)}));
    l.deliver(dataFrames(16250, {}, true));
    std::vector<std::uint8_t> body;
    for (int n = 0; n < 100; ++n) body.insert(body.end(), {0x81, 0, 0x23, 0xE8});
    for (int sent = 0; sent < 3; ++sent) {
      l.fs.refuseSync.clear();
      if (sent < 2 && !fullDisk) l.fs.refuseSync.insert(a);
      // Room for the first file's 50 records and 20 bytes more, then for 20 bytes.
      l.fs.freeBytes = !fullDisk || sent == 2 ? ports::fake::MemoryFileSystem::kUnlimited
                       : sent == 0            ? 520
                                              : 20;
      l.deliver(frame(2, body, 4));
      EXPECT_EQ(l.sent().back(), sent == 2 ? '\x06' : '\x15');
      EXPECT_EQ(l.fs.files.at(a).empty(), sent < 2) << fullDisk;  // cut back to no line
    }
    EXPECT_EQ(l.boxes().size(), 1u);
    for (const auto& [name, records] : {std::pair{"", 16300}, {"A", 50}}) {
      const std::string f = l.file("QV 05.Dec.06  16.00.00" + std::string(name) + ".dat");
      EXPECT_EQ(std::count(f.begin(), f.end(), '\n'), 2 + 2 * records) << name;
    }
    EXPECT_EQ(l.list.catalogue.NumFiles, 2u);
  }
}

TEST(Continuation, PastZTheProgressCountsTheRecordsStoredAndThoseSentAndNotStored) {
  Link l;
  l.send(headerFrame({.stamp = stamp(kDay, 50733)}));
  l.deliver(dataFrames(27 * 16300 + 1));  // the first file and A to Z full, and one record more
  ASSERT_TRUE(l.display.lastProgress);
  EXPECT_EQ(l.display.lastProgress->records, 27 * 16300);
  EXPECT_EQ(l.display.lastProgress->refused, 1);
}

}  // namespace
}  // namespace kestrand::testing
