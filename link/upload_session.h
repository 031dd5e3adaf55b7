#pragma once
// One upload as the meter sends it, without any I/O: each parsed message (and each expiry of
// the watchdog) goes in, and out comes what it amounts to, as an ordered list of actions for the
// caller to carry out: the answer, the raw file lines and when they must be synced, the file to
// create or close, the texts to show, the list entries and statuses, the watchdog and the end of
// the upload. The session learns the outcome of the file and list operations it asked for from
// the caller.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/messages.h"
#include "datetime/datetime.h"
#include "link/decode.h"
#include "link/receive_path.h"
#include "ports/clock.h"
#include "store/catalogue.h"
#include "store/header.h"

namespace kestrand::link {

inline constexpr int kWatchdogMs = 10000;

// How an upload came to its end (kClosed: its file was closed from outside, by a delete or at
// shut-down).
enum class UploadEnd { kLastMessage, kWatchdog, kNoFileName, kNoHeader, kPortLost, kClosed };

struct Action {
  enum class Kind {
    kReply,          // send `byte` (ACK or NAK)
    kCommit,         // the lines so far must be written and synced before what follows; when
                     // they cannot be, the message is refused (see UploadSession::refused)
    kCreateFile,     // close any open file, then create and open `text`, a bare name; for a
                     // header (`newUpload`), an earlier upload of that name is moved aside
                     // first
    kCloseFile,      // commit and close the open file; nothing when none is open
    kWriteLine,      // `text`: one line of the raw data file with its line end
    kArmWatchdog,    // (re)start the watchdog for `ms` milliseconds, for upload `upload`
    kStopWatchdog,   // stop the watchdog
    kNormalPointer,  // the window's pointer returns to normal
    kClearReceive,   // the receive buffer is emptied
    kStatus,         // the status label shows `text`
    kGeneralMsg,     // the general message label shows `text` for five seconds
    kNotice,         // the general message label shows `text`, cleared after `ms`
    kMessageBox,     // `text` with an OK button and the error title
    kAddToList,      // list `entry`
    kSetStatus,      // the list entry of file `text` (the newest entry when `text` is empty)
                     // gets status `status`
    kUploadEnded,    // the upload ended for reason `end`; `files` are the files it wrote
  };
  Kind kind = Kind::kReply;
  std::string text;
  char byte = 0;
  int ms = 0;
  // kAddToList: what the entry shows.
  store::ListedFile entry;
  // kAddToList only: the entry is added only while the upload is still waiting to be listed.
  bool onlyIfPending = false;
  // kCreateFile: the first file of a new upload (not a continuation file).
  bool newUpload = false;
  // kUploadEnded: the bare names of the raw data files the upload created.
  std::vector<std::string> files;
  std::int16_t status = 0;
  // Every action: the upload that was current when the message was parsed.
  std::uint32_t upload = 0;
  UploadEnd end = UploadEnd::kLastMessage;
};
using Actions = std::vector<Action>;

// What the session keeps between the messages of one upload.
struct UploadState {
  bool BlockPending = false;
  std::int16_t ExtLogMode = 0;
  bool HeaderReceived = false;
  bool ListPending = false;
  std::int32_t RecordsInFile = 0;
  std::int32_t RecordsTotal = 0;    // received and stored
  std::int32_t RecordsRefused = 0;  // sent once no file was left for them
  // The instant the upload's first file starts at, from which continuation starts are counted.
  datetime::Instant startInstant;
  // Set when no further continuation file can be named: later records are not stored.
  bool exhausted = false;
  // The upload has ended (its last message, the watchdog, no further file name, the port lost,
  // shut-down): its data is refused.
  bool ended = false;
  // The upload's file could not be created or its header lines not stored: its data is refused
  // while the upload otherwise runs its course.
  bool fileFailed = false;
  // The file the session last asked for is open (created and not closed since).
  bool fileOpen = false;
  // Counts headers: the upload a watchdog was armed for.
  std::uint32_t upload = 0;
  // Units code of the last record decoded, for the list entry of the upload's first file.
  std::int16_t lastUnits = 0;
  // The raw data files the upload has created, its first file first.
  std::vector<std::string> files;
};

// The upload in progress as the meter describes it: the header fields, the file being written
// and what its list entry shows. Written by the session alone; the program reads it.
struct UploadFields {
  store::HeaderFields header;
  // 1 when the last header received was of an elapsed-time upload.
  std::int16_t ElapsedMode = 0;
  std::string CurrentFile;  // bare name of the raw data file being written
  std::string ListDate;
  std::string ListTime;
};

// The user's display formats in force for one message.
struct FormatChoice {
  int date = 3;
  int time = 1;
};

class UploadSession {
 public:
  explicit UploadSession(const MessageCatalogue& messages) : messages_(messages) {}

  // The terminator the receive path found: DLE EOT ends the upload's messages, DLE ETB says
  // more follow, DLE ETX leaves it as it is.
  void noteTerminator(Terminator t);
  // The parser: one message as cut out of the receive buffer (still stuffed), parsed at `now`.
  Actions ParseMsg(const Message& cut, const ports::LocalTime& now, FormatChoice formats);
  // The watchdog armed for `upload` ran out; nothing when that upload is no longer current and
  // running.
  Actions onWatchdog(std::uint32_t upload);
  // The serial port went away: an upload in progress ends as the watchdog would end it, with
  // its message box but without an answer (there is no line to send it on).
  Actions onPortLost();

  // Outcomes of the operations asked for.
  void fileCreateFailed() { up_.fileOpen = false; }
  // The lines of the message last parsed could not be stored (a failed create, write or sync)
  // and it is answered with NAK: the session goes back to where it stood before that message,
  // so the message sent again is counted and written once. A refused header still starts its
  // upload, as one whose file failed. A message refused after it opened a continuation file
  // (its records up to the split are stored in the earlier, closed file) also starts again from
  // before the message: sent again, its records up to the split go to the continuation file's
  // writer, which the split then replaces with the file created anew, so each record is stored
  // once. True when the refused message was a header (its file is to be closed).
  bool refused();
  // The file was closed from outside the upload (shut-down).
  void fileClosed() {
    up_.fileOpen = false;
    up_.ended = true;
  }
  void listAdded() { up_.ListPending = false; }

  const UploadState& state() const { return up_; }
  const UploadFields& fields() const { return f_; }

 private:
  void header(const Message& m, const ports::LocalTime& now, FormatChoice f, Actions& out);
  // The parts of a header's work: a new upload counted and its watchdog armed; the header's
  // fields taken, and the date and time the upload's file is named by handed back.
  void beginUpload(Actions& out);
  std::string takeHeader(const HeaderMsg& msg, const ports::LocalTime& now);
  void data(const Message& m, const ports::LocalTime& now, FormatChoice f, Actions& out);
  // Data before any header: the newest entry marked, NAK, then ACK.
  void dataWithoutUpload(Actions& out);
  // The message's records written to the upload's files, continuation files opened as they fill
  // (their list entries collected in `listings`); false when no further file could be named.
  bool storeRecords(const Message& m, const ports::LocalTime& now, FormatChoice f, Actions& out,
                    Actions& listings);
  void writeRecord(const DataRecord& r, const ports::LocalTime& now, FormatChoice f, Actions& out);
  // False when no further file can be named.
  bool Next_file(const std::optional<std::uint32_t>& recordStamp, const ports::LocalTime& now,
                 FormatChoice f, Actions& out);
  void createFile(const std::string& name, Actions& out, bool newUpload = false);
  std::int16_t fileModeCode() const;

  // Everything a message may change, as it stood before the message.
  struct Snapshot {
    UploadState up;
    UploadFields fields;
  };

  void refuseData(const std::string& why, Actions& out);
  Action listAction(std::int16_t units) const;
  Action endedAction(UploadEnd why) const;

  UploadFields f_;
  const MessageCatalogue& messages_;
  UploadState up_;
  Snapshot before_;
  bool lastWasHeader_ = false;
};

// The status text of a message's terminator before it is parsed ("Got message size = ..." or
// "Receiving Associated Data"); empty for another terminator.
std::string terminatorStatus(Terminator t, std::size_t bufferLength);

}  // namespace kestrand::link
