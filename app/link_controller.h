#pragma once
// The meter link in the program: the serial port's notification handler, the status-label timer
// and the upload watchdog. It feeds the receive path, hands each message to the upload session
// and carries out what the session decides, in order, with the port, the raw data file, the
// timers, the labels, the pointer and the message boxes.

#include <cstdint>
#include <functional>
#include <string>

#include "app/general_message.h"
#include "core/messages.h"
#include "datetime/format_preferences.h"
#include "link/receive_path.h"
#include "link/upload_session.h"
#include "link/upload_writer.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/main_view.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "platform/timer.h"
#include "store/catalogue.h"
#include "store/header.h"

namespace kestrand::app {

class LinkController {
 public:
  struct Deps {
    platform::SerialPort& port;
    platform::MainView& view;
    platform::MessageBox& box;
    platform::FileSystem& fs;
    platform::Clock& clock;
    platform::Timer& Timer1;
    platform::Timer& tmrReadingData;
    // Tries, once a second, to open the port again after its device went away.
    platform::Timer& tmrReopen;
    GeneralMessage& genMsg;
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
  // Opens the port on `device` and remembers it for reopening; any reopening in progress stops
  // first (the user picked a port). Throws kestrand::Error when the port does not open.
  void openPort(const std::string& device);
  void stopReopening() { d_.tmrReopen.setEnabled(false); }
  // "Display last message".
  void cmdLastMsg_Click();
  // Closes the raw data file channel (File > Exit and shut-down).
  void closeChannel();

  // Called when an upload has ended, inside the handler that ended it.
  void onUploadEnded(std::function<void(link::UploadEnd)> handler) { ended_ = std::move(handler); }

  link::ReceivePath& receivePath() { return rx_; }
  const link::UploadSession& session() const { return session_; }
  bool fileOpen() const { return writer_.isOpen(); }

 private:
  void lineError(int code, const std::string& description);
  void receive();
  void perform(const link::Actions& actions);
  // The message just parsed could not be stored: the file is back at its last whole line, the
  // session where it stood before the message, and the meter hears NAK.
  void refuse(const std::string& why);
  void portLost();
  void SendAnAck();
  void SendNack();
  // Runs one operation; a failure is shown in a message box and the caller goes on.
  template <typename F>
  bool step(F&& f);

  Deps d_;
  link::ReceivePath rx_;
  link::UploadSession session_;
  link::UploadWriter writer_;
  std::function<void(link::UploadEnd)> ended_;
  // The upload the watchdog was last armed for.
  std::uint32_t armedFor_ = 0;
  // Counts the batches of actions begun; a batch that finds it moved on (a message box let other
  // events in) leaves the file, the watchdog and the list to the newer batch.
  std::uint64_t batches_ = 0;
  // A write failure has been shown and no commit has succeeded since.
  bool writeFailureShown_ = false;
  std::string device_;
};

}  // namespace kestrand::app
