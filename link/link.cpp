#include "link/link.h"

#include <cmath>
#include <exception>

#include "core/text.h"
#include "store/raw_format.h"

namespace kestrand::link {
namespace {

using platform::LabelId;

constexpr int kWatchdogMs = 10000;

std::uint32_t u32At(const Message& m, int i) {
  auto b = [&](int k) {
    const int at = i + k;
    return at < kMsgCapacity
               ? static_cast<std::uint32_t>(m.MsgBytes[static_cast<size_t>(at)] & 0xFF)
               : 0u;
  };
  return (b(0) << 24) | (b(1) << 16) | (b(2) << 8) | b(3);
}

std::int16_t byteAt(const Message& m, int i) {
  return (i >= 0 && i < kMsgCapacity) ? m.MsgBytes[static_cast<size_t>(i)] : 0;
}

std::uint16_t u16At(const Message& m, int i) {
  return static_cast<std::uint16_t>(((byteAt(m, i) & 0xFF) << 8) | (byteAt(m, i + 1) & 0xFF));
}

std::int64_t secondsOfDay(const platform::LocalTime& t) {
  return t.hour * 3600 + t.minute * 60 + t.second;
}

// A number as text with leading zeros to at least three digits.
std::string atLeastThreeDigits(const std::string& digits) {
  return digits.size() >= 3 ? digits : std::string(3 - digits.size(), '0') + digits;
}

}  // namespace

double decodeValue(std::int16_t hi, std::int16_t lo) {
  static constexpr double kPowersOfTen[8] = {1.0, 10.0, 100.0, 1e3, 1e4, 1e5, 1e6, 1e7};
  const unsigned w = (static_cast<unsigned>(hi & 0xFF) << 8) | static_cast<unsigned>(lo & 0xFF);
  const unsigned exponent = (w >> 13) & 7u;
  const unsigned mantissa = w & 0x1FFFu;
  return static_cast<double>(mantissa) / kPowersOfTen[exponent];
}

float logInterval(std::int16_t logRate) {
  switch (logRate) {
    case 0:
      return 0.5f;
    case 1:
      return 1.0f;
    case 2:
      return 1.2f;
    case 3:
      return 1.5f;
    case 4:
      return 2.0f;
    case 5:
      return 3.0f;
    case 6:
      return 6.0f;
    case 7:
      return 12.0f;
    case 8:
      return 60.0f;
    default:
      return 1.0f;
  }
}

Link::Link(Deps deps) : d_(std::move(deps)), writer_(d_.fs) {
  d_.port.onEvent([this](int code) { OnComm(code); });
  d_.Timer1.onTick([this] { Timer1_Timer(); });
  d_.tmrReadingData.onTick([this] { tmrReadingData_Timer(); });
}

void Link::SendAnAck() {
  d_.port.write(std::string_view(&kAck, 1));
}
void Link::SendNack() {
  d_.port.write(std::string_view(&kNak, 1));
}

void Link::OnComm(int code) {
  if (d_.Timer1.running()) {
    d_.Timer1.setEnabled(false);
    d_.Timer1.setEnabled(true);
  }
  try {
    if (code >= 1001 && code <= 1011 && code != 1005) {
      lineError(code, d_.messages.commErrText(code));
    } else if (code == platform::comm_event::kReceive) {
      receive();
    }
  } catch (const std::exception& e) {
    lineError(code, e.what());
  }
}

void Link::lineError(int code, const std::string& description) {
  d_.genMsg.ShowGeneralMsg("Com error: " + signedText(code) + "  " + description);
  try {
    SendNack();
  } catch (const std::exception&) {
    // The line is already in trouble; the message above says so.
  }
  rx_.clear();
}

void Link::receive() {
  const std::string chunk = d_.port.readAll();
  if (chunk.empty()) return;
  d_.view.setLabel(LabelId::kStatDat,
                   chunk + " - " + hexText(static_cast<unsigned char>(chunk.front())));

  const RxOutcome out = rx_.onChunk(chunk);
  switch (out.kind) {
    case RxOutcome::Kind::kIgnored:
      return;
    case RxOutcome::Kind::kNeedMore:
      d_.view.setLabel(LabelId::kStatDat, "Connected to Rurevad");
      d_.Timer1.setEnabled(true);
      return;
    case RxOutcome::Kind::kEnquiry:
      SendAnAck();
      d_.view.setLabel(LabelId::kStatDat, "Got Enquire ");
      return;
    case RxOutcome::Kind::kMessage:
    case RxOutcome::Kind::kTooLong:
      break;
  }

  const std::string sizeText =
      "Got message size = " + signedText(static_cast<std::int64_t>(out.bufferLength));
  switch (out.terminator) {
    case Terminator::kDleEot:
      d_.view.setBusy(false);
      d_.view.setLabel(LabelId::kStatDat, sizeText);
      up_.BlockPending = false;
      break;
    case Terminator::kDleEtb:
      d_.view.setLabel(LabelId::kStatDat, sizeText);
      up_.BlockPending = true;
      break;
    case Terminator::kDleEtx:
      d_.view.setBusy(true);
      d_.view.setLabel(LabelId::kStatDat, "Receiving Associated Data");
      break;
    default:
      break;
  }
  if (out.kind == RxOutcome::Kind::kTooLong) {
    lineError(platform::comm_event::kReceive, "Subscript out of range");
    return;
  }
  ParseMsg();
}

void Link::Timer1_Timer() {
  d_.view.setLabel(LabelId::kStatDat, "");
  d_.Timer1.setEnabled(false);
}

void Link::tmrReadingData_Timer() {
  d_.tmrReadingData.setInterval(0);
  d_.tmrReadingData.setEnabled(false);
  step([&] { SendNack(); });
  d_.view.setBusy(false);
  rx_.clear();
  d_.box.show(d_.messages.text(Msg::kUploadIncomplete), platform::Buttons::kOk, false, kErrorTitle);
  step([&] { writer_.close(); });
  if (ended_) ended_(UploadEnd::kWatchdog);
}

void Link::cmdLastMsg_Click() {
  d_.view.setLabel(LabelId::kStatDat, lastMessageText(rx_.LastMsg()));
}

void Link::closeChannel() {
  step([&] { writer_.close(); });
}

void Link::reportFailure(const std::string& description) {
  d_.box.show(description, platform::Buttons::kOk, false, kErrorTitle);
}

template <typename F>
void Link::step(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    reportFailure(e.what());
  }
}

void Link::ParseMsg() {
  Message& m = rx_.message();
  FixInputBuffer(m);

  int sum = 0;
  for (int i = 2; i <= m.MsgLength - 4; ++i) sum += byteAt(m, i);
  if (sum % 256 != byteAt(m, m.MsgLength - 3)) {
    d_.genMsg.write(".");
    d_.genMsg.clearAfter(1000);
  }

  const std::int16_t type = byteAt(m, 1);
  if (type == kSohCode) parseHeader();
  if (!up_.BlockPending) d_.view.setLabel(LabelId::kStatDat, "");
  if (type == kStxCode) parseData();

  // Everything the message produced reaches stable storage before the meter hears ACK.
  step([&] { writer_.commit(); });
  step([&] { SendAnAck(); });
}

void Link::parseHeader() {
  const Message& m = rx_.message();
  store::HeaderFields& h = d_.header;
  const platform::LocalTime now = d_.clock.now();
  std::string nameDate = datetime::formatNameDate({now.year, now.month, now.day});
  std::string nameTime = "  " + datetime::formatNameTime(secondsOfDay(now));

  up_.ExtLogMode = 0;
  up_.HeaderReceived = false;
  up_.ListPending = true;
  d_.tmrReadingData.setInterval(kWatchdogMs);
  d_.tmrReadingData.setEnabled(true);

  const std::uint32_t stamp = u32At(m, 2);
  const std::uint16_t modeWord = u16At(m, 6);
  h.ProbeType = static_cast<std::int16_t>((modeWord >> 12) & 15);
  h.LogMode = static_cast<std::int16_t>((modeWord >> 10) & 3);
  h.LogRate = static_cast<std::int16_t>((modeWord >> 6) & 15);
  d_.ElapsedMode = static_cast<std::int16_t>((modeWord >> 4) & 1);

  if (d_.ElapsedMode == 1) {
    // The header's word is a file number; the name and the start come from the clock.
    h.SampTime = std::to_string(stamp);
    h.ProbeType = static_cast<std::int16_t>(h.ProbeType + 16);
    if (h.LogMode == 1 || h.LogMode == 2) {
      up_.ExtLogMode = h.LogMode;
      h.LogMode = 0;
    }
    up_.startInstant = {{now.year, now.month, now.day}, secondsOfDay(now)};
  } else {
    h.SampDate = datetime::GetDate(stamp);
    h.SampTime = datetime::GetTime(stamp, 0);
    const datetime::Instant start = {datetime::stampInstant(stamp).date,
                                     datetime::stampSeconds(stamp) % 86400};
    nameDate = datetime::formatNameDate(start.date);
    nameTime = "  " + datetime::formatNameTime(start.secondsOfDay);
    up_.startInstant = start;
  }

  h.DataFormat = u16At(m, 8);
  h.MoveAve = u16At(m, 10);
  if (byteAt(m, 13) == kDle && byteAt(m, 14) == kEtx) {
    h.PeriodOn = h.PeriodOff = up_.PeriodLeft = 0.0f;
  } else {
    h.PeriodOn = static_cast<float>(u32At(m, 12));
    h.PeriodOff = static_cast<float>(u32At(m, 16));
    up_.PeriodLeft = h.PeriodOn;
  }

  datetime::ChangeDate(h.SampDate, 0, d_.ElapsedMode, d_.formats.dateChoice(), now);
  datetime::ChangeTime(h.SampTime, d_.ElapsedMode, d_.formats.timeChoice());
  d_.catalogue.ListTime = h.SampTime;
  d_.catalogue.ListDate = h.SampDate;
  up_.BlockPending = true;

  // The new upload's file replaces any file of the same name.
  step([&] { writer_.close(); });
  std::string name = "QV " + nameDate + nameTime;
  if (d_.ElapsedMode == 1) name += " File" + atLeastThreeDigits(h.SampTime);
  name += ".dat";
  d_.catalogue.CurrentFile = name;
  step([&] { createFile(name); });

  h.MoveAveText = h.MoveAve > 0 ? signedText(h.MoveAve) : std::string();
  up_.RecordsInFile = 0;
  up_.RecordsTotal = 0;
  up_.SplitStart.clear();
  up_.exhausted = false;
  up_.HeaderReceived = true;
}

void Link::createFile(const std::string& name) {
  writer_.create(platform::joinPath(d_.dataPath, name));
  writeHeaderLines();
}

std::int16_t Link::fileModeCode() const {
  if (up_.ExtLogMode == 1) return 4;
  if (up_.ExtLogMode == 2) return 5;
  return d_.header.LogMode;
}

void Link::writeHeaderLines() {
  writer_.writeLine(store::headerLine1(d_.header, fileModeCode()));
  writer_.writeLine(store::headerLine2(d_.header));
}

void Link::parseData() {
  const Message& m = rx_.message();
  store::HeaderFields& h = d_.header;

  if (!up_.HeaderReceived) {
    step([&] { writer_.close(); });
    d_.catalogue.newestStatus() = store::kNoHeader;
    step([&] { SendNack(); });
    if (ended_) ended_(UploadEnd::kNoHeader);
    return;
  }
  if (!writer_.isOpen()) {
    // The upload this message belongs to has ended (its last message, the watchdog, or no
    // further continuation file): the records have no file to go to.
    d_.genMsg.ShowGeneralMsg("Data received after the upload ended was not stored");
    return;
  }

  d_.tmrReadingData.setEnabled(false);
  d_.tmrReadingData.setInterval(kWatchdogMs);
  d_.tmrReadingData.setEnabled(true);

  const platform::LocalTime now = d_.clock.now();
  const int len = m.MsgLength;
  int i = 2;
  while (i < len - 5) {
    ++up_.RecordsInFile;
    ++up_.RecordsTotal;
    if (up_.RecordsInFile > store::kMaxRecordsPerFile) {
      Next_file(i);
      if (up_.exhausted) {
        if (ended_) ended_(UploadEnd::kNoFileName);
        return;
      }
    }
    h.RecordTag = static_cast<std::int16_t>(byteAt(m, i) & 0x7F);
    h.UnitsCode = byteAt(m, i + 1);
    i += 2;
    writer_.writeLine(store::rawLine({store::intField(h.RecordTag), store::intField(h.UnitsCode)}));

    if (h.LogMode == 0) {
      const std::uint32_t stamp = u32At(m, i);
      i += 4;
      h.SampDate = datetime::GetDate(stamp);
      h.SampTime = datetime::GetTime(stamp, d_.ElapsedMode);
      datetime::ChangeDate(h.SampDate, 0, d_.ElapsedMode, d_.formats.dateChoice(), now);
      datetime::ChangeTime(h.SampTime, d_.ElapsedMode, d_.formats.timeChoice());
      writer_.writeLine(
          store::rawLine({store::textField(h.SampDate), store::textField(h.SampTime)}));
    }
    if (i < len - 5 && h.MoveAve != 0) {
      writer_.writeLine(
          store::rawLine({store::doubleField(decodeValue(byteAt(m, i), byteAt(m, i + 1)))}));
      i += 2;
    }
    up_.ColumnIndex = 0;
    std::int32_t mask = h.DataFormat;
    while (i < len - 3 && mask != 0) {
      if (mask & 1) {
        const double v = store::roundThousandths(decodeValue(byteAt(m, i), byteAt(m, i + 1)));
        writer_.writeLine(store::rawLine({store::doubleField(v)}));
        i += 2;
      }
      mask /= 2;
      ++up_.ColumnIndex;
    }
  }

  if (up_.ListPending) {
    step([&] {
      if (d_.AddToList(up_.ExtLogMode)) up_.ListPending = false;
    });
  }
  if (!up_.BlockPending) {
    d_.tmrReadingData.setEnabled(false);
    step([&] { writer_.close(); });
    d_.catalogue.newestStatus() = store::kComplete;
    if (ended_) ended_(UploadEnd::kLastMessage);
  }
}

void Link::Next_file(int recordAt) {
  store::HeaderFields& h = d_.header;
  std::string& current = d_.catalogue.CurrentFile;
  if (current.size() <= 6) return;

  step([&] { writer_.close(); });

  // The letter in front of ".dat": a digit gets "A" added, a letter moves on by one.
  const size_t at = current.size() - 5;
  const unsigned char c = static_cast<unsigned char>(current[at]);
  if (c <= '9') {
    current.insert(at + 1, "A");
    up_.SplitStart = h.SampDate + " " + h.SampTime;
  } else if (c + 1 > 'Z') {
    // No name is left for a further file: end the upload here, leaving every file intact.
    d_.box.show(d_.messages.text(Msg::kUploadIncomplete), platform::Buttons::kOk, false,
                kErrorTitle);
    d_.tmrReadingData.setEnabled(false);
    up_.exhausted = true;
    return;
  } else {
    current[at] = static_cast<char>(c + 1);
  }

  const platform::LocalTime now = d_.clock.now();
  if (h.LogMode == 0) {
    // Time-stamped records: the new file starts at the stamp of the record that opens it.
    // Its time is written like every continuation start (two-digit hour), or as elapsed time.
    const std::uint32_t stamp = u32At(rx_.message(), recordAt + 2);
    h.SampDate = datetime::GetDate(stamp);
    h.SampTime = d_.ElapsedMode != 0
                     ? datetime::GetTime(stamp, d_.ElapsedMode)
                     : datetime::formatTime12(datetime::stampSeconds(stamp) % 86400);
  } else {
    std::int64_t seconds = up_.RecordsTotal;
    if (h.LogMode == 2) {
      h.LogInterval = logInterval(h.LogRate);
      up_.PeriodLeft = h.PeriodOn - h.LogInterval;
      double elapsed = 0.0;
      for (std::int32_t n = 0; n < up_.RecordsTotal; ++n) {
        if (up_.PeriodLeft <= 0.0f) {
          up_.PeriodLeft = h.PeriodOn;
          elapsed += static_cast<double>(h.LogInterval) + static_cast<double>(h.PeriodOff);
        } else {
          elapsed += static_cast<double>(h.LogInterval);
          up_.PeriodLeft -= h.LogInterval;
        }
      }
      seconds = std::llround(elapsed);  // halves away from zero
    }
    const datetime::Instant start = datetime::addSeconds(up_.startInstant, seconds);
    h.SampDate = datetime::formatUsDate(start.date);
    h.SampTime = datetime::formatTime12(start.secondsOfDay);
  }
  datetime::ChangeDate(h.SampDate, 0, d_.ElapsedMode, d_.formats.dateChoice(), now);
  datetime::ChangeTime(h.SampTime, d_.ElapsedMode, d_.formats.timeChoice());

  step([&] { createFile(current); });
  h.MoveAveText = h.MoveAve > 0 ? signedText(h.MoveAve) : std::string();
  up_.RecordsInFile = 1;
  step([&] {
    if (d_.AddToList(up_.ExtLogMode)) up_.ListPending = false;
  });
}

}  // namespace kestrand::link
