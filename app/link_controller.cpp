#include "app/link_controller.h"

#include <exception>

#include "core/text.h"

namespace kestrand::app {

using link::Action;
using platform::LabelId;

LinkController::LinkController(Deps deps)
    : d_(std::move(deps)),
      session_({d_.header, d_.ElapsedMode, d_.catalogue.CurrentFile, d_.catalogue.ListDate,
                d_.catalogue.ListTime},
               d_.messages),
      writer_(d_.fs) {
  d_.port.onEvent([this](int code) { OnComm(code); });
  d_.Timer1.onTick([this] { Timer1_Timer(); });
  d_.tmrReadingData.onTick([this] { tmrReadingData_Timer(); });
  d_.tmrReopen.onTick([this] { tmrReopen_Timer(); });
}

void LinkController::openPort(const std::string& device) {
  stopReopening();
  device_ = device;
  d_.port.open(device);
}

void LinkController::SendAnAck() {
  d_.port.write(std::string_view(&link::kAck, 1));
}
void LinkController::SendNack() {
  d_.port.write(std::string_view(&link::kNak, 1));
}

template <typename F>
bool LinkController::step(F&& f) {
  try {
    f();
    return true;
  } catch (const std::exception& e) {
    d_.box.show(e.what(), platform::Buttons::kOk, false, kErrorTitle);
    return false;
  }
}

void LinkController::OnComm(int code) {
  if (d_.Timer1.running()) {
    d_.Timer1.setEnabled(false);
    d_.Timer1.setEnabled(true);
  }
  try {
    if (code >= 1001 && code <= 1011 && code != 1005) {
      lineError(code, d_.messages.commErrText(code));
    } else if (code == platform::comm_event::kReceive) {
      receive();
    } else if (code == platform::comm_event::kPortLost) {
      portLost();
    }
  } catch (const std::exception& e) {
    lineError(code, e.what());
  }
}

void LinkController::lineError(int code, const std::string& description) {
  d_.genMsg.ShowGeneralMsg("Com error: " + signedText(code) + "  " + description);
  try {
    SendNack();
  } catch (const std::exception&) {
    // The line is already in trouble; the message above says so.
  }
  rx_.clear();
}

void LinkController::receive() {
  using Kind = link::RxOutcome::Kind;
  const std::string chunk = d_.port.readAll();
  if (chunk.empty()) return;
  d_.view.setLabel(LabelId::kStatDat,
                   chunk + " - " + hexText(static_cast<unsigned char>(chunk.front())));

  const link::RxOutcome out = rx_.onChunk(chunk);
  switch (out.kind) {
    case Kind::kIgnored:
      return;
    case Kind::kNeedMore:
      d_.view.setLabel(LabelId::kStatDat, "Connected to Rurevad");
      d_.Timer1.setEnabled(true);
      return;
    case Kind::kEnquiry:
      SendAnAck();
      d_.view.setLabel(LabelId::kStatDat, "Got Enquire ");
      return;
    case Kind::kMessage:
    case Kind::kTooLong:
      break;
  }

  // The pointer is busy from a header until the last data message.
  if (out.terminator == link::Terminator::kDleEot) d_.view.setBusy(false);
  if (out.terminator == link::Terminator::kDleEtx) d_.view.setBusy(true);
  const std::string status = link::terminatorStatus(out.terminator, out.bufferLength);
  if (!status.empty()) d_.view.setLabel(LabelId::kStatDat, status);
  session_.noteTerminator(out.terminator);
  if (out.kind == Kind::kTooLong) {
    lineError(platform::comm_event::kReceive, "Subscript out of range");
    return;
  }
  perform(session_.ParseMsg(rx_.message(), d_.clock.now(),
                            {d_.formats.dateChoice(), d_.formats.timeChoice()}));
}

void LinkController::portLost() {
  perform(session_.onPortLost());
  d_.view.setLabel(LabelId::kStatDat, "Port lost: " + device_);
  d_.genMsg.ShowGeneralMsg("The serial port " + device_ +
                           " has gone away; trying to open it again every second");
  d_.tmrReopen.setInterval(1000);
  d_.tmrReopen.setEnabled(true);
}

void LinkController::tmrReopen_Timer() {
  try {
    d_.port.open(device_);
  } catch (const std::exception&) {
    return;  // not back yet
  }
  stopReopening();
  rx_.clear();
  d_.view.setLabel(LabelId::kStatDat, "Port open again: " + device_);
  d_.genMsg.ShowGeneralMsg("The serial port " + device_ + " is back; listening again");
}

void LinkController::Timer1_Timer() {
  d_.view.setLabel(LabelId::kStatDat, "");
  d_.Timer1.setEnabled(false);
}

void LinkController::tmrReadingData_Timer() {
  d_.tmrReadingData.setInterval(0);
  perform(session_.onWatchdog(armedFor_));
}

void LinkController::cmdLastMsg_Click() {
  d_.view.setLabel(LabelId::kStatDat, link::lastMessageText(rx_.LastMsg()));
}

void LinkController::closeChannel() {
  stopReopening();
  step([&] { writer_.close(); });
  session_.fileClosed();
}

void LinkController::refuse(const std::string& why) {
  writer_.discardPending();
  if (session_.refused()) {
    try {
      writer_.close();  // the refused header's file holds nothing
    } catch (const std::exception&) {
      // Nothing of it was acknowledged; the failure is the one shown below.
    }
  }
  step([&] { SendNack(); });
  if (writeFailureShown_) return;
  writeFailureShown_ = true;
  d_.box.show(why, platform::Buttons::kOk, false, kErrorTitle);
}

void LinkController::perform(const link::Actions& actions) {
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
        step([&] { a.byte == link::kAck ? SendAnAck() : SendNack(); });
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
          writer_.create(platform::joinPath(d_.dataPath, a.text));
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
        d_.tmrReadingData.setEnabled(false);
        d_.tmrReadingData.setInterval(a.ms);
        d_.tmrReadingData.setEnabled(true);
        break;
      case Kind::kStopWatchdog:
        d_.tmrReadingData.setEnabled(false);
        break;
      case Kind::kNormalPointer:
        d_.view.setBusy(false);
        break;
      case Kind::kClearReceive:
        rx_.clear();
        break;
      case Kind::kStatus:
        d_.view.setLabel(LabelId::kStatDat, a.text);
        break;
      case Kind::kGeneralMsg:
        d_.genMsg.ShowGeneralMsg(a.text);
        break;
      case Kind::kNotice:
        d_.genMsg.write(a.text);
        d_.genMsg.clearAfter(a.ms);
        break;
      case Kind::kMessageBox:
        d_.box.show(a.text, platform::Buttons::kOk, false, kErrorTitle);
        break;
      case Kind::kAddToList:
        if (a.onlyIfPending && !session_.state().ListPending) break;
        d_.catalogue.CurrentFile = a.text;
        d_.header.UnitsCode = a.units;
        step([&] {
          if (d_.AddToList(a.extLogMode)) session_.listAdded();
        });
        break;
      case Kind::kSetNewestStatus:
        d_.catalogue.newestStatus() = a.status;
        break;
      case Kind::kUploadEnded:
        if (ended_) ended_(a.end);
        break;
    }
  }
}

}  // namespace kestrand::app
