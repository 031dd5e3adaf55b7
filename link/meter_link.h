#pragma once
// The meter link as the program runs it. The serial port's notifications (received bytes, line
// errors, a device gone) and the watchdog's expiry come in; the receive path and the upload
// session decide what they amount to; and the session's actions are carried out here, in their
// order, with the upload writer and through the small interfaces below, which the program
// realises with its port, timers, window and file list (and the tests with fakes).
//
// An ACK means stored: the lines of a message are written whole and synced before its ACK; a
// message whose lines cannot be stored is answered NAK, its file cut back to its last whole line.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/messages.h"
#include "link/receive_path.h"
#include "link/upload_session.h"
#include "link/upload_writer.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace kestrand::link {

// The answers to the meter (one byte, ACK or NAK). Throws kestrand::Error when the port cannot
// take them.
class Replies {
 public:
  virtual ~Replies() = default;
  virtual void send(char byte) = 0;
};

// The link's two timers: the upload watchdog, and the status timer that blanks the status two
// seconds after the line falls quiet.
class LinkTimers {
 public:
  virtual ~LinkTimers() = default;
  virtual void armWatchdog(int ms) = 0;  // (re)starts the count
  virtual void stopWatchdog() = 0;
  virtual void startStatusTimer() = 0;
};

// Numbers of the upload in progress (or just ended), as values for the program to show.
struct UploadProgress {
  std::uint32_t upload = 0;              // counts the uploads (headers) since start
  std::int32_t records = 0;              // records received and stored
  std::int32_t refused = 0;              // records sent once no file was left for them
  std::uint64_t bytes = 0;               // the upload's messages as they travelled
  std::chrono::milliseconds elapsed{0};  // since its header
  std::optional<UploadEnd> end;          // how it ended, once it has
};

// Where the link's texts go.
class LinkDisplay {
 public:
  virtual ~LinkDisplay() = default;
  virtual void status(const std::string& text) = 0;  // the status label
  // The general message label: for five seconds, or written directly and cleared after `ms`.
  virtual void generalMessage(const std::string& text) = 0;
  virtual void notice(const std::string& text, int ms) = 0;
  virtual void errorBox(const std::string& text) = 0;  // modal, OK, the error title
  virtual void busy(bool on) = 0;                      // the window's pointer
  virtual void progress(const UploadProgress& p) = 0;
};

// The file list as the upload fills it.
class UploadList {
 public:
  virtual ~UploadList() = default;
  // Lists the current file with the current header fields; false when the list cannot take it.
  virtual bool add(std::int16_t extLogMode) = 0;
  virtual void setNewestStatus(std::int16_t status) = 0;
};

struct LinkServices {
  Replies& replies;
  LinkTimers& timers;
  LinkDisplay& display;
  UploadList& list;
};

class MeterLink {
 public:
  // The upload's files go to `dataPath` on `fs`; `shared` is the program-wide state the upload
  // writes; `clock` times the upload's progress.
  MeterLink(LinkServices services, platform::FileSystem& fs, std::string dataPath,
            UploadSession::Shared shared, const MessageCatalogue& messages,
            const platform::Clock& clock);

  // The bytes of one receive notification, parsed in the display formats `formats`. Returns
  // the actions carried out for the message they completed (none when they completed none).
  Actions onBytes(std::string_view chunk, FormatChoice formats);
  // A line error (or a failure of the notification handler): its text, NAK, buffer emptied.
  void lineError(int code, const std::string& description);
  // The watchdog ran out.
  void onWatchdog();
  // The serial port went away: an upload in progress ends as the watchdog would end it.
  void onPortLost();
  // Closes the raw data file channel (delete, shut-down); an upload in progress ends with it.
  void closeChannel();

  // "Display last message": the last receive buffer in hexadecimal.
  std::string lastMessage() const { return lastMessageText(rx_.LastMsg()); }
  // True while an upload has its header and has not ended.
  bool uploadRunning() const;
  bool fileOpen() const { return writer_.isOpen(); }
  const ReceivePath& receivePath() const { return rx_; }
  void clearReceive() { rx_.clear(); }

  // Called when an upload has ended, inside the handler that ended it.
  void onUploadEnded(std::function<void(UploadEnd)> handler) { ended_ = std::move(handler); }

 private:
  void perform(const Actions& actions);
  // Carries out the actions of an event that may end the upload, then shows how far it came.
  void performEnding(const Actions& actions);
  // The message just parsed could not be stored: the file is back at its last whole line (the
  // writer dropped the message's lines), the session where it stood before the message, and the
  // meter hears NAK.
  void refuse(const std::string& why);
  void reply(char byte);
  // Runs one operation; a failure is shown in a message box and the caller goes on.
  template <typename F>
  void step(F&& f);
  std::chrono::milliseconds now() const;
  // Shows the progress of upload `upload` when it is the current one.
  void reportProgress(std::uint32_t upload);

  LinkServices s_;
  std::string dataPath_;
  UploadSession::Shared shared_;
  const platform::Clock& clock_;
  ReceivePath rx_;
  UploadSession session_;
  UploadWriter writer_;
  std::function<void(UploadEnd)> ended_;
  // The upload the watchdog was last armed for.
  std::uint32_t armedFor_ = 0;
  // Counts the batches of actions begun; a batch that finds it moved on (a message box let other
  // events in) leaves the file, the watchdog and the list to the newer batch.
  std::uint64_t batches_ = 0;
  // A write failure has been shown and no commit has succeeded since.
  bool writeFailureShown_ = false;
  UploadProgress progress_;
  std::chrono::milliseconds startedAt_{0};
};

}  // namespace kestrand::link
