#include "tools/meter_sim/options.h"

#include <charconv>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string_view>

namespace kestrand::meter_sim {

namespace {

// Decimal, or hexadecimal after "0x".
std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

class Parser {
 public:
  explicit Parser(Options& o) : o_(o) {
    UploadDescription& u = o_.upload;
    SessionSettings& s = o_.session;
    flag("--help", [this] { o_.help = true; });
    flag("-h", [this] { o_.help = true; });
    flag("--verbose", [&s] { s.verbose = true; });
    flag("-v", [&s] { s.verbose = true; });
    flag("--long-header", [&u] { u.longHeader = true; });
    flag("--elapsed", [&u] { u.elapsed = true; });
    flag("--pace", [&s] { s.pace = true; });
    flag("--noise", [&s] { s.noise = true; });
    flag("--stuffing-heavy", [&u] { u.stuffingHeavy = true; });
    flag("--no-header", [&s] { s.noHeader = true; });
    text("--link", [this](const std::string& v) { o_.linkPath = v; });
    text("--device", [this](const std::string& v) { o_.devicePath = v; });
    text("--expect-dir", [this](const std::string& v) { o_.expectDir = v; });
    text("--start", [this, &u](const std::string& v) {
      const auto t = parseCivilTime(v);
      if (!t) {
        error_ = "--start wants \"YYYY-MM-DD HH:MM:SS\", got \"" + v + "\"";
      } else if (!stampOf(*t) || meterDayNumber(*t) < 1) {
        error_ = "--start must lie between 1997-01-01 and the meter's last day (8191)";
      } else {
        u.start = *t;
      }
    });
    number("--connect-timeout", 1, 86400, [&s](std::uint64_t v) { s.connectTimeoutS = int(v); });
    number("--ack-timeout-ms", 1, 3600000, [&s](std::uint64_t v) { s.ackTimeoutMs = int(v); });
    number("--probe", 0, 15, [&u](std::uint64_t v) { u.probe = int(v); });
    number("--mode", 0, 3, [&u](std::uint64_t v) { u.mode = int(v); });
    number("--log-rate", 0, 15, [&u](std::uint64_t v) { u.logRate = int(v); });
    number("--columns", 0, 0xFFFF, [&u](std::uint64_t v) { u.columns = std::uint16_t(v); });
    number("--move-avg", 0, 0xFFFF, [&u](std::uint64_t v) { u.moveAve = std::uint16_t(v); });
    number("--period-on", 0, 0xFFFFFFFF, [&u](std::uint64_t v) { u.periodOn = std::uint32_t(v); });
    number("--period-off", 0, 0xFFFFFFFF,
           [&u](std::uint64_t v) { u.periodOff = std::uint32_t(v); });
    number("--file-number", 0, 0xFFFFFFFF,
           [&u](std::uint64_t v) { u.fileNumber = std::uint32_t(v); });
    number("--records", 0, 0xFFFFFFFF, [&u](std::uint64_t v) { u.records = std::uint32_t(v); });
    number("--records-per-message", 1, 100000,
           [&u](std::uint64_t v) { u.recordsPerMessage = std::uint32_t(v); });
    number("--units", 0, 255, [this, &u](std::uint64_t v) {
      u.units = std::uint8_t(v);
      unitsGiven_ = true;
    });
    number("--seed", 0, UINT64_MAX, [&u, &s](std::uint64_t v) {
      u.seed = v;
      s.noiseSeed = v;
    });
    number("--bad-checksum", 0, UINT32_MAX, [&s](std::uint64_t v) { s.badChecksum = v; });
    number("--resends", 0, 1000, [&s](std::uint64_t v) { s.resends = int(v); });
    number("--split-chunks", 1, 100000, [&s](std::uint64_t v) { s.splitChunks = int(v); });
    number("--pause-before", 0, UINT32_MAX, [&s](std::uint64_t v) { s.pauseBefore = v; });
    number("--pause-ms", 0, 3600000, [this, &s](std::uint64_t v) {
      s.pauseMs = int(v);
      pauseMsGiven_ = true;
    });
  }

  std::string parse(const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size() && error_.empty(); ++i) {
      std::string name = args[i];
      std::optional<std::string> value;
      if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
      }
      if (const auto f = flags_.find(name); f != flags_.end()) {
        if (value) return name + " takes no value";
        f->second();
        continue;
      }
      const auto h = withValue_.find(name);
      if (h == withValue_.end()) return "unknown option " + args[i] + " (see --help)";
      if (!value) {
        if (i + 1 >= args.size()) return name + " needs a value";
        value = args[++i];
      }
      h->second(*value);
    }
    if (!error_.empty()) return error_;
    return crossCheck();
  }

 private:
  void flag(const std::string& name, std::function<void()> f) { flags_[name] = std::move(f); }
  void text(const std::string& name, std::function<void(const std::string&)> f) {
    withValue_[name] = std::move(f);
  }
  void number(const std::string& name, std::uint64_t lo, std::uint64_t hi,
              std::function<void(std::uint64_t)> f) {
    withValue_[name] = [this, name, lo, hi, f = std::move(f)](const std::string& v) {
      const auto n = parseUnsigned(v);
      if (!n || *n < lo || *n > hi) {
        error_ = name + " wants a whole number from " + std::to_string(lo) + " to " +
                 std::to_string(hi) + ", got \"" + v + "\"";
        return;
      }
      f(*n);
    };
  }

  std::string crossCheck() const {
    if (o_.help) return {};
    if (o_.linkPath.empty() == o_.devicePath.empty()) {
      return "give exactly one of --link PATH and --device PATH";
    }
    if (o_.upload.elapsed && !o_.expectDir.empty()) {
      return "--expect-dir cannot be used with --elapsed: the receiver names such files by its "
             "own clock";
    }
    if (o_.session.pauseBefore.has_value() != pauseMsGiven_) {
      return "--pause-before and --pause-ms go together";
    }
    if (o_.session.noHeader && o_.session.badChecksum == 0u) {
      return "--bad-checksum 0 names the header, which --no-header does not send";
    }
    if (o_.upload.stuffingHeavy && unitsGiven_) {
      return "--stuffing-heavy sets the units code itself; leave out --units";
    }
    return {};
  }

  Options& o_;
  std::map<std::string, std::function<void()>> flags_;
  std::map<std::string, std::function<void(const std::string&)>> withValue_;
  std::string error_;
  bool unitsGiven_ = false;
  bool pauseMsGiven_ = false;
};

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& args) {
  ParsedOptions result;
  Parser parser(result.options);
  result.error = parser.parse(args);
  return result;
}

std::string helpText() {
  return R"(Usage: kestrand-meter-sim (--link PATH | --device PATH) [options]

Plays the Rurevad meter's side of an upload: sends DLE ENQ once a second until the
receiver answers ACK, then the header message and the data messages, each of which must
be answered with ACK. A message answered with NAK alone is refused: the meter keeps it and
sends it again. Prints a summary; exits 0 when every answer was as expected, 1 when an
unexpected NAK, a missing answer or no connection occurred, 2 on a usage or system error.

Line:
  --link PATH              create a pseudo-terminal (raw, 9600 8N1) and a symbolic link
                           PATH to its terminal side for the receiver to open; the link is
                           removed at exit. An existing symbolic link is replaced.
  --device PATH            use an existing terminal device instead (socat, a real line)
  --connect-timeout S      give up when no ACK to the enquiry came within S s (30)
  --ack-timeout-ms MS      time allowed for each answer (3000); a missing answer stops
                           the upload
  --pace                   send at the 9600-baud character rate (about 1.04 ms a byte)
                           instead of each message at once
  --resends N              send a refused message again at most N times, 200 ms apart (3);
                           a message still refused stops the upload
  -v, --verbose            one line per message

Upload:
  --probe N                probe number 0..15 (0)
  --mode N                 mode field 0..3: 0 single point (records carry a stamp),
                           1 continuous, 2 periodic, 3 scheduled (1)
  --log-rate N             log-rate code 0..15 (1)
  --columns MASK           DataFormat, 16 bits, decimal or 0x hex (1)
  --move-avg N             MoveAve, 16 bits; not 0 adds a moving average to each record (0)
  --period-on S            PeriodOn, 32 bits (0)  } written only in the long header, used
  --period-off S           PeriodOff, 32 bits (0) } for mode 2 or with --long-header
  --long-header            send the long header also when the mode is not 2
  --elapsed                set the elapsed-time flag: the header's 32-bit field is then the
                           file number, and records of modes 0, 1 and 2 carry elapsed-time
                           stamps, as the receiver expects
  --file-number N          file number of an elapsed-time header (7)
  --start "YYYY-MM-DD HH:MM:SS"
                           start stamp of the run (2006-12-05 14:05:33); record stamps
                           follow at the log interval in whole seconds, at least 1 s
  --records N              number of records (100)
  --records-per-message N  records per data message (20)
  --units N                units code 0..255 of every record (0)
  --seed N                 seed of the deterministic value codes (1); values have
                           exponent 0..4 and mantissa 0..8191

Faults:
  --bad-checksum K         message K (0 = header, 1 = first data message) carries a wrong
                           checksum; the receiver still answers ACK
  --split-chunks N         send each message in N pieces, 50 ms apart
  --noise                  send three bytes other than DLE before each message
  --pause-before K --pause-ms MS
                           wait MS ms before message K, reading the line meanwhile. Once a
                           header has been sent, the receiver's 10 s watchdog answers NAK
                           when no data message comes: a pause of 11000 ms or more must
                           draw that NAK, one of 9000 ms or less must not; in between
                           either is accepted. After the watchdog's NAK, message K must be
                           refused (NAK alone) and the upload stops there; the expected
                           files (--expect-dir) hold only what came before message K.
  --stuffing-heavy         value codes cycle through 0x1010 0x1004 0x1017 0x1003 0x1005
                           and the units code is 16, so that byte 16 is stuffed as often
                           as possible and runs of two, four and more stuffed DLEs stand
                           before the bytes 3, 4, 5 and 23; only a receiver that counts
                           the whole run of DLEs finds the real terminator
  --no-header              send the data messages without the header; each must be
                           answered NAK then ACK

Oracle:
  --expect-dir DIR         write into DIR the raw data files the receiver must produce
                           (date format "MM/dd/yy", time format "h:mm:ss AM/PM"), after
                           the upload: every acknowledged message, nothing else. Not with --elapsed. With --no-header nothing is
                           written, as the receiver keeps no data without a header.
)";
}

}  // namespace kestrand::meter_sim
