#pragma once
// Frames built from the wire rules, independently of the code under test, and the link on an
// in-memory data directory with a readable form of the session's actions.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fakes/memory_file_system.h"
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

// `records` one-column records (record n, counted from 1: tag n mod 128, units code 0 in the
// first 16300 records, 1 in the next 16300..., value 100.0), 100 to a data message, the last one
// ending with DLE EOT unless `more`. `recordStamp` gives the stamp of record n for time-stamped
// modes.
inline std::vector<std::string> dataFrames(
    int records, const std::function<std::uint32_t(int)>& recordStamp = {}, bool more = false) {
  std::vector<std::string> frames;
  for (int n = 0; n < records;) {
    std::vector<std::uint8_t> body;
    for (int k = 0; k < 100 && n < records; ++k) {
      ++n;
      body.push_back(static_cast<std::uint8_t>(0x80 | (n % 128)));
      body.push_back(static_cast<std::uint8_t>((n - 1) / 16300));
      if (recordStamp) put32(body, recordStamp(n));
      put16(body, 0x23E8);
    }
    frames.push_back(frame(2, body, n == records && !more ? 4 : 23));
  }
  return frames;
}

// Each action as a short text: "ACK", "line 1,2", "create QV ...", "list QV ...", "status ".
inline std::vector<std::string> show(const link::Actions& actions) {
  using K = link::Action::Kind;
  static const std::map<K, std::string> kNames = {
      {K::kReply, "reply"},       {K::kCommit, "commit"},         {K::kCreateFile, "create"},
      {K::kCloseFile, "close"},   {K::kWriteLine, "line"},        {K::kArmWatchdog, "arm"},
      {K::kStopWatchdog, "stop"}, {K::kNormalPointer, "pointer"}, {K::kClearReceive, "clear"},
      {K::kStatus, "status"},     {K::kGeneralMsg, "general"},    {K::kNotice, "notice"},
      {K::kMessageBox, "box"},    {K::kAddToList, "list"},        {K::kSetStatus, "status-of"},
      {K::kUploadEnded, "ended"}};
  std::vector<std::string> out;
  for (const link::Action& a : actions) {
    std::string s = kNames.at(a.kind), text = a.text;
    if (a.kind == K::kWriteLine) text = text.ends_with("\r\n") ? text.erase(text.size() - 2) : "?";
    if (a.kind == K::kReply) s = a.byte == 6 ? "ACK" : a.byte == 21 ? "NAK" : "reply?";
    if (a.kind != K::kReply && (!text.empty() || a.kind == K::kStatus)) s += " " + text;
    if (a.kind == K::kArmWatchdog || a.kind == K::kNotice) s += " " + std::to_string(a.ms);
    if (a.kind == K::kSetStatus) s += " " + std::to_string(a.status);
    out.push_back(s);
  }
  return out;
}

// The in-memory data directory, set up before the rig that uses it.
struct MemoryDataDirectory {
  ports::fake::MemoryFileSystem fs{"/data"};
};

// The link on an in-memory data directory, handed each message's bytes directly (for the
// actions they came to). Every ACK must find the lines of its message on stable storage.
struct Link : MemoryDataDirectory, LinkRig {
  Link() : LinkRig(fs, "/data") {
    replies.onSend = [this](char byte) {
      const auto f = fs.files.find("/data/" + CurrentFile());
      if (byte == '\x06' && f != fs.files.end()) {
        EXPECT_EQ(fs.durable(f->first), f->second) << "unsynced";
      }
    };
  }
  void deliver(const std::vector<std::string>& frames) {
    for (const std::string& f : frames) LinkRig::deliver(f);
  }
  using LinkRig::deliver;
  std::vector<std::string> send(const std::string& bytes) { return show(deliver(bytes)); }
  std::string file(const std::string& name) const { return fs.readAll("/data/" + name); }
  const std::vector<std::string>& boxes() const { return display.boxes; }
  // The file the upload in progress writes.
  const std::string& CurrentFile() const { return link.upload().CurrentFile; }
  const std::string& sent() const { return replies.written; }
};

}  // namespace kestrand::testing
