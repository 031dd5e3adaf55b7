#pragma once
// The program's link wired to fakes: a scripted port, an in-memory data directory, hand-driven
// timers and a still clock. Frames are built here from the wire rules, independently of the
// code under test.

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "platform/fake/memory_file_system.h"
#include "tests/support/program_rig.h"

namespace kestrand::testing {

// "10 01 FF" -> the three bytes.
inline std::string hex(const std::string& text) {
  std::istringstream in(text);
  std::string out, tok;
  while (in >> tok) out.push_back(static_cast<char>(std::stoi(tok, nullptr, 16)));
  return out;
}

// A frame as it travels: DLE, type, stuffed body, checksum (stuffed), DLE, terminator.
inline std::string frame(int type, const std::vector<std::uint8_t>& body, std::uint8_t terminator,
                         int checksumOffset = 0) {
  std::string f = {char(16), static_cast<char>(type)};
  unsigned sum = 0;
  for (std::uint8_t b : body) {
    sum += b;
    f.push_back(static_cast<char>(b));
    if (b == 16) f.push_back(static_cast<char>(16));
  }
  const auto checksum =
      static_cast<std::uint8_t>((sum + static_cast<unsigned>(checksumOffset)) % 256);
  f.push_back(static_cast<char>(checksum));
  if (checksum == 16) f.push_back(static_cast<char>(16));
  f.push_back(static_cast<char>(16));
  f.push_back(static_cast<char>(terminator));
  return f;
}

inline void put16(std::vector<std::uint8_t>& v, unsigned w) {
  v.push_back(static_cast<std::uint8_t>(w >> 8));
  v.push_back(static_cast<std::uint8_t>(w));
}
inline void put32(std::vector<std::uint8_t>& v, std::uint32_t w) {
  put16(v, w >> 16);
  put16(v, w & 0xFFFF);
}

// Packed stamp: day number (1 = 1 January 1997) in bits 31..19, seconds in bits 18..2.
inline std::uint32_t stamp(std::uint32_t dayNumber, std::uint32_t seconds) {
  return (dayNumber << 19) | (seconds << 2);
}

struct HeaderBody {
  std::uint32_t stamp = 0;
  unsigned probe = 0, mode = 1, rate = 1;
  bool elapsed = false;
  unsigned dataFormat = 1, moveAve = 0;
  bool longForm = false;
  std::uint32_t periodOn = 0, periodOff = 0;
};

inline std::string headerFrame(const HeaderBody& h) {
  std::vector<std::uint8_t> body;
  put32(body, h.stamp);
  put16(body, (h.probe << 12) | (h.mode << 10) | (h.rate << 6) | (h.elapsed ? 16u : 0u));
  put16(body, h.dataFormat);
  put16(body, h.moveAve);
  if (h.longForm) {
    put32(body, h.periodOn);
    put32(body, h.periodOff);
  }
  return frame(1, body, 3);
}

// The in-memory data directory, set up before the program that uses it.
struct MemoryDataDirectory {
  platform::fake::MemoryFileSystem fs{"/data"};
};

class Harness : public MemoryDataDirectory, public ProgramRig {
 public:
  Harness() : ProgramRig(fs, "/data") {}

  void send(const std::string& bytes) { port.deliver(bytes); }
  void sendBytewise(const std::string& bytes) {
    for (char c : bytes) port.deliver(std::string(1, c));
  }
  std::string file(const std::string& name) const { return fs.readAll("/data/" + name); }
  bool hasFile(const std::string& name) const { return fs.exists("/data/" + name); }
  std::string label(platform::LabelId id) const { return view.label(id); }
  std::string takeWritten() { return std::exchange(port.written, {}); }
};

}  // namespace kestrand::testing
