#pragma once
// The receive path of the meter link, without any I/O: chunks of received bytes go in, and out
// comes what the bytes amount to (an enquiry, a complete message, or the need for more bytes).
// The caller answers, shows the texts and runs the parser.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrand::link {

// Bytes of the link protocol.
inline constexpr char kDle = 16;
inline constexpr char kEnq = 5;
inline constexpr char kEot = 4;
inline constexpr char kEtb = 23;
inline constexpr char kEtx = 3;
inline constexpr char kAck = 6;
inline constexpr char kNak = 21;
inline constexpr int kSohCode = 1;
inline constexpr int kStxCode = 2;

inline constexpr int kMsgCapacity = 1025;  // entries 0..1024
using ByteArray = std::array<std::int16_t, kMsgCapacity>;

// One message cut out of the receive buffer: byte values 0..255, `MsgLength` of them valid.
struct Message {
  ByteArray MsgBytes{};
  std::int16_t MsgLength = 0;
};

enum class Terminator { kNone, kDleEnq, kDleEot, kDleEtb, kDleEtx };

struct RxOutcome {
  enum class Kind {
    kIgnored,   // empty chunk, or fewer than two characters buffered: wait quietly
    kNeedMore,  // no terminator yet: "Connected to Rurevad"
    kEnquiry,   // DLE ENQ: answer ACK, buffer emptied
    kMessage,   // a message ending in DLE EOT, ETB or ETX, now in message()
    kTooLong,   // a terminator beyond the message array: line error, buffer emptied
  };
  Kind kind = Kind::kIgnored;
  Terminator terminator = Terminator::kNone;
  // Length of the receive buffer when the terminator was found (for the size report).
  std::size_t bufferLength = 0;
};

// The receive buffer is bounded: only its first kMsgCapacity bytes are kept (no message is
// longer), its full length is counted, and each chunk is searched once, on its own bytes, so the
// cost of a chunk does not depend on what came before it. Nothing in front of the first DLE is
// kept once a DLE arrives. The outcomes are those of searching the whole buffer: a terminator
// beyond the kept bytes still ends an over-long buffer with kTooLong, and a DLE inside it is
// never taken for the start of a new message.
class ReceivePath {
 public:
  // Appends a chunk and decides what it completes.
  RxOutcome onChunk(std::string_view chunk);
  // Empties the receive buffer (line errors, the watchdog).
  void clear();

  // The first kMsgCapacity bytes of the receive buffer (all of it unless over-long).
  const std::string& RxBuffer() const { return RxBuffer_; }
  // The receive buffer (as RxBuffer()) after the last chunk that left two bytes or more in it.
  const std::string& LastMsg() const { return LastMsg_; }
  Message& message() { return msg_; }
  const Message& message() const { return msg_; }

 private:
  // First position (1-based, of the DLE) of each terminator in the new bytes, 0 when absent.
  struct Found {
    std::size_t eot = 0, etb = 0, etx = 0, enq = 0;
  };
  void scan(std::string_view bytes, Found& found);

  std::string RxBuffer_;
  std::size_t length_ = 0;
  bool framed_ = false;     // the buffer starts with a DLE
  std::size_t dleRun_ = 0;  // DLEs at the end of the buffer
  std::string LastMsg_;
  bool lastMirrors_ = false;  // LastMsg_ follows RxBuffer_ as it grows
  Message msg_;
};

// Moves the characters up to and including the terminator (its DLE at 1-based `endpt`) from the
// front of `buffer` into `msg`. Returns false, leaving `buffer` untouched, when the message does
// not fit the array.
bool ConvMsg(std::string& buffer, int endpt, Message& msg);

// Removes the byte stuffing of the body in place, keeping the two start bytes and the three
// tail bytes (checksum, DLE, terminator) as they are.
void FixInputBuffer(Message& msg);

// "Display last message": the codes of `lastMsg` in hexadecimal, wrapped every 65 characters.
std::string lastMessageText(std::string_view lastMsg);

}  // namespace kestrand::link
