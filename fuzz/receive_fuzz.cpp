// libFuzzer target: arbitrary traffic on the meter link, through the receive path, the upload
// session and the upload writer, into real files.
//
// The input is a little program for the line; each step starts with an op byte:
//
//   op % 9 = 0, 1, 2  deliver a chunk: the next byte n, then the next n bytes as one notification
//            3        raise a port event: the next byte picks one of 1001..1011 and 1..7 (and 0)
//            4        time passes: the next byte k advances the watchdog's clock by k*100 ms
//            5        nothing happens (the meter does not answer)
//            6        repeat a chunk: the next byte r, the next byte n, then n bytes delivered
//                     (r % 64) + 1 times (reaches uploads long enough for continuation files)
//            7        trickle: the next byte n, then n bytes, delivered one byte per notification
//            8        the user asks for the last message (its bytes shown in hexadecimal)
//
// A step cut short by the end of the input uses what is left. The files go to a real file
// system: a fresh directory under /dev/shm (or /tmp, or $KESTRAND_FUZZ_DIR when set), created
// once per process and emptied before every input, so each input starts from an empty data
// directory and the disk cannot fill.
//
// Checks beyond the sanitizers: the program only ever sends ACK (6) or NAK (21); the message
// array never holds more entries than it has; the receive buffer is empty, starts with DLE, or
// holds no DLE at all; nothing but plain files appears in the data directory.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "link/receive_path.h"
#include "platform/posix/posix_file_system.h"
#include "tests/support/link_rig.h"

namespace {

namespace fs = std::filesystem;
using namespace kestrand;

[[noreturn]] void violated(const char* what) {
  std::fprintf(stderr, "receive_fuzz: invariant violated: %s\n", what);
  std::abort();
}

// The data directory of this process, removed again at a normal exit.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    const char* parent = std::getenv("KESTRAND_FUZZ_DIR");
    std::string base =
        parent && *parent ? parent : (fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp");
    std::string templ = base + "/kestrand-receive-fuzz-XXXXXX";
    if (!::mkdtemp(templ.data())) {
      std::perror("receive_fuzz: mkdtemp");
      std::abort();
    }
    path_ = templ;
  }
  ~ScratchDirectory() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::string& path() const { return path_; }

  // Removes everything the previous input left, checking that it was plain files only.
  void empty() const {
    for (const fs::directory_entry& e : fs::directory_iterator(path_)) {
      if (!e.is_regular_file()) violated("the data directory holds something else than files");
      fs::remove(e.path());
    }
  }

 private:
  std::string path_;
};

const ScratchDirectory& scratch() {
  static const ScratchDirectory dir;
  return dir;
}

// The data directory's real file system, set up before the program that uses it.
struct PosixDataDirectory {
  explicit PosixDataDirectory(const std::string& dir) : files(dir) {}
  platform::posix::PosixFileSystem files;
};

// The link over the real file system.
struct Rig : PosixDataDirectory, testing::LinkRig {
  explicit Rig(const std::string& dir) : PosixDataDirectory(dir), LinkRig(files, dir) {}

  void raise(int code) {
    if (code >= 1001 && code <= 1011 && code != 1005) lineError();
  }
};

constexpr int kEventCodes[] = {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010,
                               1011, 1,    2,    3,    4,    5,    6,    7,    0};
constexpr std::size_t kEventCount = sizeof kEventCodes / sizeof kEventCodes[0];

class Script {
 public:
  Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool done() const { return at_ >= size_; }
  std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::string_view bytes(std::size_t n) {
    if (n > size_ - at_) n = size_ - at_;
    std::string_view out(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// With KESTRAND_FUZZ_TRACE set, each input ends with a summary on stderr (to check what a seed
// reaches): answers sent, message boxes shown, files left in the data directory.
struct Trace {
  bool on = std::getenv("KESTRAND_FUZZ_TRACE") != nullptr;
  int acks = 0;
  int naks = 0;
};

void checkState(Rig& rig, Trace& trace) {
  for (char c : rig.replies) {
    if (c == link::kAck) {
      ++trace.acks;
    } else if (c == link::kNak) {
      ++trace.naks;
    } else {
      violated("a byte other than ACK or NAK was sent");
    }
  }
  rig.replies.clear();

  const link::ReceivePath& rx = rig.rx;
  const int length = rx.message().MsgLength;
  if (length < 0 || length > link::kMsgCapacity) violated("message length outside the array");

  const std::string& buffer = rx.RxBuffer();
  if (!buffer.empty() && buffer.front() != link::kDle &&
      buffer.find(link::kDle) != std::string::npos)
    violated("the receive buffer holds a DLE but does not start with one");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ScratchDirectory& dir = scratch();
  dir.empty();

  Rig rig(dir.path());
  Trace trace;
  Script in(data, size);
  while (!in.done()) {
    switch (in.byte() % 9) {
      case 0:
      case 1:
      case 2: {
        const std::size_t n = in.byte();
        rig.deliver(in.bytes(n));
        break;
      }
      case 3:
        rig.raise(kEventCodes[in.byte() % kEventCount]);
        break;
      case 4: {
        const int k = in.byte();
        rig.advance(k * 100);
        break;
      }
      case 5:
        break;
      case 6: {
        const int repeat = in.byte() % 64 + 1;
        const std::size_t n = in.byte();
        const std::string_view chunk = in.bytes(n);
        for (int r = 0; r < repeat; ++r) {
          rig.deliver(chunk);
          checkState(rig, trace);
        }
        break;
      }
      case 7: {
        const std::size_t n = in.byte();
        for (char c : in.bytes(n)) {
          rig.deliver(std::string_view(&c, 1));
          checkState(rig, trace);
        }
        break;
      }
      case 8:
        if (link::lastMessageText(rig.rx.LastMsg()).empty()) violated("no last-message text");
        break;
    }
    checkState(rig, trace);
  }
  // The end of the program run: the open file is closed as at shut-down.
  try {
    rig.writer.close();
  } catch (const std::exception&) {
    // A failed close is reported like any other failure; the files stay as written.
  }
  checkState(rig, trace);

  if (trace.on) {
    std::fprintf(stderr, "ACK %d, NAK %d, message boxes %zu, list entries %zu\n", trace.acks,
                 trace.naks, rig.boxes.size(), rig.listed.size());
    for (const fs::directory_entry& e : fs::directory_iterator(dir.path()))
      std::fprintf(stderr, "  %s  %ju bytes\n", e.path().filename().c_str(),
                   static_cast<std::uintmax_t>(e.file_size()));
  }
  return 0;
}
