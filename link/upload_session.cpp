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

Action statusOf(std::string file, std::int16_t status) {
  Action a = act(Kind::kSetStatus, std::move(file));
  a.status = status;
  return a;
}

std::int64_t secondsOfDay(const ports::LocalTime& t) {
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

Actions UploadSession::ParseMsg(const Message& cut, const ports::LocalTime& now,
                                FormatChoice formats) {
  before_ = {up_, f_};
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
  f_ = before_.fields;
  return false;
}

Action UploadSession::listAction(std::int16_t units) const {
  Action a = act(Kind::kAddToList, f_.CurrentFile);
  const store::HeaderFields& h = f_.header;
  a.entry = {f_.CurrentFile, f_.ListDate, f_.ListTime, h.ProbeType,
             h.LogMode,      h.LogRate,   units,       up_.ExtLogMode};
  return a;
}

Action UploadSession::endedAction(UploadEnd why) const {
  Action a = act(Kind::kUploadEnded);
  a.end = why;
  a.files = up_.files;
  return a;
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
  out.push_back(endedAction(UploadEnd::kWatchdog));
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
    out.push_back(endedAction(UploadEnd::kPortLost));
    out.push_back(act(Kind::kMessageBox, messages_.text(Msg::kUploadIncomplete)));
  }
  for (Action& a : out) a.upload = up_.upload;
  return out;
}

void UploadSession::header(const Message& m, const ports::LocalTime& now, FormatChoice f,
                           Actions& out) {
  store::HeaderFields& h = f_.header;
  const HeaderMsg msg = decodeHeader(m);
  beginUpload(out);
  const std::string nameStamp = takeHeader(msg, now);
  datetime::ChangeDate(h.SampDate, 0, f_.ElapsedMode, f.date, now);
  datetime::ChangeTime(h.SampTime, f_.ElapsedMode, f.time);
  f_.ListTime = h.SampTime;
  f_.ListDate = h.SampDate;
  up_.BlockPending = true;

  // An earlier upload of the same name is moved aside before the new one's file is created.
  out.push_back(act(Kind::kCloseFile));
  std::string name = "QV " + nameStamp;
  if (f_.ElapsedMode == 1) name += " File" + atLeastThreeDigits(h.SampTime);
  name += ".dat";
  f_.CurrentFile = name;
  up_.files.clear();
  createFile(name, out, true);

  h.MoveAveText = moveAveText(h.MoveAve);
  up_.RecordsInFile = 0;
  up_.RecordsTotal = 0;
  up_.RecordsRefused = 0;
  up_.exhausted = false;
  up_.ended = false;
  up_.fileFailed = false;
  up_.HeaderReceived = true;
}

void UploadSession::beginUpload(Actions& out) {
  up_.ExtLogMode = 0;
  up_.HeaderReceived = false;
  up_.ListPending = true;
  ++up_.upload;
  Action arm = act(Kind::kArmWatchdog);
  arm.ms = kWatchdogMs;
  arm.upload = up_.upload;
  out.push_back(arm);
}

std::string UploadSession::takeHeader(const HeaderMsg& msg, const ports::LocalTime& now) {
  store::HeaderFields& h = f_.header;
  std::string nameDate = datetime::formatNameDate({now.year, now.month, now.day});
  std::string nameTime = "  " + datetime::formatNameTime(secondsOfDay(now));
  h.ProbeType = msg.ProbeType;
  h.LogMode = msg.LogMode;
  h.LogRate = msg.LogRate;
  f_.ElapsedMode = msg.elapsed ? 1 : 0;
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
  return nameDate + nameTime;
}

void UploadSession::createFile(const std::string& name, Actions& out, bool newUpload) {
  Action create = act(Kind::kCreateFile, name);
  create.newUpload = newUpload;
  out.push_back(create);
  up_.files.push_back(name);
  up_.fileOpen = true;
  up_.fileFailed = false;
  out.push_back(act(Kind::kWriteLine, store::headerLine1(f_.header, fileModeCode())));
  out.push_back(act(Kind::kWriteLine, store::headerLine2(f_.header)));
}

std::int16_t UploadSession::fileModeCode() const {
  if (up_.ExtLogMode == 1) return 4;
  if (up_.ExtLogMode == 2) return 5;
  return f_.header.LogMode;
}

void UploadSession::refuseData(const std::string& why, Actions& out) {
  out.push_back(act(Kind::kGeneralMsg, "Data refused: " + why));
  out.push_back(reply(kNak));
}

void UploadSession::dataWithoutUpload(Actions& out) {
  out.push_back(act(Kind::kCloseFile));
  up_.fileOpen = false;
  out.push_back(statusOf({}, store::kNoHeader));
  out.push_back(reply(kNak));
  out.push_back(act(Kind::kUploadEnded));
  out.back().end = UploadEnd::kNoHeader;
  out.push_back(act(Kind::kCommit));
  out.push_back(reply(kAck));
}

void UploadSession::writeRecord(const DataRecord& r, const ports::LocalTime& now, FormatChoice f,
                                Actions& out) {
  store::HeaderFields& h = f_.header;
  h.RecordTag = r.RecordTag;
  h.UnitsCode = r.UnitsCode;
  up_.lastUnits = r.UnitsCode;
  out.push_back(act(Kind::kWriteLine,
                    store::rawLine({store::intField(r.RecordTag), store::intField(r.UnitsCode)})));
  if (r.stamp) {
    h.SampDate = datetime::GetDate(*r.stamp);
    h.SampTime = datetime::GetTime(*r.stamp, f_.ElapsedMode);
    datetime::ChangeDate(h.SampDate, 0, f_.ElapsedMode, f.date, now);
    datetime::ChangeTime(h.SampTime, f_.ElapsedMode, f.time);
    out.push_back(act(Kind::kWriteLine, store::rawLine({store::textField(h.SampDate),
                                                        store::textField(h.SampTime)})));
  }
  if (r.movingAverage) {
    out.push_back(act(Kind::kWriteLine, store::rawLine({store::doubleField(*r.movingAverage)})));
  }
  for (double v : r.values) {
    out.push_back(
        act(Kind::kWriteLine, store::rawLine({store::doubleField(store::roundThousandths(v))})));
  }
}

bool UploadSession::storeRecords(const Message& m, const ports::LocalTime& now, FormatChoice f,
                                 Actions& out, Actions& listings) {
  const store::HeaderFields& h = f_.header;
  const auto records = decodeRecords(m, h.LogMode, h.MoveAve, h.DataFormat);
  for (std::size_t at = 0; at < records.size(); ++at) {
    const DataRecord& r = records[at];
    ++up_.RecordsInFile;
    ++up_.RecordsTotal;
    if (up_.RecordsInFile > store::kMaxRecordsPerFile && !Next_file(r.stamp, now, f, out)) {
      // What the message stored up to here stays; the rest is refused with it.
      --up_.RecordsTotal;
      up_.RecordsRefused = static_cast<std::int32_t>(records.size() - at);
      out.push_back(endedAction(UploadEnd::kNoFileName));
      out.push_back(reply(kNak));
      out.push_back(act(Kind::kMessageBox, messages_.text(Msg::kUploadIncomplete)));
      return false;
    }
    if (!out.empty() && out.back().kind == Kind::kAddToList) {
      // A continuation file is listed with the units of its own first record, as its head
      // lists it after a restart.
      listings.push_back(out.back());
      listings.back().entry.UnitsCode = r.UnitsCode;
      out.pop_back();
    }
    writeRecord(r, now, f, out);
  }
  // Stored, then acknowledged at once: what follows (a list box) may wait for the user.
  out.push_back(act(Kind::kCommit));
  out.push_back(reply(kAck));
  return true;
}

void UploadSession::data(const Message& m, const ports::LocalTime& now, FormatChoice f,
                         Actions& out) {
  if (!up_.HeaderReceived) {
    dataWithoutUpload(out);
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
  } else if (!storeRecords(m, now, f, out, listings)) {
    return;
  }

  if (!up_.BlockPending) {
    out.push_back(act(Kind::kStopWatchdog));
    out.push_back(act(Kind::kCloseFile));
    up_.fileOpen = false;
    up_.ended = true;
    out.push_back(endedAction(UploadEnd::kLastMessage));
  }
  // A list box may let other events in: the upload has ended, or goes on, before it opens.
  out.insert(out.end(), listings.begin(), listings.end());
  if (up_.ListPending) {
    Action add = listAction(up_.lastUnits);
    add.onlyIfPending = true;
    out.push_back(add);
  }
  if (!up_.BlockPending) out.push_back(statusOf(f_.CurrentFile, store::kComplete));
}

bool UploadSession::Next_file(const std::optional<std::uint32_t>& recordStamp,
                              const ports::LocalTime& now, FormatChoice f, Actions& out) {
  store::HeaderFields& h = f_.header;
  std::string& current = f_.CurrentFile;
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
    h.SampTime = f_.ElapsedMode != 0
                     ? datetime::GetTime(stamp, f_.ElapsedMode)
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
  datetime::ChangeDate(h.SampDate, 0, f_.ElapsedMode, f.date, now);
  datetime::ChangeTime(h.SampTime, f_.ElapsedMode, f.time);
  // The continuation file's list entry shows its own start, as its header line says.
  f_.ListDate = h.SampDate;
  f_.ListTime = h.SampTime;

  createFile(current, out);
  h.MoveAveText = moveAveText(h.MoveAve);
  up_.RecordsInFile = 1;
  out.push_back(listAction(0));  // its units: those of the record that opens it
  return true;
}

}  // namespace kestrand::link
