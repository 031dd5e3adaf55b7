#pragma once
// The meter's side of one upload on a line: the enquiry, the messages and the answers to them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/meter_sim/serial_line.h"
#include "tools/meter_sim/upload.h"

namespace kestrand::meter_sim {

struct SessionSettings {
  int connectTimeoutS = 30;
  int ackTimeoutMs = 3000;
  bool pace = false;
  int splitChunks = 1;                     // pieces per message, 50 ms apart
  bool noise = false;                      // a few bytes other than DLE in front of every message
  std::optional<std::size_t> pauseBefore;  // message index (0 = header)
  int pauseMs = 0;
  std::optional<std::size_t> badChecksum;  // message index with a wrong checksum
  bool noHeader = false;                   // data messages only; each is answered NAK then ACK
  int resends = 3;                         // times a refused message (NAK alone) is sent again
  bool verbose = false;                    // one line per message
  std::uint64_t noiseSeed = 1;
};

// The receiver's upload watchdog. A pause this much longer than it must draw its NAK; a pause
// this much shorter must not. Between the two either outcome is accepted.
inline constexpr int kWatchdogMs = 10000;
inline constexpr int kWatchdogMarginMs = 1000;
inline constexpr int kPieceGapMs = 50;
inline constexpr int kEnquiryIntervalMs = 1000;
inline constexpr int kSettleMs = 300;
// After a NAK, an ACK that follows within this time belongs to the same answer (NAK then ACK);
// a NAK alone refuses the message, which the meter keeps and sends again after a short wait.
inline constexpr int kNakGraceMs = 500;
inline constexpr int kResendDelayMs = 200;

struct SessionReport {
  bool connected = false;
  int enquiries = 0;
  int extraEnquiryAcks = 0;
  int headersSent = 0;
  int dataSent = 0;
  int acks = 0;
  int naks = 0;          // every NAK received
  int expectedNaks = 0;  // of them: the pairs of data without header, the watchdog's, and the
                         // refusals of data after the watchdog ended the upload
  int resends = 0;       // messages sent again after a refusal
  int missingAnswers = 0;
  int strayBytes = 0;
  std::uint64_t recordsSent = 0;
  // First message the receiver's watchdog gave up on: the receiver must refuse it, and the
  // upload stops there.
  std::optional<std::size_t> watchdogLostFrom;
  // Messages 0 .. acknowledged-1 of the plan were acknowledged, each once, in order: the
  // receiver must hold all of their records, and none of the later ones.
  std::size_t acknowledged = 0;
  std::uint64_t recordsAcknowledged = 0;
  std::vector<std::string> problems;
  bool ok() const { return connected && problems.empty(); }
};

SessionReport runSession(SerialLine& line, const std::vector<PlannedMessage>& plan,
                         const SessionSettings& settings, std::ostream& log);

void printSummary(const SessionReport& report, std::ostream& out);

}  // namespace kestrand::meter_sim
