#pragma once
// The meter link in the program: the serial port's notifications go to the link (link/), which
// carries out the upload; this part realises what the link needs with the port, the timers, the
// file list and the presenter, and keeps the port itself: opening it, reopening it once a second
// after its device went away, taking over a COMn link that appears while its fallback device
// is open, and naming the device that is open.

#include <cstdint>
#include <functional>
#include <string>

#include "app/presenter.h"
#include "core/messages.h"
#include "datetime/format_preferences.h"
#include "link/meter_link.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/serial_port.h"
#include "platform/timer.h"
#include "store/catalogue.h"
#include "store/header.h"

namespace kestrand::app {

class LinkController : link::Replies, link::LinkTimers, link::UploadList {
 public:
  struct Deps {
    platform::SerialPort& port;
    Presenter& present;
    platform::FileSystem& fs;
    platform::Clock& clock;
    platform::Timer& Timer1;
    platform::Timer& tmrReadingData;
    // Once a second: opens the port again after its device went away, or looks for the COMn
    // link while the port's fallback device is open.
    platform::Timer& tmrReopen;
    const MessageCatalogue& messages;
    store::HeaderFields& header;
    store::FileCatalogue& catalogue;
    // Lists the upload's current file; false when the list could not take it.
    std::function<bool(std::int16_t extLogMode)> AddToList;
    const datetime::FormatPreferences& formats;
    std::int16_t& ElapsedMode;
    std::string dataPath;
  };

  explicit LinkController(Deps deps);

  // The serial port's notification, with its event code.
  void OnComm(int code);
  void Timer1_Timer();
  void tmrReadingData_Timer();
  void tmrReopen_Timer();
  // Opens `device` and remembers it for reopening; `comPort` is the port number it stands for
  // (0: a device named directly). Any reopening in progress stops first (the user picked a
  // port). Throws kestrand::Error when the port does not open.
  void openPort(const std::string& device, int comPort = 0);
  // Closes the port (when open) and stops reopening it.
  void closePort();
  // "Display last message".
  void cmdLastMsg_Click();
  // Closes the raw data file channel (Delete, Delete All, shut-down). The port stays as it is:
  // open, or being reopened.
  void closeChannel();
  void stopReopening() { d_.tmrReopen.setEnabled(false); }

  // Called when an upload has ended, inside the handler that ended it.
  void onUploadEnded(std::function<void(link::UploadEnd)> handler) {
    link_.onUploadEnded(std::move(handler));
  }

  link::MeterLink& meterLink() { return link_; }
  bool fileOpen() const { return link_.fileOpen(); }

 private:
  void send(char byte) override;
  void armWatchdog(int ms) override;
  void stopWatchdog() override;
  void startStatusTimer() override;
  bool add(std::int16_t extLogMode) override;
  void setNewestStatus(std::int16_t status) override;

  void portLost();
  // The device port `comPort_` stands for now (the COMn link once it exists).
  std::string currentDevice() const;
  // The device open is the fallback of a COMn link that did not exist when it was opened.
  bool onFallback() const;
  void showPortName();

  Deps d_;
  link::MeterLink link_;
  std::string device_;
  int comPort_ = 0;
};

}  // namespace kestrand::app
