#include "link/meter_link.h"

#include <cmath>
#include <exception>

#include "core/text.h"
#include "ports/serial_port.h"

namespace kestrand::link {

MeterLink::MeterLink(LinkServices services, ports::FileSystem& fs, std::string dataPath,
                     const MessageCatalogue& messages, const ports::Clock& clock)
    : s_(services),
      fs_(fs),
      dataPath_(std::move(dataPath)),
      clock_(clock),
      session_(messages),
      writer_(fs) {}

bool MeterLink::uploadRunning() const {
  return session_.state().HeaderReceived && !session_.state().ended;
}

std::chrono::milliseconds MeterLink::now() const {
  // The wall clock as a count from the epoch, so that an upload may run past midnight.
  const ports::LocalTime t = clock_.now();
  const std::chrono::sys_days day = std::chrono::year_month_day{
      std::chrono::year{t.year}, std::chrono::month{static_cast<unsigned>(t.month)},
      std::chrono::day{static_cast<unsigned>(t.day)}};
  return std::chrono::duration_cast<std::chrono::milliseconds>(day.time_since_epoch()) +
         std::chrono::milliseconds(std::llround(t.secondsSinceMidnight * 1000.0));
}

void MeterLink::reportProgress(std::uint32_t upload) {
  if (upload != progress_.upload || progress_.upload == 0) return;
  progress_.records = session_.state().RecordsTotal;
  progress_.refused = session_.state().RecordsRefused;
  progress_.elapsed = now() - startedAt_;
  s_.display.progress(progress_);
}

void MeterLink::reply(char byte) {
  s_.replies.send(byte);
}

template <typename F>
void MeterLink::step(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    s_.display.errorNotice(e.what());
  }
}

Actions MeterLink::onBytes(std::string_view chunk, FormatChoice formats) {
  using Kind = RxOutcome::Kind;
  if (chunk.empty()) return {};
  s_.display.status(std::string(chunk) + " - " + hexText(static_cast<unsigned char>(chunk[0])));

  const RxOutcome out = rx_.onChunk(chunk);
  switch (out.kind) {
    case Kind::kIgnored:
      return {};
    case Kind::kNeedMore:
      s_.display.status("Connected to Rurevad");
      s_.timers.startStatusTimer();
      return {};
    case Kind::kEnquiry:
      reply(kAck);
      s_.display.status("Got Enquire ");
      return {};
    case Kind::kMessage:
    case Kind::kTooLong:
      break;
  }

  // The pointer is busy from a header until the last data message.
  if (out.terminator == Terminator::kDleEot) s_.display.busy(false);
  if (out.terminator == Terminator::kDleEtx) s_.display.busy(true);
  const std::string status = terminatorStatus(out.terminator, out.bufferLength);
  if (!status.empty()) s_.display.status(status);
  session_.noteTerminator(out.terminator);
  if (out.kind == Kind::kTooLong) {
    lineError(ports::comm_event::kReceive, "Subscript out of range");
    return {};
  }

  const std::uint32_t before = session_.state().upload;
  const bool counted = uploadRunning();
  const auto wireBytes = static_cast<std::uint64_t>(rx_.message().MsgLength);
  Actions actions = session_.ParseMsg(rx_.message(), clock_.now(), formats);
  const std::uint32_t upload = session_.state().upload;
  if (upload != before) {
    // A header: a new upload starts counting.
    progress_ = {};
    progress_.upload = upload;
    startedAt_ = now();
  }
  if (counted || upload != before) progress_.bytes += wireBytes;
  perform(actions);
  if (counted || upload != before) reportProgress(upload);
  return actions;
}

void MeterLink::lineError(int code, const std::string& description) {
  s_.display.generalMessage("Com error: " + signedText(code) + "  " + description);
  try {
    reply(kNak);
  } catch (const std::exception&) {
    // The line is already in trouble; the message above says so.
  }
  rx_.clear();
}

void MeterLink::onWatchdog() {
  performEnding(session_.onWatchdog(armedFor_));
}

void MeterLink::onPortLost() {
  performEnding(session_.onPortLost());
}

void MeterLink::performEnding(const Actions& actions) {
  // The progress line says the upload ended before a box about it waits for the user.
  for (const Action& a : actions) {
    if (a.kind != Action::Kind::kUploadEnded || a.upload != progress_.upload || progress_.end)
      continue;
    progress_.end = a.end;
    reportProgress(progress_.upload);
  }
  perform(actions);
}

void MeterLink::closeChannel() {
  const bool running = uploadRunning();
  step([&] { writer_.close(); });
  session_.fileClosed();
  if (!running) return;
  progress_.end = UploadEnd::kClosed;
  reportProgress(session_.state().upload);
  step([&] { s_.list.ended(UploadEnd::kClosed, session_.state().files); });
  if (ended_) ended_(UploadEnd::kClosed);
}

void MeterLink::refuse(const std::string& why) {
  if (session_.refused()) {
    try {
      writer_.close();  // the refused header's file holds nothing
    } catch (const std::exception&) {
      // Nothing of it was acknowledged; the failure is the one shown below.
    }
  }
  step([&] { reply(kNak); });
  if (writeFailureShown_) return;
  writeFailureShown_ = true;
  s_.display.errorNotice(why);
}

void MeterLink::createFile(const Action& a) {
  if (a.newUpload) {
    // Nothing of an earlier upload of this name is lost or left beside the new one: its files
    // move aside whole before the new first file exists. A move that fails refuses the header.
    const auto moved = store::moveUploadAside(fs_, dataPath_, a.text, clock_.now());
    if (moved) s_.list.replaced(*moved);
  }
  writer_.create(ports::joinPath(dataPath_, a.text));
}

void MeterLink::perform(const Actions& actions) {
  for (const Action& a : actions) {
    if (!performOnFile(a)) return;  // the message was refused; nothing of it goes on
    performOnDisplay(a);
  }
}

bool MeterLink::performOnFile(const Action& a) {
  using Kind = Action::Kind;
  try {
    switch (a.kind) {
      case Kind::kCommit:
        writer_.commit();
        writeFailureShown_ = false;
        break;
      case Kind::kCreateFile:
        createFile(a);
        break;
      case Kind::kCloseFile:
        step([&] { writer_.close(); });
        break;
      case Kind::kWriteLine:
        writer_.writeLine(a.text);
        break;
      default:
        break;
    }
  } catch (const std::exception& e) {
    if (a.kind == Kind::kCreateFile) session_.fileCreateFailed();
    refuse(e.what());
    return false;
  }
  return true;
}

void MeterLink::performOnDisplay(const Action& a) {
  using Kind = Action::Kind;
  switch (a.kind) {
    case Kind::kReply:
      step([&] { reply(a.byte); });
      break;
    case Kind::kArmWatchdog:
      armedFor_ = a.upload;
      s_.timers.armWatchdog(a.ms);
      break;
    case Kind::kStopWatchdog:
      s_.timers.stopWatchdog();
      break;
    case Kind::kNormalPointer:
      s_.display.busy(false);
      break;
    case Kind::kClearReceive:
      rx_.clear();
      break;
    case Kind::kStatus:
      s_.display.status(a.text);
      break;
    case Kind::kGeneralMsg:
      s_.display.generalMessage(a.text);
      break;
    case Kind::kNotice:
      s_.display.notice(a.text, a.ms);
      break;
    case Kind::kMessageBox:
      s_.display.errorNotice(a.text);
      break;
    default:
      performOnList(a);
      break;
  }
}

void MeterLink::performOnList(const Action& a) {
  using Kind = Action::Kind;
  switch (a.kind) {
    case Kind::kAddToList:
      if (a.onlyIfPending && !session_.state().ListPending) break;
      step([&] {
        if (s_.list.add(a.entry)) session_.listAdded();
      });
      break;
    case Kind::kSetStatus:
      s_.list.setStatus(a.text, a.status);
      break;
    case Kind::kUploadEnded:
      if (a.upload == progress_.upload) progress_.end = a.end;
      step([&] { s_.list.ended(a.end, a.files); });
      if (ended_) ended_(a.end);
      break;
    default:
      break;
  }
}

}  // namespace kestrand::link
