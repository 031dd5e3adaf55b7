#pragma once
// Reading line errors out of the received byte stream, without any system or Qt calls.
//
// With the terminal settings of the serial port (see tty_line.h) the Linux terminal driver
// keeps every received byte and marks the bad ones in the stream itself:
//
//   FF FF     a data byte 0xFF (the driver doubles it so that it cannot start a mark)
//   FF 00 x   byte x arrived with a framing or parity error (x != 0)
//   FF 00 00  a break (or a framing/parity error on a zero byte, which looks the same)
//
// LineMarkDecoder strips the marks and reports where they stood. LineErrorClassifier turns
// the marks, together with the driver's error counters when it keeps them, into the
// program's event codes and the order in which they are delivered.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrand::adapters::posix {

enum class LineMark {
  kBreak,    // FF 00 00
  kBadByte,  // FF 00 x, x != 0
};

struct MarkAt {
  LineMark mark;
  std::size_t offset;  // number of clean bytes of the same feed() result in front of the mark
  unsigned char byte;  // the byte received with the error (0 for a break)
  bool operator==(const MarkAt&) const = default;
};

struct DecodedBytes {
  std::string bytes;          // the received data, marks removed and FF FF made one FF
  std::vector<MarkAt> marks;  // in order of arrival
};

class LineMarkDecoder {
 public:
  // Decodes the next chunk. A chunk that ends inside a mark (after FF, or after FF 00) keeps
  // that start for the next call; its bytes are not lost and not reported twice.
  DecodedBytes feed(std::string_view raw);
  // True while the decoder holds the start of an unfinished mark.
  bool holding() const { return state_ != State::kData; }
  void reset() { state_ = State::kData; }

 private:
  enum class State { kData, kAfterFf, kAfterFf00 };
  State state_ = State::kData;
};

// The error counters of a serial driver (Linux TIOCGICOUNT), as running totals.
struct LineCounters {
  std::uint32_t frame = 0;
  std::uint32_t parity = 0;
  std::uint32_t overrun = 0;        // the UART lost bytes
  std::uint32_t brk = 0;            // breaks
  std::uint32_t bufferOverrun = 0;  // the terminal buffer was full and dropped bytes
};

// One step of delivery: `bytes` become readable (with a receive notification when there are
// any), then the line error `lineError` is raised when it is not 0.
struct ReceiveStep {
  std::string bytes;
  int lineError = 0;
  bool operator==(const ReceiveStep&) const = default;
};

// Decides the event codes of one read. The rule that keeps an error from being reported
// twice:
//  - Framing, parity and break errors are reported by their marks only: each mark raises
//    one event at its place in the data; several marks in a row with no good byte between
//    them that give the same code raise it once.
//  - The counters only tell what a mark is, since a mark cannot tell a parity error from a
//    framing error, nor a break from a framing error on a zero byte. Each rise of the
//    frame, parity or break counter is a credit that one mark uses up: a bad-byte mark is
//    parity (1009) when a parity credit is left, else framing (1004); a break mark is a
//    break (1001) when a break credit is left, else framing, else parity, else a break.
//    Without credits (no counters, as on a pseudo-terminal) a bad-byte mark is framing and
//    a break mark is a break. Credits not used by the read that brought them wait for the
//    next read (the counters rise before the marked bytes can be read) and are then
//    dropped.
//  - Overrun (1006) and terminal-buffer overflow (1008) leave no mark; a read during which
//    the counter rose raises the code once, after the read's data.
class LineErrorClassifier {
 public:
  // Starts over with the counters at opening; nullopt when the driver keeps none.
  void reset(std::optional<LineCounters> baseline);
  // The steps for one decoded read and the counters read just after it.
  std::vector<ReceiveStep> steps(const DecodedBytes& decoded,
                                 const std::optional<LineCounters>& now);

 private:
  struct Credits {
    std::uint32_t frame = 0;
    std::uint32_t parity = 0;
    std::uint32_t brk = 0;
  };
  std::optional<LineCounters> last_;
  Credits carried_;
};

}  // namespace kestrand::adapters::posix
