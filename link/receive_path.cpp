#include "link/receive_path.h"

#include "core/text.h"

namespace kestrand::link {

int CheckForTen(std::string_view buffer, int yesTEN) {
  if (yesTEN < 3) return yesTEN;
  // Count the run of DLEs right in front of the candidate DLE (index yesTEN - 1).
  int run = 0;
  for (int k = yesTEN - 2; k >= 0 && buffer[static_cast<size_t>(k)] == kDle; --k) ++run;
  return (run % 2 == 1) ? 0 : yesTEN;
}

int findTerminator(std::string_view buffer, char code) {
  const char pattern[2] = {kDle, code};
  size_t from = 0;
  for (;;) {
    size_t at = buffer.find(std::string_view(pattern, 2), from);
    if (at == std::string_view::npos) return 0;
    int pos = static_cast<int>(at) + 1;
    if (CheckForTen(buffer, pos) != 0) return pos;
    from = at + 1;
  }
}

RxOutcome ReceivePath::onChunk(std::string_view chunk) {
  RxOutcome out;
  if (chunk.empty()) return out;
  RxBuffer_.append(chunk);

  // Resynchronise: whatever stands in front of the first DLE cannot start a message.
  size_t dle = RxBuffer_.find(kDle);
  if (dle != std::string::npos && dle > 0) RxBuffer_.erase(0, dle);
  if (RxBuffer_.size() < 2) return out;

  LastMsg_ = RxBuffer_;

  const int eot = findTerminator(RxBuffer_, kEot);
  const int etx = findTerminator(RxBuffer_, kEtx);
  const int enq = findTerminator(RxBuffer_, kEnq);
  const int etb = findTerminator(RxBuffer_, kEtb);

  if (enq > 0) {
    RxBuffer_.clear();
    out.kind = RxOutcome::Kind::kEnquiry;
    out.terminator = Terminator::kDleEnq;
    return out;
  }
  int endpt = 0;
  if (eot > 0) {
    endpt = eot;
    out.terminator = Terminator::kDleEot;
  } else if (etb > 0) {
    endpt = etb;
    out.terminator = Terminator::kDleEtb;
  } else if (etx > 0) {
    endpt = etx;
    out.terminator = Terminator::kDleEtx;
  } else {
    out.kind = RxOutcome::Kind::kNeedMore;
    return out;
  }
  out.bufferLength = RxBuffer_.size();
  out.kind =
      ConvMsg(RxBuffer_, endpt, msg_) ? RxOutcome::Kind::kMessage : RxOutcome::Kind::kTooLong;
  // Characters that followed the terminator in the same buffer are discarded with it.
  RxBuffer_.clear();
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
    return (i >= 0 && i < kMsgCapacity) ? msg.MsgBytes[static_cast<size_t>(i)] : 0;
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
