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
#include <vector>

#include "core/messages.h"
#include "link/receive_path.h"
#include "link/upload_session.h"
#include "link/upload_writer.h"
#include "ports/clock.h"
#include "ports/file_system.h"
#include "store/upload_files.h"

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
  // A box with OK and the error title, shown after the handler that raised it has returned,
  // never inside it (the link goes on while it is open); one raised while another is open waits
  // for it.
  virtual void errorNotice(const std::string& text) = 0;
  virtual void busy(bool on) = 0;  // the window's pointer
  virtual void progress(const UploadProgress& p) = 0;
};

// The file list as the upload fills it.
class UploadList {
 public:
  virtual ~UploadList() = default;
  // Lists a file of the upload; false when the list cannot take it.
  virtual bool add(const store::ListedFile& file) = 0;
  // The entry of file `name` (the newest entry when `name` is empty) gets `status`.
  virtual void setStatus(const std::string& name, std::int16_t status) = 0;
  // An earlier upload of the new upload's name was moved aside before its file was created.
  virtual void replaced(const store::ReplacedUpload& moved) = 0;
  // The upload that wrote `files` ended for reason `end`.
  virtual void ended(UploadEnd end, const std::vector<std::string>& files) = 0;
};

struct LinkServices {
  Replies& replies;
  LinkTimers& timers;
  LinkDisplay& display;
  UploadList& list;
};

class MeterLink {
 public:
  // The upload's files go to `dataPath` on `fs`; `clock` times the upload's progress and names
  // the folder of a replaced upload.
  MeterLink(LinkServices services, ports::FileSystem& fs, std::string dataPath,
            const MessageCatalogue& messages, const ports::Clock& clock);

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
  // The raw data files the upload in progress (or the last one) created, its first file first.
  const std::vector<std::string>& uploadFiles() const { return session_.state().files; }
  // The upload in progress (or the last one), as the session keeps it: read-only.
  const UploadFields& upload() const { return session_.fields(); }
  const ReceivePath& receivePath() const { return rx_; }
  void clearReceive() { rx_.clear(); }

  // Called when an upload has ended, inside the handler that ended it.
  void onUploadEnded(std::function<void(UploadEnd)> handler) { ended_ = std::move(handler); }

 private:
  void perform(const Actions& actions);
  // The actions on the upload's file; false when the message was refused (a failed create,
  // write or sync).
  bool performOnFile(const Action& a);
  // The answer, the watchdog and the texts; the list's actions go on to performOnList.
  void performOnDisplay(const Action& a);
  void performOnList(const Action& a);
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

  // Creates the file of `a`, moving an earlier upload of a new upload's name aside first.
  void createFile(const Action& a);

  LinkServices s_;
  ports::FileSystem& fs_;
  std::string dataPath_;
  const ports::Clock& clock_;
  ReceivePath rx_;
  UploadSession session_;
  UploadWriter writer_;
  std::function<void(UploadEnd)> ended_;
  // The upload the watchdog was last armed for.
  std::uint32_t armedFor_ = 0;
  // A write failure has been shown and no commit has succeeded since.
  bool writeFailureShown_ = false;
  UploadProgress progress_;
  std::chrono::milliseconds startedAt_{0};
};

}  // namespace kestrand::link
