#include "link/receive_path.h"

#include <algorithm>

#include "core/text.h"

namespace kestrand::link {

void ReceivePath::clear() {
  RxBuffer_.clear();
  length_ = 0;
  framed_ = false;
  dleRun_ = 0;
  lastMirrors_ = false;
}

void ReceivePath::scan(std::string_view bytes, Found& found) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char b = bytes[i];
    if (dleRun_ > 0 && b != kDle) {
      // The DLE in front of b stands at 1-based position `at`. Preceded by an odd run of DLEs
      // (the run including it is even) it is the second half of a stuffed data byte; positions
      // 1 and 2 are taken without that test.
      const std::size_t at = length_ + i;
      if (at < 3 || dleRun_ % 2 == 1) {
        std::size_t* first = b == kEot   ? &found.eot
                             : b == kEtb ? &found.etb
                             : b == kEtx ? &found.etx
                             : b == kEnq ? &found.enq
                                         : nullptr;
        if (first && *first == 0) *first = at;
      }
    }
    dleRun_ = b == kDle ? dleRun_ + 1 : 0;
  }
}

RxOutcome ReceivePath::onChunk(std::string_view chunk) {
  RxOutcome out;
  if (chunk.empty()) return out;
  if (!framed_) {
    // Resynchronise: whatever stands in front of the first DLE cannot start a message.
    const std::size_t dle = chunk.find(kDle);
    if (dle != std::string_view::npos) {
      clear();
      framed_ = true;
      chunk.remove_prefix(dle);
    }
  }
  Found found;
  if (framed_) scan(chunk, found);
  const std::size_t room = kMsgCapacity - std::min<std::size_t>(RxBuffer_.size(), kMsgCapacity);
  const std::string_view kept = chunk.substr(0, std::min(room, chunk.size()));
  RxBuffer_.append(kept);
  if (lastMirrors_) LastMsg_.append(kept);
  length_ += chunk.size();
  if (length_ < 2) return out;
  if (!lastMirrors_) {
    LastMsg_ = RxBuffer_;
    lastMirrors_ = true;
  }

  if (found.enq > 0) {
    clear();
    out.kind = RxOutcome::Kind::kEnquiry;
    out.terminator = Terminator::kDleEnq;
    return out;
  }
  std::size_t endpt = 0;
  if (found.eot > 0) {
    endpt = found.eot;
    out.terminator = Terminator::kDleEot;
  } else if (found.etb > 0) {
    endpt = found.etb;
    out.terminator = Terminator::kDleEtb;
  } else if (found.etx > 0) {
    endpt = found.etx;
    out.terminator = Terminator::kDleEtx;
  } else {
    out.kind = RxOutcome::Kind::kNeedMore;
    return out;
  }
  out.bufferLength = length_;
  out.kind = endpt < kMsgCapacity && ConvMsg(RxBuffer_, static_cast<int>(endpt), msg_)
                 ? RxOutcome::Kind::kMessage
                 : RxOutcome::Kind::kTooLong;
  // Characters that followed the terminator in the same buffer are discarded with it.
  clear();
  return out;
}

bool ConvMsg(std::string& buffer, int endpt, Message& msg) {
  // The message runs from the buffer's first character to the terminator's second one, at
  // index endpt; it must fit entries 0..1024.
  if (endpt < 0 || endpt >= kMsgCapacity || static_cast<size_t>(endpt) >= buffer.size())
    return false;
  for (int i = 0; i < kMsgCapacity - 1; ++i) msg.MsgBytes[static_cast<size_t>(i)] = 0;
  for (int i = 0; i <= endpt; ++i)
    msg.MsgBytes[static_cast<size_t>(i)] =
        static_cast<std::int16_t>(static_cast<unsigned char>(buffer[static_cast<size_t>(i)]));
  buffer.erase(0, static_cast<size_t>(endpt) + 1);
  msg.MsgLength = static_cast<std::int16_t>(endpt + 1);
  return true;
}

void FixInputBuffer(Message& msg) {
  auto at = [&](int i) -> std::int16_t {
    return (i >= 0 && i < kMsgCapacity) ? msg.MsgBytes[static_cast<size_t>(i)] : std::int16_t{0};
  };
  ByteArray work{};
  work[0] = msg.MsgBytes[0];
  work[1] = msg.MsgBytes[1];
  int j = 2;
  bool escaped = false;
  int i = 2;
  for (; i <= msg.MsgLength - 4; ++i) {
    const std::int16_t b = at(i);
    if (escaped) {
      work[static_cast<size_t>(j++)] = b;
      escaped = false;
    } else if (b == kDle) {
      escaped = true;
    } else {
      work[static_cast<size_t>(j++)] = b;
    }
  }
  // The loop leaves i at MsgLength - 3, or at 2 when the body is empty.
  const int t = i;
  for (int k = 0; k <= 4; ++k)
    if (j + k < kMsgCapacity) work[static_cast<size_t>(j + k)] = at(t + k);
  const int oldLength = msg.MsgLength;
  msg.MsgBytes.fill(0);
  for (int m = 0; m <= oldLength && m < kMsgCapacity; ++m)
    msg.MsgBytes[static_cast<size_t>(m)] = work[static_cast<size_t>(m)];
  msg.MsgLength = static_cast<std::int16_t>(j + 3);
}

std::string lastMessageText(std::string_view lastMsg) {
  std::string out;
  size_t nextBreak = 65;
  for (char c : lastMsg) {
    out += hexText(static_cast<unsigned char>(c));
    out += ',';
    if (out.size() / nextBreak == 1) {
      out += kLineBreak;
      nextBreak += 65;
    }
  }
  if (out.empty()) return "No Message";
  out.pop_back();
  out += kLineBreak;
  out += "END!";
  return out;
}

}  // namespace kestrand::link
