#include "app/link_controller.h"

#include <exception>
#include <memory>

namespace kestrand::app {

namespace {
std::unique_ptr<ports::Timer> makeTimer(ports::TimerFactory& f, int interval) {
  auto t = f.createTimer();
  t->setInterval(interval);
  t->setEnabled(false);
  return t;
}
}  // namespace

LinkController::LinkController(Deps deps)
    : d_(std::move(deps)),
      Timer1_(makeTimer(d_.timers, 2000)),
      tmrReadingData_(makeTimer(d_.timers, 0)),
      reopenTimer_(makeTimer(d_.timers, 1000)),
      formats_(d_.fs, d_.dataPath),
      link_({*this, *this, d_.present, d_.list}, d_.fs, d_.dataPath, d_.messages, d_.clock) {
  d_.port.onEvent([this](int code) { onPortEvent(code); });
  Timer1_->onTick([this] { Timer1_Timer(); });
  tmrReadingData_->onTick([this] { tmrReadingData_Timer(); });
  reopenTimer_->onTick([this] { reopenTick(); });
}

void LinkController::send(char byte) {
  d_.port.write(std::string_view(&byte, 1));
}

void LinkController::armWatchdog(int ms) {
  tmrReadingData_->setEnabled(false);
  tmrReadingData_->setInterval(ms);
  tmrReadingData_->setEnabled(true);
}

void LinkController::stopWatchdog() {
  tmrReadingData_->setEnabled(false);
}

void LinkController::startStatusTimer() {
  Timer1_->setEnabled(true);
}

std::string LinkController::currentDevice() const {
  return comPort_ > 0 ? ports::comPortDevice(d_.fs, d_.dataPath, comPort_) : device_;
}

bool LinkController::onFallback() const {
  return comPort_ > 0 && device_ != ports::joinPath(d_.dataPath, "COM" + std::to_string(comPort_));
}

void LinkController::showPortName() {
  if (!d_.port.isOpen()) {
    d_.present.portName("");
    return;
  }
  // A COMn link in the data directory is named by its port; any other name as it was given.
  const std::string name =
      comPort_ > 0 && !onFallback() ? "COM" + std::to_string(comPort_) : device_;
  const std::string system = d_.port.systemDevice();
  d_.present.portName(system.empty() || system == device_ ? device_ : system + " via " + name);
}

void LinkController::openPort(const std::string& device, int comPort) {
  stopReopening();
  device_ = device;
  comPort_ = comPort;
  try {
    d_.port.open(device);
  } catch (const std::exception&) {
    showPortName();
    // The port or its COMn link may yet appear: looked for once a second, as a lost port is.
    if (comPort > 0) reopenTimer_->setEnabled(true);
    throw;
  }
  showPortName();
  // Nothing needs watching unless the COMn link may still appear: then once a second.
  if (onFallback()) {
    reopenTimer_->setInterval(1000);
    reopenTimer_->setEnabled(true);
  }
}

void LinkController::closePort() {
  stopReopening();
  if (d_.port.isOpen()) d_.port.close();
  showPortName();
}

void LinkController::onPortEvent(int code) {
  if (Timer1_->running()) {
    Timer1_->setEnabled(false);
    Timer1_->setEnabled(true);
  }
  try {
    if (code >= 1001 && code <= 1011 && code != 1005) {
      link_.lineError(code, d_.messages.commErrText(code));
    } else if (code == ports::comm_event::kReceive) {
      link_.onBytes(d_.port.readAll(), {formats_.dateChoice(), formats_.timeChoice()});
    } else if (code == ports::comm_event::kPortLost) {
      portLost();
    }
  } catch (const std::exception& e) {
    link_.lineError(code, e.what());
  }
}

void LinkController::portLost() {
  d_.present.status("Port lost: " + device_);
  d_.present.generalMessage("The serial port " + device_ +
                            " has gone away; trying to open it again every second");
  showPortName();
  reopenTimer_->setInterval(1000);
  reopenTimer_->setEnabled(true);
  // Last: the upload's box may hold this handler while the reopening goes on.
  link_.onPortLost();
}

void LinkController::reopenTick() {
  const std::string device = currentDevice();
  if (d_.port.isOpen()) {
    // The fallback is open: the COMn link, once it is there, takes over between uploads.
    if (device == device_ || link_.uploadRunning()) return;
    d_.port.close();
    try {
      d_.port.open(device);
    } catch (const std::exception&) {
      try {
        d_.port.open(device_);  // the link leads nowhere yet: keep listening where we were
      } catch (const std::exception&) {
        // Lost as well: tried again on the next tick like a lost port.
      }
      showPortName();
      return;
    }
    device_ = device;
    link_.clearReceive();
    stopReopening();
    showPortName();
    d_.present.generalMessage("The serial port " + device_ + " is open instead of its fallback");
    return;
  }
  try {
    d_.port.open(device);
  } catch (const std::exception&) {
    return;  // not back yet
  }
  device_ = device;
  if (!onFallback()) stopReopening();
  link_.clearReceive();
  showPortName();
  d_.present.status("Port open again: " + device_);
  d_.present.generalMessage("The serial port " + device_ + " is back; listening again");
}

void LinkController::Timer1_Timer() {
  d_.present.status("");
  Timer1_->setEnabled(false);
}

void LinkController::tmrReadingData_Timer() {
  tmrReadingData_->setInterval(0);
  link_.onWatchdog();
}

void LinkController::cmdLastMsg_Click() {
  d_.present.status(link_.lastMessage());
}

void LinkController::closeChannel() {
  link_.closeChannel();
}

}  // namespace kestrand::app
