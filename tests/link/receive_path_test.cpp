// Framing on the receive side: enquiries, terminators, stuffing, resynchronisation, line errors,
// the status label and the last-message display.

#include <gtest/gtest.h>

#include "link/receive_path.h"
#include "tests/link/harness.h"

namespace kestrand::testing {
namespace {

using link::ReceivePath;
using link::RxOutcome;
using platform::LabelId;
using Kind = RxOutcome::Kind;

TEST(ReceivePath, EnquiryAloneIsAnsweredWithExactlyOneAck) {
  Harness h;
  h.send(hex("10 05"));
  EXPECT_EQ(h.takeWritten(), hex("06"));
  EXPECT_EQ(h.label(LabelId::kStatDat), "Got Enquire ");
  EXPECT_TRUE(h.prog.link.receivePath().RxBuffer().empty());
}

TEST(ReceivePath, ChunkIsEchoedWithTheHexCodeOfItsFirstCharacter) {
  Harness h;
  h.send("AB");
  // No DLE: nothing dropped, nothing found; the echo comes first, then the waiting text.
  ASSERT_GE(h.view.labelLog.size(), 2u);
  const auto& echo = h.view.labelLog[h.view.labelLog.size() - 2];
  EXPECT_EQ(echo.second, "AB - 41");
  EXPECT_EQ(h.label(LabelId::kStatDat), "Connected to Rurevad");
  h.send(hex("10"));
  EXPECT_EQ(h.view.labelLog.back().second, hex("10") + " - 10");
}

TEST(ReceivePath, MessageSplitOverChunksIsCollectedAndStatusTimerBlanksAfterTwoSeconds) {
  Harness h;
  const std::string msg = hex("10 01 01 23 45 67 34 80 00 01 00 00 85 10 03");
  h.send(msg.substr(0, 5));
  EXPECT_EQ(h.label(LabelId::kStatDat), "Connected to Rurevad");
  EXPECT_TRUE(h.prog.Timer1->enabled());
  h.timers.advance(1500);
  h.send(msg.substr(5, 4));  // restarts the two seconds
  h.timers.advance(1500);
  EXPECT_EQ(h.label(LabelId::kStatDat), "Connected to Rurevad");
  h.timers.advance(600);
  EXPECT_EQ(h.label(LabelId::kStatDat), "");
  EXPECT_FALSE(h.prog.Timer1->enabled());
  EXPECT_EQ(h.takeWritten(), "");
  h.send(msg.substr(9));
  EXPECT_EQ(h.takeWritten(), hex("06"));
  EXPECT_EQ(h.label(LabelId::kStatDat), "Receiving Associated Data");
  EXPECT_TRUE(h.view.busy);
}

TEST(ReceivePath, BytewiseAndWholeDeliveryGiveTheSameFilesAndAnswers) {
  const std::string upload = hex("10 05") + hex("10 01 01 23 45 67 34 80 00 01 00 00 85 10 03") +
                             hex("10 02 81 10 10 23 E8 9C 10 17") +
                             hex("10 02 81 02 23 E8 8E 10 04");
  Harness whole, bytewise;
  // Whole messages, one notification each.
  whole.send(hex("10 05"));
  whole.send(hex("10 01 01 23 45 67 34 80 00 01 00 00 85 10 03"));
  whole.send(hex("10 02 81 10 10 23 E8 9C 10 17"));
  whole.send(hex("10 02 81 02 23 E8 8E 10 04"));
  bytewise.sendBytewise(upload);
  EXPECT_EQ(whole.port.written, hex("06 06 06 06"));
  EXPECT_EQ(bytewise.port.written, whole.port.written);
  EXPECT_EQ(bytewise.fs.files, whole.fs.files);
  EXPECT_EQ(bytewise.view.list, whole.view.list);
}

TEST(ReceivePath, LeadingNoiseIsDroppedBeforeTheSearch) {
  ReceivePath rx;
  RxOutcome out = rx.onChunk("xyz" + hex("10 05"));
  EXPECT_EQ(out.kind, Kind::kEnquiry);
  out = rx.onChunk("noise" + hex("10 02 81 02 23 E8 8E 10 04"));
  ASSERT_EQ(out.kind, Kind::kMessage);
  EXPECT_EQ(rx.message().MsgLength, 9);
  EXPECT_EQ(rx.message().MsgBytes[0], 16);
  EXPECT_EQ(rx.message().MsgBytes[8], 4);
}

TEST(ReceivePath, OneCharacterWaitsQuietlyAndEmptyChunkIsIgnored) {
  ReceivePath rx;
  EXPECT_EQ(rx.onChunk("").kind, Kind::kIgnored);
  EXPECT_EQ(rx.onChunk(hex("10")).kind, Kind::kIgnored);
  EXPECT_EQ(rx.onChunk(hex("05")).kind, Kind::kEnquiry);
}

TEST(ReceivePath, EnquiryAndTerminatorInOneBufferAnswerTheEnquiryAndDiscardAll) {
  Harness h;
  h.send(hex("10 02 81 02 23 E8 8E 10 04 10 05"));
  EXPECT_EQ(h.takeWritten(), hex("06"));
  EXPECT_EQ(h.label(LabelId::kStatDat), "Got Enquire ");
  EXPECT_TRUE(h.fs.files.size() <= 2u);  // only the two format settings files
  EXPECT_TRUE(h.prog.link.receivePath().RxBuffer().empty());
}

TEST(ReceivePath, StuffedDataDleIsNeverTakenForAControlDle) {
  // A body byte 16 travels as DLE DLE; followed by 4, 23, 3 or 5 it must not end the message.
  for (int code : {4, 23, 3, 5}) {
    ReceivePath rx;
    std::string partial = hex("10 02 81 10 10") + std::string(1, static_cast<char>(code));
    EXPECT_EQ(rx.onChunk(partial).kind, Kind::kNeedMore) << "code " << code;
  }
  // Two data bytes 16 then a 4: DLE DLE DLE DLE 04 is still inside the body.
  ReceivePath rx;
  EXPECT_EQ(rx.onChunk(hex("10 02 81 00 10 10 10 10 04")).kind, Kind::kNeedMore);
  // ... and the real terminator after it is found, not hidden by the rejected one.
  RxOutcome out = rx.onChunk(hex("20 10 04"));
  ASSERT_EQ(out.kind, Kind::kMessage);
  EXPECT_EQ(out.terminator, link::Terminator::kDleEot);
  EXPECT_EQ(rx.message().MsgLength, 12);
}

TEST(ReceivePath, StuffedChecksumSixteenBeforeTheTerminatorEndsTheMessage) {
  ReceivePath rx;
  // Body 10 -> checksum 16, sent as DLE DLE, then DLE EOT.
  RxOutcome out = rx.onChunk(hex("10 02 10 10 10 10 10 04"));
  ASSERT_EQ(out.kind, Kind::kMessage);
  EXPECT_EQ(rx.message().MsgLength, 8);
  link::FixInputBuffer(rx.message());
  EXPECT_EQ(rx.message().MsgLength, 6);
  EXPECT_EQ(rx.message().MsgBytes[2], 16);  // the body byte
  EXPECT_EQ(rx.message().MsgBytes[3], 16);  // the checksum, unstuffed
  EXPECT_EQ(rx.message().MsgBytes[5], 4);
}

TEST(ReceivePath, TerminatorAtPositionTwoIsAcceptedWithoutTheStuffingTest) {
  EXPECT_EQ(link::CheckForTen(hex("10 10 04"), 2), 2);
  EXPECT_EQ(link::findTerminator(hex("10 10 04"), 4), 2);
  // From position 3 on, a lone DLE in front rejects; a pair in front accepts.
  EXPECT_EQ(link::CheckForTen(hex("41 10 10 04"), 3), 0);
  EXPECT_EQ(link::CheckForTen(hex("10 10 10 04"), 3), 3);
  EXPECT_EQ(link::CheckForTen(hex("41 41 10 04"), 3), 3);
  EXPECT_EQ(link::CheckForTen(hex("10 10 10 10 04"), 4), 0);
  EXPECT_EQ(link::CheckForTen("", 0), 0);
}

TEST(ReceivePath, SizeReportCountsTheWholeBufferAndTrailingBytesAreLost) {
  Harness h;
  h.send(headerFrame({}));
  h.takeWritten();
  h.send(hex("10 02 81 02 23 E8 8E 10 17 41 42 43"));
  EXPECT_EQ(h.takeWritten(), hex("06"));
  // The size report is replaced by nothing while more messages follow; it is in the log.
  bool seen = false;
  for (const auto& [id, text] : h.view.labelLog)
    if (text == "Got message size =  12") seen = true;
  EXPECT_TRUE(seen);
  EXPECT_TRUE(h.prog.link.receivePath().RxBuffer().empty());
}

TEST(ReceivePath, TerminatorBeyondTheMessageArrayTakesTheLineErrorPath) {
  Harness h;
  std::vector<std::uint8_t> body(1030, 0x41);
  h.send(frame(2, body, 4));
  EXPECT_EQ(h.takeWritten(), hex("15"));
  EXPECT_EQ(h.label(LabelId::kLblGenMsg).rfind("Com error:  2  ", 0), 0u)
      << h.label(LabelId::kLblGenMsg);
  EXPECT_TRUE(h.prog.link.receivePath().RxBuffer().empty());
  // A message whose terminator's DLE is at position 1024 still fits.
  ReceivePath rx;
  std::string fits = hex("10 02") + std::string(1020, 'A') + hex("00 10 04");
  ASSERT_EQ(fits.size(), 1025u);
  EXPECT_EQ(rx.onChunk(fits).kind, Kind::kMessage);
  ReceivePath rx2;
  EXPECT_EQ(rx2.onChunk(hex("10 02") + std::string(1021, 'A') + hex("00 10 04")).kind,
            Kind::kTooLong);
}

TEST(LineErrors, EachCodeShowsItsTextSendsNakAndEmptiesTheBuffer) {
  const std::vector<std::pair<int, std::string>> expected = {
      {1001, "Break signal received"},
      {1002, "Clear-to-send timeout"},
      {1003, "Data-set ready timeout"},
      {1004, "Framing error"},
      {1006, "Port overrun"},
      {1007, "Carrier detect timeout"},
      {1008, "Receive buffer overflow"},
      {1009, "Parity error"},
      {1010, "Transmit buffer full"},
      {1011, "Unexpected error retrieving DCB for the port"}};
  for (const auto& [code, text] : expected) {
    Harness h;
    h.send(hex("10 02 81"));
    h.port.raise(code);
    EXPECT_EQ(h.label(LabelId::kLblGenMsg), "Com error:  " + std::to_string(code) + "  " + text);
    EXPECT_EQ(h.takeWritten(), hex("15"));
    EXPECT_TRUE(h.prog.link.receivePath().RxBuffer().empty());
    EXPECT_TRUE(h.prog.tmrShowGenMsg->enabled());
  }
}

TEST(LineErrors, OtherEventsChangeNothing) {
  for (int code : {1, 3, 4, 5, 6, 7, 1005, 0, 1012}) {
    Harness h;
    h.send(hex("10 02 81"));
    h.takeWritten();
    h.port.raise(code);
    EXPECT_EQ(h.takeWritten(), "") << code;
    EXPECT_EQ(h.prog.link.receivePath().RxBuffer(), hex("10 02 81")) << code;
  }
}

TEST(LastMessage, ShowsHexCodesWrappedEverySixtyFiveCharacters) {
  EXPECT_EQ(link::lastMessageText(""), "No Message");
  EXPECT_EQ(link::lastMessageText(hex("10 05")), "10,5\n\rEND!");
  // 40 bytes of 0x41: "41," is 3 characters; the break comes when the text reaches 65.
  std::string text = link::lastMessageText(std::string(40, 'A'));
  const std::string first = text.substr(0, text.find('\n'));
  EXPECT_EQ(first.size(), 66u);  // 22 entries of "41,"
  EXPECT_EQ(text.substr(text.size() - 6), "\n\rEND!");
  EXPECT_EQ(text.find("\n\r"), 66u);
  // The second line breaks at 130 characters counting the first break.
  std::string longer = link::lastMessageText(std::string(60, 'A'));
  EXPECT_EQ(longer.find("\n\r", 67), 131u);
}

TEST(LastMessage, BreakTriggeredByTheLastEntryLosesItsCarriageReturn) {
  // 22 entries of "41," reach 66 characters, so the break follows the last one; the final
  // character removed is then the break's CR, not the comma.
  std::string text = link::lastMessageText(std::string(22, 'A'));
  EXPECT_EQ(text.substr(63, 4), "41,\n");
  EXPECT_EQ(text.substr(text.size() - 8), ",\n\n\rEND!");
}

TEST(LastMessage, ButtonShowsTheBufferAsItStoodAfterTheLastNotification) {
  Harness h;
  h.prog.link.cmdLastMsg_Click();
  EXPECT_EQ(h.label(LabelId::kStatDat), "No Message");
  h.send(hex("10 05"));
  h.prog.link.cmdLastMsg_Click();
  EXPECT_EQ(h.label(LabelId::kStatDat), "10,5\n\rEND!");
}

}  // namespace
}  // namespace kestrand::testing
