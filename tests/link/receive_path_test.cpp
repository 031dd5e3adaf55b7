// Framing on the receive side: enquiries, terminators, stuffing, resynchronisation, the size
// report and the last-message display.

#include <gtest/gtest.h>

#include "link/receive_path.h"
#include "tests/link/frames.h"

namespace kestrand::testing {
namespace {

using link::ReceivePath;
using link::RxOutcome;
using Kind = RxOutcome::Kind;

TEST(ReceivePath, EnquiryWinsOverATerminatorAndTrailingBytesAreLostButCounted) {
  ReceivePath rx;
  EXPECT_EQ(rx.onChunk(hex("10 02 81 02 23 E8 8E 10 04 10 05")).kind, Kind::kEnquiry);
  EXPECT_TRUE(rx.RxBuffer().empty());
  const RxOutcome out = rx.onChunk(hex("10 02 81 02 23 E8 8E 10 17 41 42 43"));
  EXPECT_EQ(out.kind, Kind::kMessage);
  EXPECT_EQ(link::terminatorStatus(out.terminator, out.bufferLength), "Got message size =  12");
  EXPECT_EQ(link::terminatorStatus(link::Terminator::kDleEtx, 15), "Receiving Associated Data");
  EXPECT_TRUE(rx.RxBuffer().empty());
}

TEST(ReceivePath, TerminatorBeyondTheMessageArrayIsTooLong) {
  // A message whose terminator's DLE is at position 1024 still fits; one further does not.
  ReceivePath rx;
  std::string fits = hex("10 02") + std::string(1020, 'A') + hex("00 10 04");
  ASSERT_EQ(fits.size(), 1025u);
  EXPECT_EQ(rx.onChunk(fits).kind, Kind::kMessage);
  EXPECT_EQ(rx.onChunk(hex("10 02") + std::string(1021, 'A') + hex("00 10 04")).kind,
            Kind::kTooLong);
  // The cut itself refuses a terminator beyond entry 1024.
  link::Message m;
  std::string buffer(1030, 'A');
  EXPECT_FALSE(link::ConvMsg(buffer, 1025, m));
  EXPECT_TRUE(link::ConvMsg(buffer, 1024, m));
}

TEST(ReceivePath, LeadingNoiseIsDroppedBeforeTheSearch) {
  ReceivePath rx;
  EXPECT_EQ(rx.onChunk("").kind, Kind::kIgnored);
  RxOutcome out = rx.onChunk("xyz" + hex("10 05"));
  EXPECT_EQ(out.kind, Kind::kEnquiry);
  out = rx.onChunk("noise" + hex("10 02 81 02 23 E8 8E 10 04"));
  ASSERT_EQ(out.kind, Kind::kMessage);
  EXPECT_EQ(rx.message().MsgLength, 9);
  EXPECT_EQ(rx.message().MsgBytes[0], 16);
  EXPECT_EQ(rx.message().MsgBytes[8], 4);
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

TEST(ReceivePath, StuffedChecksumSixteenOrATerminatorAtPositionTwoEndsTheMessage) {
  ReceivePath rx;
  // Body 10 -> checksum 16, sent as DLE DLE, then DLE EOT.
  ASSERT_EQ(rx.onChunk(hex("10 02 10 10 10 10 10 04")).kind, Kind::kMessage);
  EXPECT_EQ(rx.message().MsgLength, 8);
  link::FixInputBuffer(rx.message());
  EXPECT_EQ(rx.message().MsgLength, 6);
  EXPECT_EQ(rx.message().MsgBytes[2], 16);  // the body byte
  EXPECT_EQ(rx.message().MsgBytes[3], 16);  // the checksum, unstuffed
  EXPECT_EQ(rx.message().MsgBytes[5], 4);
  // DLE DLE EOT ends at position 2, without the stuffing test; at position 3 a stuffed pair in
  // front does not reject it.
  for (const std::string& m : {hex("10 10 04"), hex("10 10 10 04")}) {
    ASSERT_EQ(rx.onChunk(m).kind, Kind::kMessage);
    EXPECT_EQ(rx.message().MsgLength, static_cast<int>(m.size()));
  }
}

TEST(LastMessage, ShowsHexCodesWrappedEverySixtyFiveCharactersEndingInEnd) {
  EXPECT_EQ(link::lastMessageText(""), "No Message");
  EXPECT_EQ(link::lastMessageText(hex("10 05")), "10,5\n\rEND!");
  // 40 bytes of 0x41: "41," is 3 characters; the break comes when the text reaches 65.
  std::string text = link::lastMessageText(std::string(40, 'A'));
  EXPECT_EQ(text.find("\n\r"), 66u);  // after 22 entries of "41,"
  EXPECT_EQ(text.substr(text.size() - 6), "\n\rEND!");
  // The second line breaks at 130 characters counting the first break.
  std::string longer = link::lastMessageText(std::string(60, 'A'));
  EXPECT_EQ(longer.find("\n\r", 67), 131u);
  // Entries of two characters ("5,") reach 64 without a break; the break comes at 66.
  EXPECT_EQ(link::lastMessageText(std::string(40, '\x05')).find("\n\r"), 66u);
  // 22 entries of "41," reach 66 characters, so the break follows the last one; the final
  // character removed is then the break's CR, not the comma.
  text = link::lastMessageText(std::string(22, 'A'));
  EXPECT_EQ(text.substr(63, 4), "41,\n");
  EXPECT_EQ(text.substr(text.size() - 8), ",\n\n\rEND!");
}

}  // namespace
}  // namespace kestrand::testing
