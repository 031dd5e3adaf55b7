// Header and data messages: decoding, the raw file lines they produce, acknowledgement, the
// watchdog and the file list.

#include <gtest/gtest.h>

#include "tests/link/harness.h"

namespace kestrand::testing {
namespace {

using platform::LabelId;

const std::string kWorkedHeader = "10 01 01 23 45 67 34 80 00 01 00 00 85 10 03";
// Stamp 01234567: day number 36 (5 February 1997), second 53593 (14:53:13).
const std::string kWorkedFile = "QV 05.Feb.97  14.53.13.dat";

TEST(Parser, WorkedShortHeaderAndLastDataMessageMakeACompleteListedFile) {
  Harness h;
  h.send(hex(kWorkedHeader));
  EXPECT_EQ(h.takeWritten(), hex("06"));
  EXPECT_EQ(h.file(kWorkedFile), "\"02/05/1997\",\"2:53:13 PM\",3,1\r\n2,1,0\r\n");
  EXPECT_EQ(h.label(LabelId::kStatDat), "Receiving Associated Data");
  EXPECT_TRUE(h.view.busy);
  EXPECT_TRUE(h.prog.tmrReadingData->running());
  EXPECT_EQ(h.prog.tmrReadingData->interval(), 10000);
  EXPECT_TRUE(h.view.list.empty());

  h.send(hex("10 02 81 02 23 E8 8E 10 04"));
  EXPECT_EQ(h.takeWritten(), hex("06"));
  EXPECT_EQ(h.file(kWorkedFile), "\"02/05/1997\",\"2:53:13 PM\",3,1\r\n2,1,0\r\n1,2\r\n100\r\n");
  EXPECT_FALSE(h.view.busy);
  EXPECT_EQ(h.label(LabelId::kStatDat), "");
  EXPECT_FALSE(h.prog.tmrReadingData->enabled());
  EXPECT_EQ(h.fs.openFiles, 0);
  ASSERT_EQ(h.view.list.size(), 1u);
  // Probe 3 has no text for units code 2.
  EXPECT_EQ(h.view.list[0],
            "02/05/1997  2:53:13 PM   Probe QV-1200CDC   Continuous   Log Rate  2"
            "   Units       QV 05.Feb.97  14.53.13.dat");
  EXPECT_EQ(h.prog.catalogue.FileNames[0], kWorkedFile);
  EXPECT_EQ(h.prog.catalogue.FileStatus[0], 2);
  EXPECT_EQ(h.label(LabelId::kLblGenMsg), " 1 data files are available.");
  EXPECT_EQ(h.prog.header.ProbeType, 3);
  EXPECT_EQ(h.prog.header.LogMode, 1);
  EXPECT_EQ(h.prog.header.LogRate, 2);
  EXPECT_EQ(h.prog.ElapsedMode, 0);
}

TEST(Parser, StuffedUnitsCodeIsUnstuffedAndItsChecksumMatches) {
  Harness h;
  h.send(hex(kWorkedHeader));
  h.send(hex("10 02 81 10 10 23 E8 9C 10 04"));
  EXPECT_EQ(h.takeWritten(), hex("06 06"));
  EXPECT_EQ(h.file(kWorkedFile), "\"02/05/1997\",\"2:53:13 PM\",3,1\r\n2,1,0\r\n1,16\r\n100\r\n");
  EXPECT_NE(h.label(LabelId::kLblGenMsg), ".");
}

TEST(Parser, ChecksumMismatchIsShownForOneSecondButStillWrittenAndAcknowledged) {
  Harness h;
  h.send(hex(kWorkedHeader));
  h.send(hex("10 02 81 02 23 E8 8F 10 04"));
  EXPECT_EQ(h.takeWritten(), hex("06 06"));
  EXPECT_EQ(h.label(LabelId::kLblGenMsg), " 1 data files are available.");
  // The list's message comes after the checksum notice; the notice is in the label log.
  bool dot = false;
  for (const auto& [id, text] : h.view.labelLog) dot |= (id == LabelId::kLblGenMsg && text == ".");
  EXPECT_TRUE(dot);
  EXPECT_NE(h.file(kWorkedFile).find("1,2\r\n100\r\n"), std::string::npos);

  Harness g;
  g.send(headerFrame({}));
  g.send(frame(2, {0x81, 0x00, 0x23, 0xE8}, 0x17));  // listed here
  g.send(frame(2, {0x81, 0x00, 0x23, 0xE8}, 0x17, +1));
  EXPECT_EQ(g.label(LabelId::kLblGenMsg), ".");
  EXPECT_EQ(g.prog.tmrShowGenMsg->interval(), 1000);
  g.timers.advance(999);
  EXPECT_EQ(g.label(LabelId::kLblGenMsg), ".");
  g.timers.advance(1);
  EXPECT_EQ(g.label(LabelId::kLblGenMsg), "");
}

TEST(Parser, DataWithoutHeaderIsRejectedThenAcknowledgedAndMarksStatusThree) {
  Harness h;
  h.send(hex("10 02 81 02 23 E8 8E 10 04"));
  EXPECT_EQ(h.takeWritten(), hex("15 06"));
  EXPECT_EQ(h.prog.catalogue.FileStatus[0], 3);
  EXPECT_EQ(h.fs.files.size(), 2u);  // only the format settings files
}

TEST(Parser, LongPeriodicHeaderWritesFiveFieldsAndShortHeaderThree) {
  Harness h;
  HeaderBody head;
  head.stamp = stamp(3626, 50733);  // 5 December 2006, 14:05:33
  head.mode = 2;
  head.rate = 1;
  head.dataFormat = 9;
  head.moveAve = 60;
  head.longForm = true;
  head.periodOn = 10;
  head.periodOff = 50;
  h.send(headerFrame(head));
  EXPECT_EQ(h.file("QV 05.Dec.06  14.05.33.dat"),
            "\"12/05/2006\",\"2:05:33 PM\",0,2\r\n1,9,60,10,50\r\n");
  EXPECT_EQ(h.prog.header.MoveAveText, " 60");

  // Bytes 13 and 14 being DLE ETX mark the short header, whatever the mode.
  Harness s;
  head.longForm = false;
  s.send(headerFrame(head));
  EXPECT_EQ(s.file("QV 05.Dec.06  14.05.33.dat"),
            "\"12/05/2006\",\"2:05:33 PM\",0,2\r\n1,9,60,0,0\r\n");
  EXPECT_EQ(s.prog.header.PeriodOn, 0.0f);
}

TEST(Parser, ElapsedTimeHeaderNamesTheFileByTheClockAndNumber) {
  Harness h;
  h.clock.set(2026, 12, 5, 10, 0, 0);
  HeaderBody head;
  head.stamp = 7;  // the meter's file number
  head.probe = 2;
  head.mode = 1;
  head.rate = 0;
  head.elapsed = true;
  h.send(headerFrame(head));
  const std::string name = "QV 05.Dec.26  10.00.00 File007.dat";
  ASSERT_TRUE(h.hasFile(name));
  EXPECT_EQ(h.file(name), "\"12/5/2026\",\"7\",18,4\r\n0,1,0\r\n");
  EXPECT_EQ(h.prog.ElapsedMode, 1);
  EXPECT_EQ(h.prog.header.ProbeType, 18);

  // Records carry stamps of elapsed seconds: 3909 s is 01:05:09; the date is today's.
  std::vector<std::uint8_t> body = {0x81, 0x06};
  put32(body, stamp(0, 3909));
  put16(body, 0x23E8);
  h.send(frame(2, body, 4));
  EXPECT_EQ(h.file(name),
            "\"12/5/2026\",\"7\",18,4\r\n0,1,0\r\n1,6\r\n\"12/5/2026\",\"01:05:09\"\r\n100\r\n");
  ASSERT_EQ(h.view.list.size(), 1u);
  EXPECT_EQ(h.view.list[0],
            " 12/5/2026  7   Probe R530 FCC   Continuous   Log Rate  0   Units %"
            "      QV 05.Dec.26  10.00.00 File007.dat");

  // Mode 2 of an elapsed-time upload is written as the spatial code 5; numbers of more than
  // three digits are not cut.
  Harness g;
  head.mode = 2;
  head.stamp = 12345;
  g.send(headerFrame(head));
  EXPECT_EQ(g.file("QV 05.Dec.26  10.00.00 File12345.dat"),
            "\"12/5/2026\",\"12345\",18,5\r\n0,1,0\r\n");
}

TEST(Parser, ColumnValuesAreRoundedToThousandthsAndTheMovingAverageIsNot) {
  Harness h;
  HeaderBody head;
  head.stamp = stamp(3626, 50733);
  head.dataFormat = 0x3F;  // six columns
  head.moveAve = 1;
  h.send(headerFrame(head));
  std::vector<std::uint8_t> body = {0x80, 0x01};
  put16(body, (5u << 13) | 1);     // moving average 0.00001
  put16(body, (4u << 13) | 1237);  // 0.1237 -> 0.124
  put16(body, (2u << 13) | 8191);  // 81.91
  put16(body, (4u << 13) | 1225);  // 0.1225 -> 0.122 (half to even)
  put16(body, (4u << 13) | 1235);  // 0.1235 -> 0.124 (half to even)
  put16(body, (4u << 13) | 5);     // 0.0005 -> 0
  put16(body, (7u << 13) | 8191);  // 0.0008191 -> 0.001
  h.send(frame(2, body, 4));
  EXPECT_EQ(h.file("QV 05.Dec.06  14.05.33.dat"),
            "\"12/05/2006\",\"2:05:33 PM\",0,1\r\n1,63,1\r\n"
            "0,1\r\n0.00001\r\n0.124\r\n81.91\r\n0.122\r\n0.124\r\n0\r\n0.001\r\n");
}

TEST(Parser, SinglePointRecordsCarryTheirOwnStampAndNoColumnsMeansStampOnly) {
  Harness h;
  HeaderBody head;
  head.stamp = stamp(3352, 0);  // 6 March 2006, midnight
  head.mode = 0;
  head.dataFormat = 0;
  h.send(headerFrame(head));
  std::vector<std::uint8_t> body = {0x82, 0x00};
  put32(body, stamp(1, 47109));  // 1 January 1997, 1:05:09 PM
  body.insert(body.end(), {0x83, 0x00});
  put32(body, stamp(3352, 0));
  h.send(frame(2, body, 4));
  EXPECT_EQ(h.file("QV 06.Mar.06  00.00.00.dat"),
            "\"03/06/2006\",\"12:00:00 AM\",0,0\r\n1,0,0\r\n"
            "2,0\r\n\"01/01/1997\",\"1:05:09 PM\"\r\n3,0\r\n\"03/06/2006\",\"12:00:00 AM\"\r\n");
}

TEST(Parser, DisplayFormatsChosenBeforeTheUploadShapeTheWrittenTexts) {
  Harness h;
  h.prog.formats.dateClicked(7);
  h.prog.formats.timeClicked(3);
  HeaderBody head;
  head.stamp = stamp(3352, 47109);
  h.send(headerFrame(head));
  // The name keeps its fixed shape; the texts inside follow the choices.
  EXPECT_EQ(h.file("QV 06.Mar.06  13.05.09.dat"), "\"06-Mar-2006\",\" 13:05:09\",0,1\r\n1,1,0\r\n");
}

TEST(Parser, TwoIdenticalDataMessagesAreBothWritten) {
  Harness h;
  h.send(hex(kWorkedHeader));
  h.send(hex("10 02 81 02 23 E8 8E 10 17"));
  h.send(hex("10 02 81 02 23 E8 8E 10 04"));
  EXPECT_EQ(h.takeWritten(), hex("06 06 06"));
  EXPECT_EQ(h.file(kWorkedFile),
            "\"02/05/1997\",\"2:53:13 PM\",3,1\r\n2,1,0\r\n1,2\r\n100\r\n1,2\r\n100\r\n");
  EXPECT_EQ(h.view.list.size(), 1u);
}

TEST(Parser, EveryAcknowledgedLineIsOnStableStorageBeforeTheAck) {
  Harness h;
  const std::string path = "/data/" + kWorkedFile;
  int acks = 0;
  h.port.onWrite = [&](std::string_view bytes) {
    if (bytes != hex("06") || !h.fs.exists(path)) return;
    ++acks;
    EXPECT_EQ(h.fs.durable(path), h.fs.files.at(path)) << "ack " << acks;
  };
  h.send(hex(kWorkedHeader));
  h.send(hex("10 02 81 02 23 E8 8E 10 17"));
  h.send(hex("10 02 81 02 23 E8 8E 10 04"));
  EXPECT_EQ(acks, 3);
  EXPECT_NE(h.fs.durable(path).find("1,2\r\n100\r\n1,2\r\n100\r\n"), std::string::npos);
}

TEST(Parser, FileThatCannotBeCreatedIsReportedAndTheMessageStillAcknowledged) {
  Harness h;
  h.fs.refuseCreate.insert("/data/" + kWorkedFile);
  h.send(hex(kWorkedHeader));
  EXPECT_EQ(h.takeWritten(), hex("06"));
  ASSERT_EQ(h.box.shown.size(), 1u);
  EXPECT_EQ(h.box.shown[0].title, "RIviriro Error");
  EXPECT_NE(h.box.shown[0].text.find("Permission denied"), std::string::npos);
  h.send(hex("10 02 81 02 23 E8 8E 10 04"));
  EXPECT_EQ(h.takeWritten(), hex("06"));
}

TEST(Watchdog, TenSilentSecondsAfterHeaderRejectAndCloseTheFile) {
  Harness h;
  h.send(hex(kWorkedHeader));
  h.send(hex("10 02 81 02 23 E8 8E 10 17"));
  h.takeWritten();
  h.timers.advance(9999);
  EXPECT_EQ(h.takeWritten(), "");
  h.send(hex("10 02 81 02 23 E8 8E 10 17"));  // a data message starts the ten seconds anew
  h.timers.advance(9999);
  EXPECT_EQ(h.takeWritten(), hex("06"));
  h.send(hex("10 02 81"));  // a partial message, then silence
  h.timers.advance(1);
  EXPECT_EQ(h.takeWritten(), hex("15"));
  ASSERT_EQ(h.box.shown.size(), 1u);
  EXPECT_EQ(h.box.shown[0].text, "Upload of data is incomplete\n\rCheck connections and retry");
  EXPECT_EQ(h.box.shown[0].title, "RIviriro Error");
  EXPECT_FALSE(h.view.busy);
  EXPECT_EQ(h.fs.openFiles, 0);
  EXPECT_TRUE(h.prog.link.receivePath().RxBuffer().empty());
  EXPECT_FALSE(h.prog.tmrReadingData->enabled());
  EXPECT_EQ(h.file(kWorkedFile),
            "\"02/05/1997\",\"2:53:13 PM\",3,1\r\n2,1,0\r\n1,2\r\n100\r\n1,2\r\n100\r\n");
  EXPECT_EQ(h.prog.catalogue.FileStatus[0], 2);  // as the list last set it
  h.timers.advance(60000);
  EXPECT_EQ(h.box.shown.size(), 1u);  // fires once
}

TEST(Watchdog, DataArrivingAfterTheUploadEndedIsAcknowledgedButNotStored) {
  Harness h;
  h.send(hex(kWorkedHeader));
  h.send(hex("10 02 81 02 23 E8 8E 10 04"));
  const std::string before = h.file(kWorkedFile);
  h.takeWritten();
  h.send(hex("10 02 82 02 23 E8 8F 10 04"));
  EXPECT_EQ(h.takeWritten(), hex("06"));
  EXPECT_EQ(h.file(kWorkedFile), before);
  EXPECT_EQ(h.label(LabelId::kLblGenMsg), "Data received after the upload ended was not stored");
  EXPECT_TRUE(h.box.shown.empty());
}

TEST(Parser, NewHeaderClosesTheOpenFileAndStartsAnotherUpload) {
  Harness h;
  h.send(hex(kWorkedHeader));
  h.send(hex("10 02 81 02 23 E8 8E 10 17"));
  HeaderBody head;
  head.stamp = stamp(3626, 50733);
  h.send(headerFrame(head));
  h.send(hex("10 02 81 02 23 E8 8E 10 04"));
  EXPECT_EQ(h.file(kWorkedFile), "\"02/05/1997\",\"2:53:13 PM\",3,1\r\n2,1,0\r\n1,2\r\n100\r\n");
  EXPECT_EQ(h.file("QV 05.Dec.06  14.05.33.dat"),
            "\"12/05/2006\",\"2:05:33 PM\",0,1\r\n1,1,0\r\n1,2\r\n100\r\n");
  EXPECT_EQ(h.view.list.size(), 2u);
  EXPECT_EQ(h.fs.openFiles, 0);
}

TEST(Parser, MessagesOfAnotherTypeAreOnlyAcknowledged) {
  Harness h;
  h.send(frame(7, {1, 2, 3}, 4));
  EXPECT_EQ(h.takeWritten(), hex("06"));
  EXPECT_EQ(h.fs.files.size(), 2u);
}

}  // namespace
}  // namespace kestrand::testing
