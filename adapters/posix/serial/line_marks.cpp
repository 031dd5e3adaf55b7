#include "adapters/posix/serial/line_marks.h"

#include "ports/serial_port.h"

namespace kestrand::adapters::posix {

namespace {
constexpr char kMarkStart = '\xFF';
}  // namespace

DecodedBytes LineMarkDecoder::feed(std::string_view raw) {
  DecodedBytes out;
  out.bytes.reserve(raw.size());
  for (const char c : raw) {
    switch (state_) {
      case State::kData:
        if (c == kMarkStart) {
          state_ = State::kAfterFf;
        } else {
          out.bytes.push_back(c);
        }
        break;
      case State::kAfterFf:
        if (c == kMarkStart) {  // FF FF: one data byte FF
          out.bytes.push_back(kMarkStart);
          state_ = State::kData;
        } else if (c == '\0') {
          state_ = State::kAfterFf00;
        } else {
          // Not a mark (the driver never sends this while marking): keep both bytes.
          out.bytes.push_back(kMarkStart);
          out.bytes.push_back(c);
          state_ = State::kData;
        }
        break;
      case State::kAfterFf00: {
        const auto byte = static_cast<unsigned char>(c);
        out.marks.push_back(
            MarkAt{byte == 0 ? LineMark::kBreak : LineMark::kBadByte, out.bytes.size(), byte});
        state_ = State::kData;
        break;
      }
    }
  }
  return out;
}

namespace {

// Credits of one counter: those left from the previous read are used first.
struct Pool {
  std::uint32_t old = 0;
  std::uint32_t fresh = 0;
  bool take() {
    if (old > 0) {
      --old;
      return true;
    }
    if (fresh > 0) {
      --fresh;
      return true;
    }
    return false;
  }
};

}  // namespace

void LineErrorClassifier::reset(std::optional<LineCounters> baseline) {
  last_ = baseline;
  carried_ = {};
}

std::vector<ReceiveStep> LineErrorClassifier::steps(const DecodedBytes& decoded,
                                                    const std::optional<LineCounters>& now) {
  // Counter rises since the last read (unsigned arithmetic copes with a wrapped counter).
  LineCounters rise;
  if (now && last_) {
    rise.frame = now->frame - last_->frame;
    rise.parity = now->parity - last_->parity;
    rise.overrun = now->overrun - last_->overrun;
    rise.brk = now->brk - last_->brk;
    rise.bufferOverrun = now->bufferOverrun - last_->bufferOverrun;
  }
  if (now) last_ = now;

  Pool frame{carried_.frame, rise.frame};
  Pool parity{carried_.parity, rise.parity};
  Pool brk{carried_.brk, rise.brk};

  std::vector<ReceiveStep> out;
  std::size_t from = 0;
  for (const MarkAt& m : decoded.marks) {
    int code = 0;
    if (m.mark == LineMark::kBadByte) {
      if (parity.take()) {
        code = ports::comm_event::kRxParity;
      } else {
        frame.take();
        code = ports::comm_event::kFrame;
      }
    } else if (brk.take()) {
      code = ports::comm_event::kBreak;
    } else if (frame.take()) {
      code = ports::comm_event::kFrame;
    } else if (parity.take()) {
      code = ports::comm_event::kRxParity;
    } else {
      code = ports::comm_event::kBreak;
    }
    std::string before = decoded.bytes.substr(from, m.offset - from);
    from = m.offset;
    if (before.empty() && !out.empty() && out.back().lineError == code) continue;
    out.push_back(ReceiveStep{std::move(before), code});
  }
  if (from < decoded.bytes.size()) out.push_back(ReceiveStep{decoded.bytes.substr(from), 0});

  for (const auto& [risen, code] : {std::pair{rise.overrun, ports::comm_event::kOverrun},
                                    std::pair{rise.bufferOverrun, ports::comm_event::kRxOver}}) {
    if (risen == 0) continue;
    if (!out.empty() && out.back().lineError == 0) {
      out.back().lineError = code;
    } else {
      out.push_back(ReceiveStep{{}, code});
    }
  }

  carried_ = Credits{frame.fresh, parity.fresh, brk.fresh};
  return out;
}

}  // namespace kestrand::adapters::posix
