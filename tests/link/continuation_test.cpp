// Uploads longer than one file: the 16301st record opens a continuation file whose start
// follows from the logging mode; past "Z" the upload ends without touching any file.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/link/harness.h"

namespace kestrand::testing {
namespace {

constexpr std::uint32_t kDay = 3626;  // 5 December 2006

// Sends `records` one-column records (value 100.0), `perMessage` to a message; the last message
// ends with EOT. `recordStamp` gives the stamp of record n (1-based) for time-stamped modes.
void sendRecords(Harness& h, int records, bool stamped,
                 const std::function<std::uint32_t(int)>& recordStamp = {}, int perMessage = 100) {
  int n = 0;
  while (n < records) {
    std::vector<std::uint8_t> body;
    const int count = std::min(perMessage, records - n);
    for (int k = 0; k < count; ++k) {
      ++n;
      body.push_back(static_cast<std::uint8_t>(0x80 | (n % 128)));
      body.push_back(0);
      if (stamped) put32(body, recordStamp(n));
      put16(body, 0x23E8);
    }
    h.send(frame(2, body, n == records ? 4 : 23));
  }
}

int countLines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

std::string firstLine(const std::string& text) {
  return text.substr(0, text.find("\r\n"));
}

TEST(Continuation, ContinuousUploadSplitsAfter16300RecordsAndCountsSecondsFromTheStart) {
  Harness h;
  HeaderBody head;
  head.stamp = stamp(kDay, 57600);  // 16:00:00
  head.mode = 1;
  h.send(headerFrame(head));
  sendRecords(h, 32601, false);

  const std::string first = h.file("QV 05.Dec.06  16.00.00.dat");
  const std::string a = h.file("QV 05.Dec.06  16.00.00A.dat");
  const std::string b = h.file("QV 05.Dec.06  16.00.00B.dat");
  EXPECT_EQ(countLines(first), 2 + 2 * 16300);
  EXPECT_EQ(countLines(a), 2 + 2 * 16300);
  EXPECT_EQ(countLines(b), 2 + 2 * 1);
  // The 16301st record is the first of file A, which starts 16301 s after 16:00:00; file B
  // starts a further 16300 s later, past midnight.
  EXPECT_EQ(a.substr(0, a.find("\r\n", a.find("\r\n") + 2) + 2),
            "\"12/05/2006\",\"08:31:41 PM\",0,1\r\n1,1,0\r\n");
  EXPECT_EQ(firstLine(b), "\"12/06/2006\",\"01:03:21 AM\",0,1");
  // Record 16301 carries tag 16301 mod 128 = 45.
  EXPECT_EQ(a.substr(a.find("1,1,0\r\n") + 7, 11), "45,0\r\n100\r\n");
  EXPECT_EQ(b.substr(b.find("1,1,0\r\n") + 7), "89,0\r\n100\r\n");

  // Each file is listed when it is opened; the newest is complete after the last message.
  ASSERT_EQ(h.view.list.size(), 3u);
  EXPECT_EQ(h.prog.catalogue.FileNames[1], "QV 05.Dec.06  16.00.00A.dat");
  EXPECT_EQ(h.prog.catalogue.FileNames[2], "QV 05.Dec.06  16.00.00B.dat");
  EXPECT_EQ(h.prog.catalogue.FileStatus[2], 2);
  // Continuation entries show the upload's own start.
  EXPECT_EQ(h.view.list[1].substr(0, 22), "12/05/2006  4:00:00 PM");
  EXPECT_EQ(h.fs.openFiles, 0);
}

TEST(Continuation, PeriodicUploadCountsPeriodsAndPauses) {
  Harness h;
  HeaderBody head;
  head.stamp = stamp(kDay, 50733);  // 14:05:33
  head.mode = 2;
  head.rate = 1;  // one second between samples
  head.longForm = true;
  head.periodOn = 10;
  head.periodOff = 50;
  h.send(headerFrame(head));
  sendRecords(h, 16301, false);
  // 60 s for the first 10 records, then 61 s for each further period of 11:
  // 16301 = 10 + 11 * 1481, so 60 + 61 * 1481 = 90401 s after 14:05:33 is 15:12:14 next day.
  const std::string a = h.file("QV 05.Dec.06  14.05.33A.dat");
  EXPECT_EQ(a, "\"12/06/2006\",\"03:12:14 PM\",0,2\r\n1,1,0,10,50\r\n45,0\r\n100\r\n");
}

TEST(Continuation, SinglePointUploadStartsAtTheStampOfTheRecordThatOpensTheFile) {
  Harness h;
  HeaderBody head;
  head.stamp = stamp(kDay, 32400);  // 09:00:00
  head.mode = 0;
  h.send(headerFrame(head));
  // Record n is stamped 32400 + 2n seconds into the day.
  sendRecords(h, 16301, true,
              [](int n) { return stamp(kDay, 32400 + 2u * static_cast<unsigned>(n)); });
  // 32400 + 32602 = 65002 s is 18:03:22: the file's start has the two-digit hour of every
  // continuation start, the record line the meter's own form.
  const std::string a = h.file("QV 05.Dec.06  09.00.00A.dat");
  EXPECT_EQ(a,
            "\"12/05/2006\",\"06:03:22 PM\",0,0\r\n1,1,0\r\n"
            "45,0\r\n\"12/05/2006\",\"6:03:22 PM\"\r\n100\r\n");
}

TEST(Continuation, PastTheLetterZTheUploadEndsAndNoFileIsOverwritten) {
  Harness h;
  HeaderBody head;
  head.stamp = stamp(kDay, 50733);
  h.send(headerFrame(head));
  // Pretend the upload has already reached its last possible letter.
  h.prog.catalogue.CurrentFile = "QV 05.Dec.06  14.05.33Z.dat";
  h.fs.files["/data/QV 05.Dec.06  14.05.33Z.dat"] = "earlier file";
  sendRecords(h, 16301, false);
  ASSERT_EQ(h.box.shown.size(), 1u);
  EXPECT_EQ(h.box.shown[0].text, "Upload of data is incomplete\n\rCheck connections and retry");
  EXPECT_EQ(h.file("QV 05.Dec.06  14.05.33Z.dat"), "earlier file");
  EXPECT_FALSE(h.hasFile("QV 05.Dec.06  14.05.33[.dat"));
  EXPECT_EQ(countLines(h.file("QV 05.Dec.06  14.05.33.dat")), 2 + 2 * 16300);
  EXPECT_EQ(h.fs.openFiles, 0);
  EXPECT_FALSE(h.prog.tmrReadingData->enabled());
  // Every message was answered, the one that ended the upload included.
  EXPECT_EQ(std::count(h.port.written.begin(), h.port.written.end(), '\x06'),
            1 + (16301 + 99) / 100);
  EXPECT_EQ(std::count(h.port.written.begin(), h.port.written.end(), '\x15'), 0);
}

}  // namespace
}  // namespace kestrand::testing
