// The upload session alone: messages and the time in, the ordered actions out; no link, no file
// system. The wire's constants are restated here (ACK 06, NAK 15, 16300 records to a file, ten
// seconds of watchdog) rather than taken from the code under test.

#include <gtest/gtest.h>

#include <algorithm>

#include "link/receive_path.h"
#include "link/upload_session.h"
#include "tests/link/frames.h"

namespace kestrand::testing {
namespace {

using Lines = std::vector<std::string>;
using link::UploadEnd;

const std::string kHeader = "10 01 01 23 45 67 34 80 00 01 00 00 85 10 03";
const std::string kFile = "QV 05.Feb.97  14.53.13.dat";
const std::string kMore = "10 02 81 02 23 E8 8E 10 17";
const std::string kLast = "10 02 81 02 23 E8 8E 10 04";
const std::string kIncomplete = "Upload of data is incomplete\n\rCheck connections and retry";

// The session fed whole frames as the receive path cuts them, at 5 December 2026 10:00.
struct Session {
  Lines send(const std::string& wire) {
    link::ReceivePath rx;
    const link::RxOutcome cut = rx.onChunk(wire);
    s.noteTerminator(cut.terminator);
    last = s.ParseMsg(rx.message(), {2026, 12, 5, 10, 0, 0, 36000.0}, {});
    return show(last);
  }
  const link::Action& lastOf(link::Action::Kind kind) const {
    return *std::find_if(last.rbegin(), last.rend(), [&](const auto& a) { return a.kind == kind; });
  }
  const MessageCatalogue messages;
  link::UploadSession s{messages};
  link::Actions last;
};

// Every ACK comes after a commit with no line written between them.
bool ackAfterCommit(const Lines& actions) {
  bool committed = false;
  for (const std::string& a : actions) {
    if (a == "ACK" && !committed) return false;
    if (a == "commit") committed = true;
    if (a.starts_with("line ")) committed = false;
  }
  return true;
}

TEST(UploadSession, AckOnlyAfterTheCommitNakForDataWithoutARunningUpload) {
  Session u;
  // Data before any header: NAK for the data, then ACK; the newest entry is marked 3.
  EXPECT_EQ(u.send(hex(kLast)),
            (Lines{"status ", "close", "status-of 3", "NAK", "ended", "commit", "ACK"}));
  EXPECT_EQ(u.lastOf(link::Action::Kind::kUploadEnded).end, UploadEnd::kNoHeader);
  const Lines header = u.send(hex(kHeader));
  EXPECT_EQ(header,
            (Lines{"arm 10000", "close", "create " + kFile,
                   "line \"02/05/1997\",\"2:53:13 PM\",3,1", "line 2,1,0", "commit", "ACK"}));
  // A checksum one too high (8F) is noted, yet the record is stored and acknowledged.
  const Lines data = u.send(hex("10 02 81 02 23 E8 8F 10 17"));
  EXPECT_EQ(data, (Lines{"notice . 1000", "arm 10000", "line 1,2", "line 100", "commit", "ACK",
                         "list " + kFile}));
  const Lines last = u.send(hex(kLast));
  EXPECT_TRUE(ackAfterCommit(header) && ackAfterCommit(data) && ackAfterCommit(last));
  EXPECT_EQ(last.back(), "status-of " + kFile + " 2");  // complete
  EXPECT_EQ(u.lastOf(link::Action::Kind::kUploadEnded).end, UploadEnd::kLastMessage);
  // After the upload's last message its data is refused: NAK alone, nothing written.
  EXPECT_EQ(u.send(hex(kMore)),
            (Lines{"general Data refused: the upload it belongs to has ended", "NAK"}));
}

TEST(UploadSession, ARefusedMessageIsUndoneSoItsResendIsCountedOnce) {
  Session u;
  u.send(hex(kHeader));
  u.s.listAdded();
  const auto records = dataFrames(200, {}, true);
  u.send(records[0]);
  const Lines first = u.send(records[1]);
  EXPECT_FALSE(u.s.refused());  // not a header: nothing to close
  EXPECT_EQ(u.s.state().RecordsTotal, 100);
  EXPECT_EQ(u.s.state().RecordsInFile, 100);
  EXPECT_EQ(u.send(records[1]), first);
  EXPECT_EQ(u.s.state().RecordsTotal, 200);
  // A refused header still starts its upload, as one whose file failed.
  u.send(headerFrame({.stamp = stamp(3626, 57600)}));
  EXPECT_TRUE(u.s.refused());
  EXPECT_EQ(u.send(hex(kMore)),
            (Lines{"arm 10000", "general Data refused: the upload's file could not be created",
                   "NAK", "list QV 05.Dec.06  16.00.00.dat"}));
}

TEST(UploadSession, TheWatchdogIsArmedForTenSecondsAndEndsOnlyItsOwnRunningUpload) {
  Session u;
  u.send(hex(kHeader));
  EXPECT_EQ(u.lastOf(link::Action::Kind::kArmWatchdog).upload, 1u);
  u.send(headerFrame({.stamp = stamp(3626, 57600)}));
  EXPECT_EQ(u.send(hex(kMore)).front(), "arm 10000");
  EXPECT_EQ(u.lastOf(link::Action::Kind::kArmWatchdog).upload, 2u);
  EXPECT_EQ(show(u.s.onWatchdog(1)), Lines{"stop"});  // the first upload's: stale
  const link::Actions ends = u.s.onWatchdog(2);
  EXPECT_EQ(show(ends),
            (Lines{"stop", "NAK", "pointer", "clear", "close", "ended", "box " + kIncomplete}));
  EXPECT_EQ(ends[5].end, UploadEnd::kWatchdog);
  EXPECT_EQ(show(u.s.onWatchdog(2)), Lines{"stop"});  // already ended
}

constexpr std::uint32_t kDay = 3626;  // 5 December 2006

TEST(UploadSession, Record16301OpensFileAStartingSecondsLaterByTheRecordCount) {
  Session u;
  u.send(headerFrame({.stamp = stamp(kDay, 57600)}));  // 16:00:00
  u.s.listAdded();
  const auto frames = dataFrames(16301, {}, true);  // the last frame holds record 16301 alone
  for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
    const Lines a = u.send(frames[i]);
    ASSERT_EQ(std::count(a.begin(), a.end(), "close"), 0) << i;
  }
  // 16301 s after 16:00:00 is 8:31:41 PM; record 16301 has tag 45 and units code 1.
  const std::string a = "QV 05.Dec.06  16.00.00A.dat";
  EXPECT_EQ(u.send(frames.back()), (Lines{"arm 10000", "commit", "close", "create " + a,
                                          "line \"12/05/2006\",\"08:31:41 PM\",0,1", "line 1,1,0",
                                          "line 45,1", "line 100", "commit", "ACK", "list " + a}));
  EXPECT_EQ(u.lastOf(link::Action::Kind::kAddToList).entry.UnitsCode, 1);
  EXPECT_EQ(u.s.state().RecordsInFile, 1);
  EXPECT_EQ(u.s.state().files, (std::vector<std::string>{"QV 05.Dec.06  16.00.00.dat", a}));
}

TEST(UploadSession, PastFileZTheUploadEndsWithNakAndTheIncompleteBox) {
  Session u;
  u.send(headerFrame({.stamp = stamp(kDay, 50733)}));
  u.s.listAdded();
  // The first file and A to Z full, and one record more.
  const auto frames = dataFrames(27 * 16300 + 1, {}, true);
  std::ptrdiff_t acks = 0;
  for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
    const Lines a = u.send(frames[i]);
    acks += std::count(a.begin(), a.end(), "ACK");
  }
  EXPECT_EQ(acks, 4401);
  EXPECT_EQ(u.s.state().files.size(), 27u);
  EXPECT_EQ(u.s.state().files.back(), "QV 05.Dec.06  14.05.33Z.dat");
  EXPECT_EQ(u.send(frames.back()),
            (Lines{"arm 10000", "commit", "close", "stop", "ended", "NAK", "box " + kIncomplete}));
  EXPECT_EQ(u.lastOf(link::Action::Kind::kUploadEnded).end, UploadEnd::kNoFileName);
  EXPECT_EQ(u.lastOf(link::Action::Kind::kUploadEnded).files.size(), 27u);
  EXPECT_EQ(u.send(hex(kMore)).back(), "NAK");
}

}  // namespace
}  // namespace kestrand::testing
