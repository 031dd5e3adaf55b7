// libFuzzer target: arbitrary traffic on the meter link (receive path, upload session, the loop
// that carries out its actions, upload writer; the store's file list, recorded texts and fake
// timers behind it), into real files.
//
// The input is a little program for the line; each step starts with an op byte:
//
//   op % 9 = 0, 1, 2  deliver a chunk: the next byte n, then the next n bytes as one notification
//            3        a port event: the next byte picks one of the line errors 1001..1011 (1005
//                     is no error and does nothing), nothing (8 of 20), or the device going away
//            4        time passes: the next byte k advances the timers by k*100 ms
//            5        nothing happens (the meter does not answer)
//            6        repeat a chunk: the next byte r, the next byte n, then n bytes delivered
//                     (r % 64) + 1 times (reaches uploads long enough for continuation files)
//            7        trickle: the next byte n, then n bytes, delivered one byte per notification
//            8        the user asks for the last message (its bytes shown in hexadecimal)
//
// A step cut short by the end of the input uses what is left. The files go to a fresh directory
// under /dev/shm (or $KESTRAND_FUZZ_DIR when set), emptied before every input.
//
// Checks beyond the sanitizers: the program only ever sends ACK (6) or NAK (21); the message
// length stays inside the array; the receive buffer is empty, starts with DLE, or holds no DLE;
// the last message always has a text.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "adapters/posix/posix_file_system.h"
#include "tests/support/link_rig.h"

namespace {

using namespace kestrand;

[[noreturn]] void violated(const char* what) {
  std::fprintf(stderr, "receive_fuzz: invariant violated: %s\n", what);
  std::abort();
}

std::string makeScratch() {
  const char* parent = std::getenv("KESTRAND_FUZZ_DIR");
  std::string templ =
      std::string(parent && *parent ? parent : "/dev/shm") + "/kestrand-fuzz-XXXXXX";
  if (!::mkdtemp(templ.data())) violated("no scratch directory");
  return templ;
}

void checkState(testing::LinkRig& rig) {
  for (char c : rig.replies.written)
    if (c != link::kAck && c != link::kNak) violated("a byte other than ACK or NAK was sent");
  rig.replies.written.clear();
  const link::ReceivePath& rx = rig.link.receivePath();
  const int length = rx.message().MsgLength;
  if (length < 0 || length > link::kMsgCapacity) violated("message length outside the array");
  const std::string& buffer = rx.RxBuffer();
  if (!buffer.empty() && buffer.front() != link::kDle &&
      buffer.find(link::kDle) != std::string::npos)
    violated("the receive buffer holds a DLE but does not start with one");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string dir = makeScratch();
  for (const auto& e : std::filesystem::directory_iterator(dir))
    std::filesystem::remove_all(e.path());
  adapters::posix::PosixFileSystem files(dir);
  testing::LinkRig rig(files, dir);

  std::size_t at = 0;
  auto byte = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
  auto bytes = [&](std::size_t n) {
    n = std::min(n, size - at);
    at += n;
    return std::string_view(reinterpret_cast<const char*>(data + at - n), n);
  };
  while (at < size) {
    const int op = byte() % 9;
    if (op <= 2) rig.deliver(bytes(byte()));
    if (op == 3) {
      const int code = byte() % 20;  // 1001..1011, nothing, and the device gone
      if (code < 11 && code != 4)
        rig.link.lineError(1001 + code, rig.messages.commErrText(1001 + code));
      if (code == 19) rig.link.onPortLost();
    }
    if (op == 4) rig.timers.advance(byte() * 100);
    if (op == 6) {
      const int repeat = byte() % 64 + 1;
      const std::string_view chunk = bytes(byte());
      for (int r = 0; r < repeat; ++r, checkState(rig)) rig.deliver(chunk);
    }
    if (op == 7) {
      for (char c : bytes(byte())) {
        rig.deliver(std::string_view(&c, 1));
        checkState(rig);
      }
    }
    if (op == 8 && rig.link.lastMessage().empty()) violated("the last message has no text");
    checkState(rig);
  }
  rig.link.closeChannel();  // as at shut-down
  return 0;
}
