#include "link/meter_link.h"

#include <cmath>
#include <exception>

#include "core/text.h"
#include "platform/serial_port.h"

namespace kestrand::link {

MeterLink::MeterLink(LinkServices services, platform::FileSystem& fs, std::string dataPath,
                     UploadSession::Shared shared, const MessageCatalogue& messages,
                     const platform::Clock& clock)
    : s_(services),
      dataPath_(std::move(dataPath)),
      shared_(shared),
      clock_(clock),
      session_(shared, messages),
      writer_(fs) {}

bool MeterLink::uploadRunning() const {
  return session_.state().HeaderReceived && !session_.state().ended;
}

std::chrono::milliseconds MeterLink::now() const {
  // The wall clock as a count from the epoch, so that an upload may run past midnight.
  const platform::LocalTime t = clock_.now();
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
    s_.display.errorBox(e.what());
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
    lineError(platform::comm_event::kReceive, "Subscript out of range");
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
  const bool endedBefore = progress_.end.has_value();
  perform(actions);
  if (!endedBefore && progress_.end) reportProgress(progress_.upload);
}

void MeterLink::closeChannel() {
  const bool running = uploadRunning();
  step([&] { writer_.close(); });
  session_.fileClosed();
  if (!running) return;
  progress_.end = UploadEnd::kClosed;
  reportProgress(session_.state().upload);
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
  s_.display.errorBox(why);
}

void MeterLink::perform(const Actions& actions) {
  using Kind = Action::Kind;
  const std::uint64_t batch = ++batches_;
  for (const Action& a : actions) {
    if (batch != batches_) {
      // A message box let newer events in: the upload's file, watchdog and list are theirs now,
      // and an answer not yet sent is left to the meter's own time-out (it sends again).
      switch (a.kind) {
        case Kind::kStatus:
        case Kind::kGeneralMsg:
        case Kind::kNotice:
        case Kind::kMessageBox:
        case Kind::kNormalPointer:
          break;
        default:
          continue;
      }
    }
    switch (a.kind) {
      case Kind::kReply:
        step([&] { reply(a.byte); });
        break;
      case Kind::kCommit:
        try {
          writer_.commit();
          writeFailureShown_ = false;
        } catch (const std::exception& e) {
          refuse(e.what());
          return;
        }
        break;
      case Kind::kCreateFile:
        try {
          writer_.create(platform::joinPath(dataPath_, a.text));
        } catch (const std::exception& e) {
          session_.fileCreateFailed();
          refuse(e.what());
          return;
        }
        break;
      case Kind::kCloseFile:
        step([&] { writer_.close(); });
        break;
      case Kind::kWriteLine:
        writer_.writeLine(a.text);
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
        s_.display.errorBox(a.text);
        break;
      case Kind::kAddToList:
        if (a.onlyIfPending && !session_.state().ListPending) break;
        // The list reads the file's name and units from the program's state.
        shared_.CurrentFile = a.text;
        shared_.header.UnitsCode = a.units;
        step([&] {
          if (s_.list.add(a.extLogMode)) session_.listAdded();
        });
        break;
      case Kind::kSetNewestStatus:
        s_.list.setNewestStatus(a.status);
        break;
      case Kind::kUploadEnded:
        if (a.upload == progress_.upload) progress_.end = a.end;
        if (ended_) ended_(a.end);
        break;
    }
  }
}

}  // namespace kestrand::link
