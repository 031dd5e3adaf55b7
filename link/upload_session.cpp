#include "link/upload_session.h"

#include <cmath>

#include "core/text.h"
#include "link/decode.h"
#include "store/catalogue.h"
#include "store/probe_table.h"
#include "store/raw_format.h"
#include "store/sample_clock.h"

namespace kestrand::link {
namespace {

using Kind = Action::Kind;

Action act(Kind kind, std::string text = {}) {
  Action a;
  a.kind = kind;
  a.text = std::move(text);
  return a;
}

Action reply(char byte) {
  Action a = act(Kind::kReply);
  a.byte = byte;
  return a;
}

Action ended(UploadEnd why) {
  Action a = act(Kind::kUploadEnded);
  a.end = why;
  return a;
}

Action newestStatus(std::int16_t status) {
  Action a = act(Kind::kSetNewestStatus);
  a.status = status;
  return a;
}

std::int64_t secondsOfDay(const platform::LocalTime& t) {
  return t.hour * 3600 + t.minute * 60 + t.second;
}

// A number as text with leading zeros to at least three digits.
std::string atLeastThreeDigits(const std::string& digits) {
  return digits.size() >= 3 ? digits : std::string(3 - digits.size(), '0') + digits;
}

std::string moveAveText(std::int32_t moveAve) {
  return moveAve > 0 ? signedText(moveAve) : std::string();
}

}  // namespace

std::string terminatorStatus(Terminator t, std::size_t bufferLength) {
  switch (t) {
    case Terminator::kDleEot:
    case Terminator::kDleEtb:
      return "Got message size = " + signedText(static_cast<std::int64_t>(bufferLength));
    case Terminator::kDleEtx:
      return "Receiving Associated Data";
    default:
      return {};
  }
}

void UploadSession::noteTerminator(Terminator t) {
  if (t == Terminator::kDleEot) up_.BlockPending = false;
  if (t == Terminator::kDleEtb) up_.BlockPending = true;
}

Actions UploadSession::ParseMsg(const Message& cut, const platform::LocalTime& now,
                                FormatChoice formats) {
  before_ = {up_, s_.header, s_.ElapsedMode, s_.CurrentFile, s_.ListDate, s_.ListTime};
  Message m = cut;
  FixInputBuffer(m);
  Actions out;
  if (!checksumMatches(m)) {
    Action notice = act(Kind::kNotice, ".");
    notice.ms = 1000;
    out.push_back(notice);
  }
  const std::int16_t type = messageType(m);
  lastWasHeader_ = type == kSohCode;
  if (type == kSohCode) header(m, now, formats, out);
  if (!up_.BlockPending) out.push_back(act(Kind::kStatus, ""));
  if (type == kStxCode) {
    // The data step answers for itself.
    data(m, now, formats, out);
  } else {
    // Everything the message produced reaches stable storage before the meter hears ACK.
    out.push_back(act(Kind::kCommit));
    out.push_back(reply(kAck));
  }
  for (Action& a : out) a.upload = up_.upload;
  return out;
}

bool UploadSession::refused() {
  if (lastWasHeader_) {
    up_.fileOpen = false;
    up_.fileFailed = true;
    return true;
  }
  up_ = before_.up;
  s_.header = before_.header;
  s_.ElapsedMode = before_.ElapsedMode;
  s_.CurrentFile = before_.CurrentFile;
  s_.ListDate = before_.ListDate;
  s_.ListTime = before_.ListTime;
  return false;
}

Actions UploadSession::onWatchdog(std::uint32_t upload) {
  Actions out;
  out.push_back(act(Kind::kStopWatchdog));
  if (upload != up_.upload || !up_.HeaderReceived || up_.ended) return out;
  out.push_back(reply(kNak));
  out.push_back(act(Kind::kNormalPointer));
  out.push_back(act(Kind::kClearReceive));
  // The upload's file is closed before the box: events that arrive while it is open find the
  // upload ended, and a new upload started meanwhile keeps its own file.
  out.push_back(act(Kind::kCloseFile));
  up_.fileOpen = false;
  up_.ended = true;
  out.push_back(ended(UploadEnd::kWatchdog));
  out.push_back(act(Kind::kMessageBox, messages_.text(Msg::kUploadIncomplete)));
  for (Action& a : out) a.upload = up_.upload;
  return out;
}

Actions UploadSession::onPortLost() {
  Actions out;
  out.push_back(act(Kind::kNormalPointer));
  out.push_back(act(Kind::kClearReceive));
  if (up_.HeaderReceived && !up_.ended) {
    out.push_back(act(Kind::kStopWatchdog));
    out.push_back(act(Kind::kCloseFile));
    up_.fileOpen = false;
    up_.ended = true;
    out.push_back(ended(UploadEnd::kPortLost));
    out.push_back(act(Kind::kMessageBox, messages_.text(Msg::kUploadIncomplete)));
  }
  for (Action& a : out) a.upload = up_.upload;
  return out;
}

void UploadSession::header(const Message& m, const platform::LocalTime& now, FormatChoice f,
                           Actions& out) {
  store::HeaderFields& h = s_.header;
  const HeaderMsg msg = decodeHeader(m);
  std::string nameDate = datetime::formatNameDate({now.year, now.month, now.day});
  std::string nameTime = "  " + datetime::formatNameTime(secondsOfDay(now));

  up_.ExtLogMode = 0;
  up_.HeaderReceived = false;
  up_.ListPending = true;
  ++up_.upload;
  Action arm = act(Kind::kArmWatchdog);
  arm.ms = kWatchdogMs;
  arm.upload = up_.upload;
  out.push_back(arm);

  h.ProbeType = msg.ProbeType;
  h.LogMode = msg.LogMode;
  h.LogRate = msg.LogRate;
  s_.ElapsedMode = msg.elapsed ? 1 : 0;
  if (msg.elapsed) {
    // The header's word is a file number; the name and the start come from the clock.
    h.SampTime = std::to_string(msg.stamp);
    h.ProbeType = static_cast<std::int16_t>(h.ProbeType + 16);
    if (h.LogMode == 1 || h.LogMode == 2) {
      up_.ExtLogMode = h.LogMode;
      h.LogMode = 0;
    }
    up_.startInstant = {{now.year, now.month, now.day}, secondsOfDay(now)};
  } else {
    h.SampDate = datetime::GetDate(msg.stamp);
    h.SampTime = datetime::GetTime(msg.stamp, 0);
    const datetime::Instant start = {datetime::stampInstant(msg.stamp).date,
                                     datetime::stampSeconds(msg.stamp) % 86400};
    nameDate = datetime::formatNameDate(start.date);
    nameTime = "  " + datetime::formatNameTime(start.secondsOfDay);
    up_.startInstant = start;
  }
  h.DataFormat = msg.DataFormat;
  h.MoveAve = msg.MoveAve;
  h.PeriodOn = static_cast<float>(msg.PeriodOn);
  h.PeriodOff = static_cast<float>(msg.PeriodOff);
  up_.PeriodLeft = h.PeriodOn;

  datetime::ChangeDate(h.SampDate, 0, s_.ElapsedMode, f.date, now);
  datetime::ChangeTime(h.SampTime, s_.ElapsedMode, f.time);
  s_.ListTime = h.SampTime;
  s_.ListDate = h.SampDate;
  up_.BlockPending = true;

  // The new upload's file replaces any file of the same name.
  out.push_back(act(Kind::kCloseFile));
  std::string name = "QV " + nameDate + nameTime;
  if (s_.ElapsedMode == 1) name += " File" + atLeastThreeDigits(h.SampTime);
  name += ".dat";
  s_.CurrentFile = name;
  createFile(name, out);

  h.MoveAveText = moveAveText(h.MoveAve);
  up_.RecordsInFile = 0;
  up_.RecordsTotal = 0;
  up_.RecordsRefused = 0;
  up_.SplitStart.clear();
  up_.exhausted = false;
  up_.ended = false;
  up_.fileFailed = false;
  up_.HeaderReceived = true;
}

void UploadSession::createFile(const std::string& name, Actions& out) {
  out.push_back(act(Kind::kCreateFile, name));
  up_.fileOpen = true;
  up_.fileFailed = false;
  out.push_back(act(Kind::kWriteLine, store::headerLine1(s_.header, fileModeCode())));
  out.push_back(act(Kind::kWriteLine, store::headerLine2(s_.header)));
}

std::int16_t UploadSession::fileModeCode() const {
  if (up_.ExtLogMode == 1) return 4;
  if (up_.ExtLogMode == 2) return 5;
  return s_.header.LogMode;
}

void UploadSession::refuseData(const std::string& why, Actions& out) {
  out.push_back(act(Kind::kGeneralMsg, "Data refused: " + why));
  out.push_back(reply(kNak));
}

void UploadSession::data(const Message& m, const platform::LocalTime& now, FormatChoice f,
                         Actions& out) {
  store::HeaderFields& h = s_.header;
  if (!up_.HeaderReceived) {
    out.push_back(act(Kind::kCloseFile));
    up_.fileOpen = false;
    out.push_back(newestStatus(store::kNoHeader));
    out.push_back(reply(kNak));
    out.push_back(ended(UploadEnd::kNoHeader));
    out.push_back(act(Kind::kCommit));
    out.push_back(reply(kAck));
    return;
  }
  if (up_.ended) {
    // Its last message, the watchdog or the lack of a further file name ended the upload: the
    // meter keeps the message (NAK), nothing goes into a closed or foreign file.
    refuseData("the upload it belongs to has ended", out);
    return;
  }

  Action arm = act(Kind::kArmWatchdog);
  arm.ms = kWatchdogMs;
  arm.upload = up_.upload;
  out.push_back(arm);

  Actions listings;  // continuation files, listed once the message is stored
  if (up_.fileFailed) {
    refuseData("the upload's file could not be created", out);
  } else {
    const auto records = decodeRecords(m, h.LogMode, h.MoveAve, h.DataFormat);
    for (std::size_t at = 0; at < records.size(); ++at) {
      const DataRecord& r = records[at];
      ++up_.RecordsInFile;
      ++up_.RecordsTotal;
      if (up_.RecordsInFile > store::kMaxRecordsPerFile && !Next_file(r.stamp, now, f, out)) {
        // What the message stored up to here stays; the rest is refused with it.
        --up_.RecordsTotal;
        up_.RecordsRefused = static_cast<std::int32_t>(records.size() - at);
        out.push_back(ended(UploadEnd::kNoFileName));
        out.push_back(reply(kNak));
        out.push_back(act(Kind::kMessageBox, messages_.text(Msg::kUploadIncomplete)));
        return;
      }
      if (!out.empty() && out.back().kind == Kind::kAddToList) {
        // A continuation file is listed with the units of its own first record, as its head
        // lists it after a restart.
        listings.push_back(out.back());
        listings.back().units = r.UnitsCode;
        out.pop_back();
      }
      h.RecordTag = r.RecordTag;
      h.UnitsCode = r.UnitsCode;
      up_.lastUnits = r.UnitsCode;
      out.push_back(act(Kind::kWriteLine, store::rawLine({store::intField(r.RecordTag),
                                                          store::intField(r.UnitsCode)})));
      if (r.stamp) {
        h.SampDate = datetime::GetDate(*r.stamp);
        h.SampTime = datetime::GetTime(*r.stamp, s_.ElapsedMode);
        datetime::ChangeDate(h.SampDate, 0, s_.ElapsedMode, f.date, now);
        datetime::ChangeTime(h.SampTime, s_.ElapsedMode, f.time);
        out.push_back(act(Kind::kWriteLine, store::rawLine({store::textField(h.SampDate),
                                                            store::textField(h.SampTime)})));
      }
      if (r.movingAverage) {
        out.push_back(
            act(Kind::kWriteLine, store::rawLine({store::doubleField(*r.movingAverage)})));
      }
      for (double v : r.values) {
        out.push_back(act(Kind::kWriteLine,
                          store::rawLine({store::doubleField(store::roundThousandths(v))})));
      }
    }
    // Stored, then acknowledged at once: what follows (a list box) may wait for the user.
    out.push_back(act(Kind::kCommit));
    out.push_back(reply(kAck));
  }

  if (!up_.BlockPending) {
    out.push_back(act(Kind::kStopWatchdog));
    out.push_back(act(Kind::kCloseFile));
    up_.fileOpen = false;
    up_.ended = true;
    out.push_back(ended(UploadEnd::kLastMessage));
  }
  // A list box may let other events in: the upload has ended, or goes on, before it opens.
  out.insert(out.end(), listings.begin(), listings.end());
  if (up_.ListPending) {
    Action add = act(Kind::kAddToList, s_.CurrentFile);
    add.units = up_.lastUnits;
    add.extLogMode = up_.ExtLogMode;
    add.onlyIfPending = true;
    out.push_back(add);
  }
  if (!up_.BlockPending) out.push_back(newestStatus(store::kComplete));
}

bool UploadSession::Next_file(const std::optional<std::uint32_t>& recordStamp,
                              const platform::LocalTime& now, FormatChoice f, Actions& out) {
  store::HeaderFields& h = s_.header;
  std::string& current = s_.CurrentFile;
  if (current.size() <= 6) return true;

  // The records before the split are stored before their file is closed.
  out.push_back(act(Kind::kCommit));
  out.push_back(act(Kind::kCloseFile));
  up_.fileOpen = false;

  // The letter in front of ".dat": a digit gets "A" added, a letter moves on by one.
  const size_t at = current.size() - 5;
  const unsigned char c = static_cast<unsigned char>(current[at]);
  if (c <= '9') {
    current.insert(at + 1, "A");
    up_.SplitStart = h.SampDate + " " + h.SampTime;
  } else if (c + 1 > 'Z') {
    // No name is left for a further file: end the upload here, leaving every file intact.
    out.push_back(act(Kind::kStopWatchdog));
    up_.exhausted = true;
    up_.ended = true;
    return false;
  } else {
    current[at] = static_cast<char>(c + 1);
  }

  if (h.LogMode == 0) {
    // Time-stamped records: the new file starts at the stamp of the record that opens it.
    // Its time is written like every continuation start (two-digit hour), or as elapsed time.
    const std::uint32_t stamp = recordStamp.value_or(0);
    h.SampDate = datetime::GetDate(stamp);
    h.SampTime = s_.ElapsedMode != 0
                     ? datetime::GetTime(stamp, s_.ElapsedMode)
                     : datetime::formatTime12(datetime::stampSeconds(stamp) % 86400);
  } else {
    std::int64_t seconds = up_.RecordsTotal;
    if (h.LogMode == 2) {
      h.LogInterval = store::logInterval(h.LogRate);
      store::SampleClock<double> clock(h.LogInterval, true, h.PeriodOn, h.PeriodOff,
                                       store::PeriodRestart::kWhole);
      for (std::int32_t n = 0; n < up_.RecordsTotal; ++n) clock.next();
      seconds = store::wholeSeconds(clock.elapsed());
    }
    const datetime::Instant start = datetime::addSeconds(up_.startInstant, seconds);
    h.SampDate = datetime::formatUsDate(start.date);
    h.SampTime = datetime::formatTime12(start.secondsOfDay);
  }
  datetime::ChangeDate(h.SampDate, 0, s_.ElapsedMode, f.date, now);
  datetime::ChangeTime(h.SampTime, s_.ElapsedMode, f.time);
  // The continuation file's list entry shows its own start, as its header line says.
  s_.ListDate = h.SampDate;
  s_.ListTime = h.SampTime;

  createFile(current, out);
  h.MoveAveText = moveAveText(h.MoveAve);
  up_.RecordsInFile = 1;
  Action add = act(Kind::kAddToList, current);  // its units: those of the record that opens it
  add.extLogMode = up_.ExtLogMode;
  out.push_back(add);
  return true;
}

}  // namespace kestrand::link
