#pragma once
// Frames built from the wire rules, independently of the code under test, and the link rig on
// an in-memory data directory with a readable form of the session's actions.

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "platform/fake/memory_file_system.h"
#include "tests/support/link_rig.h"

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
  f += {char(16), static_cast<char>(terminator)};
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

// Each action as a short text: "ACK", "line 1,2", "create QV ...", "list QV ...", "status ".
inline std::vector<std::string> show(const link::Actions& actions) {
  using K = link::Action::Kind;
  static const char* const kNames[] = {"reply", "commit",  "create", "close",  "line",    "arm",
                                       "stop",  "pointer", "clear",  "status", "general", "notice",
                                       "box",   "list",    "newest", "ended"};
  std::vector<std::string> out;
  for (const link::Action& a : actions) {
    std::string s = kNames[static_cast<int>(a.kind)], text = a.text;
    if (a.kind == K::kWriteLine) text = text.ends_with("\r\n") ? text.erase(text.size() - 2) : "?";
    if (a.kind == K::kReply) s = a.byte == 6 ? "ACK" : a.byte == 21 ? "NAK" : "reply?";
    if (a.kind != K::kReply && (!text.empty() || a.kind == K::kStatus)) s += " " + text;
    if (a.kind == K::kArmWatchdog || a.kind == K::kNotice) s += " " + std::to_string(a.ms);
    if (a.kind == K::kSetNewestStatus) s += " " + std::to_string(a.status);
    if (a.kind == K::kUploadEnded) s += " " + std::to_string(static_cast<int>(a.end));
    out.push_back(s);
  }
  return out;
}

// The in-memory data directory, set up before the rig that uses it.
struct MemoryDataDirectory {
  platform::fake::MemoryFileSystem fs{"/data"};
};

struct Link : MemoryDataDirectory, LinkRig {
  Link() : LinkRig(fs, "/data") {}
  std::vector<std::string> send(const std::string& bytes) { return show(deliver(bytes)); }
  std::string file(const std::string& name) const { return fs.readAll("/data/" + name); }
};

}  // namespace kestrand::testing
