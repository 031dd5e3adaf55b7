#include "tools/meter_sim/session.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <deque>
#include <thread>

namespace kestrand::meter_sim {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string hexByte(std::uint8_t b) {
  std::array<char, 8> buf{};
  std::snprintf(buf.data(), buf.size(), "%02X", static_cast<unsigned>(b));
  return buf.data();
}

const char* terminatorName(Terminator t) {
  switch (t) {
    case Terminator::kHeaderEnd:
      return "ETX";
    case Terminator::kMoreFollow:
      return "ETB";
    case Terminator::kLast:
      return "EOT";
  }
  return "?";
}

class Session {
 public:
  Session(SerialLine& line, const SessionSettings& settings, std::ostream& log)
      : line_(line), settings_(settings), log_(log), noiseState_(settings.noiseSeed) {}

  SessionReport run(const std::vector<PlannedMessage>& plan) {
    try {
      if (connect()) {
        for (std::size_t k = 0; k < plan.size(); ++k) {
          if (settings_.pauseBefore == k) pause(k);
          const PlannedMessage& m = plan[k];
          if (m.type == MessageType::kHeader && settings_.noHeader) continue;
          if (!stopCheck()) break;
          drain(milliseconds(0), "before message " + std::to_string(k));
          if (!send(k, m)) break;
          if (!awaitAnswer(k, m)) break;
        }
        drain(milliseconds(200), "after the last message");
      }
    } catch (const std::exception& e) {
      problem(e.what());
    }
    return report_;
  }

 private:
  void problem(const std::string& text) {
    report_.problems.push_back(text);
    log_ << "meter-sim: " << text << '\n';
  }
  void note(const std::string& text) { log_ << "meter-sim: " << text << '\n'; }

  bool stopCheck() {
    if (!stopRequested()) return true;
    if (!stopReported_) problem("interrupted");
    stopReported_ = true;
    return false;
  }

  // The next byte from the line, or nothing when none arrives before `deadline`.
  std::optional<std::uint8_t> nextByte(Clock::time_point deadline) {
    while (pending_.empty()) {
      const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
      const Bytes got = line_.read(std::max(left, milliseconds(0)));
      if (got.empty()) {
        if (Clock::now() >= deadline || stopRequested()) return std::nullopt;
        continue;
      }
      pending_.insert(pending_.end(), got.begin(), got.end());
    }
    const std::uint8_t b = pending_.front();
    pending_.pop_front();
    return b;
  }

  void stray(std::uint8_t b, const std::string& when) {
    ++report_.strayBytes;
    note("unexpected byte " + hexByte(b) + " " + when);
  }

  bool writeBytes(std::span<const std::uint8_t> bytes) {
    if (line_.write(bytes, settings_.pace, milliseconds(settings_.ackTimeoutMs))) return true;
    stopCheck();
    if (!stopRequested()) {
      problem("the line took no bytes for " + std::to_string(settings_.ackTimeoutMs) + " ms");
    }
    return false;
  }

  bool connect() {
    const auto deadline = Clock::now() + std::chrono::seconds(settings_.connectTimeoutS);
    const std::array<std::uint8_t, 2> enquiry{kDle, kEnq};
    while (!report_.connected && Clock::now() < deadline && stopCheck()) {
      if (!writeBytes(enquiry)) return false;
      ++report_.enquiries;
      const auto until = std::min(Clock::now() + milliseconds(kEnquiryIntervalMs), deadline);
      while (const auto b = nextByte(until)) {
        if (*b == kAck) {
          report_.connected = true;
          break;
        }
        stray(*b, "in answer to the enquiry");
      }
    }
    if (!report_.connected) {
      if (!stopRequested()) {
        problem("no ACK to the enquiry within " + std::to_string(settings_.connectTimeoutS) + " s");
      }
      return false;
    }
    if (settings_.verbose)
      note("connected after " + std::to_string(report_.enquiries) + " enquiries");
    // Enquiries queued before the receiver opened the line may draw further ACKs.
    const auto settle = Clock::now() + milliseconds(kSettleMs);
    while (const auto b = nextByte(settle)) {
      if (*b == kAck) {
        ++report_.extraEnquiryAcks;
      } else if (*b == kNak) {
        ++report_.naks;
        problem("NAK after the enquiry was acknowledged");
      } else {
        stray(*b, "after the enquiry");
      }
    }
    return true;
  }

  // Reads what arrives within `window` where no answer is due.
  void drain(milliseconds window, const std::string& when) {
    const auto until = Clock::now() + window;
    while (const auto b = nextByte(until)) {
      if (*b == kNak) {
        ++report_.naks;
        problem("unexpected NAK " + when);
      } else {
        stray(*b, when);
      }
    }
  }

  void pause(std::size_t k) {
    const bool watchdogArmed = report_.headersSent > 0 && k >= 1;
    note("pausing " + std::to_string(settings_.pauseMs) + " ms before message " +
         std::to_string(k));
    const auto until = Clock::now() + milliseconds(settings_.pauseMs);
    int naks = 0;
    while (const auto b = nextByte(until)) {
      if (*b == kNak) {
        ++naks;
        ++report_.naks;
      } else {
        stray(*b, "during the pause");
      }
    }
    if (stopRequested()) return;
    const bool mustFire = settings_.pauseMs >= kWatchdogMs + kWatchdogMarginMs;
    const bool mayFire = settings_.pauseMs > kWatchdogMs - kWatchdogMarginMs;
    if (!watchdogArmed || !mayFire) {
      if (naks > 0) problem("NAK during the pause before message " + std::to_string(k));
      return;
    }
    if (naks == 0) {
      if (mustFire) problem("no NAK from the receiver's watchdog during the pause");
      return;
    }
    report_.expectedNaks += 1;
    if (naks > 1) problem(std::to_string(naks) + " NAKs during the pause");
    report_.watchdogLostFrom = k;
    note("the receiver's watchdog answered NAK during the pause; message " + std::to_string(k) +
         " must be refused");
  }

  bool send(std::size_t k, const PlannedMessage& m, bool again = false) {
    std::optional<std::uint8_t> sum;
    if (settings_.badChecksum == k) sum = static_cast<std::uint8_t>(checksum(m.body) + 1u);
    const Bytes frame = encodeFrame(m.type, m.body, m.terminator, sum);
    if (settings_.noise) {
      Bytes junk;
      for (int i = 0; i < 3; ++i) {
        noiseState_ = noiseState_ * 6364136223846793005ull + 1442695040888963407ull;
        auto b = static_cast<std::uint8_t>(noiseState_ >> 56);
        if (b == kDle) b = 0x55;
        junk.push_back(b);
      }
      if (!writeBytes(junk)) return false;
    }
    const std::size_t pieces = std::clamp<std::size_t>(
        static_cast<std::size_t>(std::max(settings_.splitChunks, 1)), 1, frame.size());
    std::size_t at = 0;
    for (std::size_t p = 0; p < pieces; ++p) {
      const std::size_t end = frame.size() * (p + 1) / pieces;
      if (p > 0) std::this_thread::sleep_for(milliseconds(kPieceGapMs));
      if (!writeBytes(std::span(frame).subspan(at, end - at))) return false;
      at = end;
    }
    if (again) {
      ++report_.resends;
    } else if (m.type == MessageType::kHeader) {
      ++report_.headersSent;
    } else {
      ++report_.dataSent;
    }
    if (!again) report_.recordsSent += m.recordCount;
    lastFrameSize_ = frame.size();
    return true;
  }

  // One answer: ACK (after any NAKs), a NAK alone (the message refused), or none in time.
  enum class Answer { kAck, kRefused, kNone };
  Answer readAnswer(int& naks) {
    auto deadline = Clock::now() + milliseconds(settings_.ackTimeoutMs);
    while (const auto b = nextByte(deadline)) {
      if (*b == kAck) return Answer::kAck;
      if (*b == kNak) {
        ++naks;
        ++report_.naks;
        deadline = std::min(deadline, Clock::now() + milliseconds(kNakGraceMs));
      } else {
        stray(*b, "in an answer");
      }
    }
    return naks > 0 ? Answer::kRefused : Answer::kNone;
  }

  bool awaitAnswer(std::size_t k, const PlannedMessage& m) {
    const bool nakThenAck = settings_.noHeader && m.type == MessageType::kData;
    const std::string name = "message " + std::to_string(k);
    for (int sent = 1;; ++sent) {
      int naks = 0;
      const Answer answer = readAnswer(naks);
      if (settings_.verbose) {
        std::string text = naks > 0 ? std::to_string(naks) + " NAK " : "";
        text += answer == Answer::kAck ? "ACK" : "no ACK";
        note(name + " (" + (m.type == MessageType::kHeader ? "header" : "data") + ", " +
             std::to_string(lastFrameSize_) + " bytes, " + std::to_string(m.recordCount) +
             " records, " + terminatorName(m.terminator) + "): " + text);
      }
      if (answer == Answer::kNone) {
        if (stopRequested()) return stopCheck();
        ++report_.missingAnswers;
        problem(name + ": no answer within " + std::to_string(settings_.ackTimeoutMs) +
                " ms; upload stopped");
        return false;
      }
      if (answer == Answer::kAck) {
        ++report_.acks;
        if (nakThenAck) {
          if (naks == 1) {
            ++report_.expectedNaks;
          } else {
            problem(name + ": expected NAK then ACK (data without a header), got " +
                    std::to_string(naks) + " NAK before the ACK");
          }
        } else if (naks > 0) {
          problem(name + " was answered with NAK then ACK");
        } else if (report_.watchdogLostFrom) {
          problem(name + " was acknowledged after the receiver's watchdog ended the upload");
        }
        report_.acknowledged = k + 1;
        report_.recordsAcknowledged += m.recordCount;
        return true;
      }
      // Refused: NAK alone.
      if (report_.watchdogLostFrom && !nakThenAck) {
        report_.expectedNaks += naks;
        note(name + " refused, as the receiver's watchdog ended the upload; upload stopped");
        return false;
      }
      if (nakThenAck || sent > settings_.resends) {
        problem(name + " refused " + std::to_string(sent) + " times; upload stopped");
        return false;
      }
      note(name + " refused; sending it again");
      std::this_thread::sleep_for(milliseconds(kResendDelayMs));
      if (!send(k, m, true)) return false;
    }
  }

  SerialLine& line_;
  const SessionSettings& settings_;
  std::ostream& log_;
  SessionReport report_;
  std::deque<std::uint8_t> pending_;
  std::uint64_t noiseState_;
  std::size_t lastFrameSize_ = 0;
  bool stopReported_ = false;
};

}  // namespace

SessionReport runSession(SerialLine& line, const std::vector<PlannedMessage>& plan,
                         const SessionSettings& settings, std::ostream& log) {
  return Session(line, settings, log).run(plan);
}

void printSummary(const SessionReport& r, std::ostream& out) {
  out << "enquiries sent: " << r.enquiries << (r.connected ? " (connected)" : " (no ACK)") << '\n';
  out << "messages sent: " << r.headersSent + r.dataSent << " (" << r.headersSent << " header, "
      << r.dataSent << " data)\n";
  out << "ACKs: " << r.acks << '\n';
  out << "NAKs: " << r.naks << " (" << r.expectedNaks << " expected)\n";
  out << "missing answers: " << r.missingAnswers << '\n';
  out << "resends: " << r.resends << '\n';
  out << "messages acknowledged: " << r.acknowledged << " (" << r.recordsAcknowledged
      << " records)\n";
  if (r.strayBytes > 0) out << "unexpected bytes: " << r.strayBytes << '\n';
  out << "records sent: " << r.recordsSent << '\n';
  out << "result: " << (r.ok() ? "OK" : "FAILED") << '\n';
}

}  // namespace kestrand::meter_sim
