// The upload session: header and data messages decoded into raw file lines, the answer and the
// order of what the program must do, the watchdog, and continuation files.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/link/frames.h"

namespace kestrand::testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kWorkedHeader = "10 01 01 23 45 67 34 80 00 01 00 00 85 10 03";
const std::string kWorkedLast = "10 02 81 02 23 E8 8E 10 04";
// Stamp 01234567: day number 36 (5 February 1997), second 53593 (14:53:13).
const std::string kWorkedFile = "QV 05.Feb.97  14.53.13.dat";
const std::string kIncomplete = "Upload of data is incomplete\n\rCheck connections and retry";

TEST(Session, WorkedHeaderAndLastDataMessageWithAChecksumMismatch) {
  Link l;
  EXPECT_EQ(l.send(hex(kWorkedHeader)),
            (Lines{"arm 10000", "close", "create " + kWorkedFile,
                   "line \"02/05/1997\",\"2:53:13 PM\",3,1", "line 2,1,0", "commit", "ACK"}));
  // With a checksum one too high (8F): noted, yet written and acknowledged all the same.
  EXPECT_EQ(l.send(hex("10 02 81 02 23 E8 8F 10 04")),
            (Lines{"notice . 1000", "status ", "arm 10000", "line 1,2", "line 100", "commit", "ACK",
                   "stop", "close", "ended", "list " + kWorkedFile, "status-of " + kWorkedFile + " 2"}));
  EXPECT_EQ(l.file(kWorkedFile), "\"02/05/1997\",\"2:53:13 PM\",3,1\r\n2,1,0\r\n1,2\r\n100\r\n");
  EXPECT_EQ(l.replies, hex("06 06"));
}

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

TEST(Session, MessagesWithoutAnUploadAreAnsweredAndStoreNothing) {
  Link l;
  // Data before any header: NAK, then ACK; the newest entry is marked as data without header.
  EXPECT_EQ(l.send(hex(kWorkedLast)),
            (Lines{"status ", "close", "status-of 3", "NAK", "ended", "commit", "ACK"}));
  EXPECT_EQ(l.send(frame(7, {1, 2, 3}, 4)), (Lines{"status ", "commit", "ACK"}));
  // After the upload's last message: refused, NAK alone.
  l.send(hex(kWorkedHeader));
  l.send(hex(kWorkedLast));
  EXPECT_EQ(l.send(hex(kWorkedLast)),
            (Lines{"status ", "general Data refused: the upload it belongs to has ended", "NAK"}));
  // A header whose file cannot be created is refused, yet its upload runs its course.
  l.fs.refuseCreate.insert("/data/" + kWorkedFile);
  l.send(hex(kWorkedHeader));
  ASSERT_EQ(l.boxes().size(), 1u);
  EXPECT_NE(l.boxes()[0].text.find("Permission denied"), std::string::npos);
  EXPECT_EQ(
      l.send(hex(kWorkedLast)),
      (Lines{"status ", "arm 10000", "general Data refused: the upload's file could not be created",
             "NAK", "stop", "close", "ended", "list " + kWorkedFile, "status-of " + kWorkedFile + " 2"}));
  EXPECT_EQ(l.replies, hex("15 06 06 06 06 15 15 15"));
}

TEST(Session, ListedOnceAfterTheFirstDataMessageOrRetriedWhileTheListIsFullUntilANewHeader) {
  for (bool full : {false, true}) {
    Link l;
    if (full) l.prog.files.catalogue.NumFiles = 100;
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

TEST(Session, ABoxShowsAfterTheLinksHandlerAndTheLinkGoesOnWhileItIsOpen) {
  // Closing the first upload's file fails as a second header arrives: the box waits until the
  // handler has returned. While it is open a third upload arrives and is stored; its own box
  // (its file cannot be created) waits for the first and is not lost.
  Link l;
  l.send(hex(kWorkedHeader));
  l.fs.refuseSync.insert("/data/" + kWorkedFile);
  l.send(headerFrame({.stamp = stamp(3626, 57600)}));
  EXPECT_TRUE(l.box.shown.empty());
  l.box.whileOpen = [&](const auto&) {
    l.box.whileOpen = nullptr;
    l.send(headerFrame({.stamp = stamp(3626, 50733)}));
    l.send(hex(kWorkedLast));
    l.fs.refuseCreate.insert("/data/QV 05.Dec.06  18.00.00.dat");
    l.send(headerFrame({.stamp = stamp(3626, 64800)}));
    EXPECT_EQ(l.box.shown.size(), 1u);
  };
  ASSERT_EQ(l.boxes().size(), 2u);
  EXPECT_NE(l.box.shown[1].text.find("18.00.00"), std::string::npos);
  EXPECT_EQ(l.file("QV 05.Dec.06  14.05.33.dat"),
            "\"12/05/2006\",\"2:05:33 PM\",0,1\r\n1,1,0\r\n1,2\r\n100\r\n");
  EXPECT_EQ(l.replies.back(), '\x15');  // the header whose file failed is refused
}

TEST(Watchdog, TenSilentSecondsRejectAndCloseTheFileBeforeTheBoxThatLetsANewUploadIn) {
  Link l;
  l.send(hex(kWorkedHeader));
  l.timers.advance(9999);
  l.send(hex("10 02 81 02 23 E8 8E 10 17"));  // starts the ten seconds anew
  l.timers.advance(9999);
  EXPECT_EQ(l.replies, hex("06 06"));
  l.deliver(hex("10 02 81"));  // a partial message, then silence
  l.box.whileOpen = [&](const auto&) {
    l.box.whileOpen = nullptr;
    EXPECT_EQ(l.replies, hex("06 06 15"));
    EXPECT_TRUE(l.prog.link.meterLink().receivePath().RxBuffer().empty());
    EXPECT_EQ(l.fs.openFiles, 0);
    l.send(hex("10 02 81 02 23 E8 8E 10 17"));  // the ended upload's: refused, not written
    l.send(headerFrame({.stamp = stamp(3626, 50733)}));
  };
  l.timers.advance(1);
  ASSERT_EQ(l.boxes().size(), 1u);
  EXPECT_EQ(l.boxes()[0].text, kIncomplete);
  l.send(hex(kWorkedLast));
  EXPECT_EQ(l.replies, hex("06 06 15 15 06 06"));
  EXPECT_EQ(l.file(kWorkedFile), "\"02/05/1997\",\"2:53:13 PM\",3,1\r\n2,1,0\r\n1,2\r\n100\r\n");
  EXPECT_EQ(l.file("QV 05.Dec.06  14.05.33.dat"),
            "\"12/05/2006\",\"2:05:33 PM\",0,1\r\n1,1,0\r\n1,2\r\n100\r\n");
  l.timers.advance(60000);  // the new upload ended normally: no further box
  EXPECT_EQ(l.boxes().size(), 1u);
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
  ReceiveRig rescan(l.fs, "/data");
  rescan.prog.files.SearchForFiles();
  ASSERT_EQ(l.view.list.size(), 3u);
  EXPECT_EQ(rescan.view.list, l.view.list);
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
      l.fs.freeBytes = !fullDisk || sent == 2 ? platform::fake::MemoryFileSystem::kUnlimited
                       : sent == 0            ? 520
                                              : 20;
      l.deliver(frame(2, body, 4));
      EXPECT_EQ(l.replies.back(), sent == 2 ? '\x06' : '\x15');
      EXPECT_EQ(l.fs.files.at(a).empty(), sent < 2) << fullDisk;  // cut back to no line
    }
    EXPECT_EQ(l.boxes().size(), 1u);
    for (const auto& [name, records] : {std::pair{"", 16300}, {"A", 50}}) {
      const std::string f = l.file("QV 05.Dec.06  16.00.00" + std::string(name) + ".dat");
      EXPECT_EQ(std::count(f.begin(), f.end(), '\n'), 2 + 2 * records) << name;
    }
    EXPECT_EQ(l.prog.files.catalogue.NumFiles, 2u);
  }
}

TEST(Continuation, ZIsTheLastLetterAndPastItTheUploadEndsWithNoFileOverwritten) {
  Link l;
  l.send(headerFrame({.stamp = stamp(kDay, 50733)}));
  l.deliver(dataFrames(27 * 16300 + 1));  // the first file and A to Z full, and one record more
  const std::string z = l.file("QV 05.Dec.06  14.05.33Z.dat");
  EXPECT_EQ(z.substr(0, 12), "\"12/10/2006\"");  // the stamp of its first record, 26 x 16300 s on
  EXPECT_EQ(std::count(z.begin(), z.end(), '\n'), 2 + 2 * 16300);
  EXPECT_TRUE(l.view.label(platform::LabelId::kUploadProgress)
                  .starts_with("Upload incomplete: 440100 records stored, 1 sent and not stored, "))
      << l.view.label(platform::LabelId::kUploadProgress);
  ASSERT_EQ(l.boxes().size(), 1u);
  EXPECT_EQ(l.boxes()[0].text, kIncomplete);
  EXPECT_EQ(l.fs.openFiles, 0);
  EXPECT_FALSE(l.prog.link.watchdogRunning());
  // The message whose record found no file is refused, and so is what follows.
  l.deliver(dataFrames(1));
  EXPECT_EQ(l.replies, std::string(1 + 4401, '\x06') + "\x15\x15");
}

}  // namespace
}  // namespace kestrand::testing
