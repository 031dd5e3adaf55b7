#pragma once
// The meter link: the serial port's notification handler, the message parser and the upload
// writer with its continuation files, the status-label timer and the upload watchdog.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/general_message.h"
#include "core/messages.h"
#include "datetime/datetime.h"
#include "datetime/format_preferences.h"
#include "link/receive_path.h"
#include "link/upload_writer.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/main_view.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "platform/timer.h"
#include "store/catalogue.h"
#include "store/header.h"

namespace kestrand::link {

// What the parser keeps between the messages of one upload.
struct UploadState {
  bool BlockPending = false;
  std::int16_t ExtLogMode = 0;
  float PeriodLeft = 0.0f;
  bool HeaderReceived = false;
  bool ListPending = false;
  std::int32_t RecordsInFile = 0;
  std::int32_t RecordsTotal = 0;
  std::int32_t ColumnIndex = 0;
  std::string SplitStart;
  // The instant the upload's first file starts at, from which continuation starts are counted.
  datetime::Instant startInstant;
  // Set when no further continuation file can be named: later records are not stored.
  bool exhausted = false;
};

class Link {
 public:
  struct Deps {
    platform::SerialPort& port;
    platform::MainView& view;
    platform::MessageBox& box;
    platform::FileSystem& fs;
    platform::Clock& clock;
    platform::Timer& Timer1;
    platform::Timer& tmrReadingData;
    GeneralMessage& genMsg;
    const MessageCatalogue& messages;
    store::HeaderFields& header;
    store::FileCatalogue& catalogue;
    // Adds the current file to the list and shows the outcome; true when it was added.
    std::function<bool(std::int16_t extLogMode)> AddToList;
    const datetime::FormatPreferences& formats;
    std::int16_t& ElapsedMode;
    std::string dataPath;
  };

  explicit Link(Deps deps);

  // The serial port's notification, with its event code.
  void OnComm(int code);
  void Timer1_Timer();
  void tmrReadingData_Timer();
  // "Display last message".
  void cmdLastMsg_Click();
  // Closes the raw data file channel (File > Exit and shut-down).
  void closeChannel();

  // Runs the parser on the message now in the receive path's array.
  void ParseMsg();
  void SendAnAck();
  void SendNack();

  // How an upload came to its end, for a caller that waits for one.
  enum class UploadEnd { kLastMessage, kWatchdog, kNoFileName, kNoHeader };
  void onUploadEnded(std::function<void(UploadEnd)> handler) { ended_ = std::move(handler); }

  ReceivePath& receivePath() { return rx_; }
  const UploadState& upload() const { return up_; }
  bool fileOpen() const { return writer_.isOpen(); }

 private:
  void lineError(int code, const std::string& description);
  void receive();
  void parseHeader();
  void parseData();
  void Next_file(int recordAt);
  void createFile(const std::string& name);
  void writeHeaderLines();
  std::int16_t fileModeCode() const;
  // Runs one step of the parser; a failure is shown in a message box and the parse goes on.
  template <typename F>
  void step(F&& f);
  void reportFailure(const std::string& description);
  void commitAndAcknowledge();

  Deps d_;
  ReceivePath rx_;
  UploadState up_;
  UploadWriter writer_;
  std::function<void(UploadEnd)> ended_;
};

// A 16-bit value of the link: exponent in bits 13-15, mantissa in bits 0-12.
double decodeValue(std::int16_t hi, std::int16_t lo);

// Seconds between samples for a log-rate code (0.5 s to 60 s; other codes 1 s).
float logInterval(std::int16_t logRate);

}  // namespace kestrand::link
