#pragma once
// The meter link in the program, with the port and the display formats the upload is written
// in. The serial port's notifications go to the link (link/), which carries out the upload;
// this part realises what the link needs with the port, its timers, the file list and the
// presenter, and keeps the port itself: choosing it and its settings file (port.cpp), opening
// it, reopening it once a second after its device went away, taking over a COMn link that
// appears while its fallback device is open, and naming the device that is open.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/main_view.h"
#include "app/presenter.h"
#include "core/messages.h"
#include "datetime/format_preferences.h"
#include "link/meter_link.h"
#include "ports/clock.h"
#include "ports/file_system.h"
#include "ports/serial_port.h"
#include "ports/timer.h"

namespace kestrand::app {

inline constexpr std::string_view kPortSettingsFile = "riviriro.inf";
inline const std::string kPortErrorText =
    "Unable to open the selected comm port.  Reselect comm port or check system configuration.";

// The port number the port file holds: its first integer, blanks ignored. Nullopt when the file
// is missing, empty, unreadable or holds no number.
std::optional<std::int16_t> readPortSetting(const ports::FileSystem& fs,
                                            const std::string& dataPath);
// The port number with the blank of its sign, and CR LF, replacing the file whole. Throws
// kestrand::Error.
void savePortSetting(ports::FileSystem& fs, const std::string& dataPath, std::int16_t port);

class LinkController : link::Replies, link::LinkTimers {
 public:
  struct Deps {
    ports::SerialPort& port;
    ports::FileSystem& fs;
    const ports::Clock& clock;
    ports::TimerFactory& timers;
    Presenter& present;
    const MessageCatalogue& messages;
    link::UploadList& list;  // the file list, told of the upload's files
    std::string dataPath;
  };

  explicit LinkController(Deps deps);
  LinkController(const LinkController&) = delete;
  LinkController& operator=(const LinkController&) = delete;

  // The serial port's notification, with its event code.
  void onPortEvent(int code);
  void Timer1_Timer();
  void tmrReadingData_Timer();
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
  // Disables `Timer1`, which blanks the status label once the line falls quiet.
  void stopStatusTimer() { Timer1_->setEnabled(false); }

  // The port number: read from the port settings file, the port dialog (`choose`, with the
  // number it starts on) when it cannot be; then the port opened.
  void GetDefaultPort(const std::function<int(int initial)>& choose);
  // Closes the port, selects `port` (1 to 5) and opens it, with its check mark; a port that
  // does not open is reported in a box and keeps the number before it.
  void OpenCommPort(int port);
  // Takes `port` as the port number without opening it (the port dialog after a failed load
  // step, which then runs the step again).
  void setPortNumber(int port) { PortNumber_ = static_cast<std::int16_t>(port); }
  // Writes the port number to the port settings file. Throws kestrand::Error.
  void savePortNumber() const;
  std::int16_t PortNumber() const { return PortNumber_; }

  // Called when an upload has ended, inside the handler that ended it.
  void onUploadEnded(std::function<void(link::UploadEnd)> handler) {
    link_.onUploadEnded(std::move(handler));
  }

  datetime::FormatPreferences& formats() { return formats_; }
  const datetime::FormatPreferences& formats() const { return formats_; }
  // 1 when the last header the meter sent was of an elapsed-time upload (read only: the upload
  // in progress owns it).
  const std::int16_t& ElapsedMode() const { return link_.upload().ElapsedMode; }
  link::MeterLink& meterLink() { return link_; }
  bool fileOpen() const { return link_.fileOpen(); }
  bool watchdogRunning() const { return tmrReadingData_->running(); }
  bool reopening() const { return reopenTimer_->running(); }

 private:
  void send(char byte) override;
  void armWatchdog(int ms) override;
  void stopWatchdog() override;
  void startStatusTimer() override;

  // Once a second: opens the port again after its device went away, or looks for the COMn link
  // while the port's fallback device is open.
  void reopenTick();
  void stopReopening() { reopenTimer_->setEnabled(false); }
  void portLost();
  // The device port `comPort_` stands for now (the COMn link once it exists).
  std::string currentDevice() const;
  // The device open is the fallback of a COMn link that did not exist when it was opened.
  bool onFallback() const;
  void showPortName();

  Deps d_;
  std::unique_ptr<ports::Timer> Timer1_;
  std::unique_ptr<ports::Timer> tmrReadingData_;
  std::unique_ptr<ports::Timer> reopenTimer_;
  datetime::FormatPreferences formats_;
  std::int16_t PortNumber_ = 0;
  link::MeterLink link_;
  std::string device_;
  int comPort_ = 0;
};

}  // namespace kestrand::app
