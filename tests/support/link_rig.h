#pragma once
// The link below the program: receive path, upload session and upload writer over a file system
// of the caller's choosing, with a plain loop that carries out the session's file, answer and
// list actions and keeps the rest for inspection. Shared by the link tests, the receive fuzzer
// and the link benchmark.

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/messages.h"
#include "link/receive_path.h"
#include "link/upload_session.h"
#include "link/upload_writer.h"
#include "platform/file_system.h"
#include "store/header.h"

namespace kestrand::testing {

struct LinkRig {
  LinkRig(platform::FileSystem& files, std::string dataDir)
      : dataPath(std::move(dataDir)), writer(files) {}

  std::string dataPath;
  store::HeaderFields header;
  std::int16_t ElapsedMode = 0;
  std::string CurrentFile, ListDate, ListTime;
  MessageCatalogue messages;
  link::ReceivePath rx;
  link::UploadSession session{{header, ElapsedMode, CurrentFile, ListDate, ListTime}, messages};
  link::UploadWriter writer;
  platform::LocalTime now{2026, 12, 5, 10, 0, 0, 36000.0};
  link::FormatChoice formats;
  bool listFull = false;  // list additions fail

  std::string replies;
  std::vector<std::string> listed, boxes;
  std::optional<std::int64_t> watchdogDue;  // milliseconds on `clockMs`
  std::int64_t clockMs = 0;

  // One notification's bytes; returns the actions of the message they complete, if any.
  link::Actions deliver(std::string_view chunk) {
    const link::RxOutcome out = rx.onChunk(chunk);
    if (out.kind == link::RxOutcome::Kind::kEnquiry) replies += link::kAck;
    if (out.kind != link::RxOutcome::Kind::kMessage && out.kind != link::RxOutcome::Kind::kTooLong)
      return {};
    session.noteTerminator(out.terminator);
    if (out.kind == link::RxOutcome::Kind::kTooLong) {
      lineError();
      return {};
    }
    link::Actions actions = session.ParseMsg(rx.message(), now, formats);
    perform(actions);
    return actions;
  }
  void lineError() {
    replies += link::kNak;
    rx.clear();
  }
  // Time passes; the watchdog fires when its ten seconds are up.
  void advance(std::int64_t ms) {
    clockMs += ms;
    if (watchdogDue && *watchdogDue <= clockMs) {
      watchdogDue.reset();
      perform(session.onWatchdog(armedFor));
    }
  }

  // As the program does: a file that cannot be created or written refuses the message.
  void perform(const link::Actions& actions) {
    using K = link::Action::Kind;
    for (const link::Action& a : actions) {
      try {
        if (a.kind == K::kReply) replies += a.byte;
        if (a.kind == K::kCommit) writer.commit();
        if (a.kind == K::kCloseFile) writer.close();
        if (a.kind == K::kWriteLine) writer.writeLine(a.text);
        if (a.kind == K::kArmWatchdog) watchdogDue = clockMs + a.ms, armedFor = a.upload;
        if (a.kind == K::kStopWatchdog) watchdogDue.reset();
        if (a.kind == K::kClearReceive) rx.clear();
        if (a.kind == K::kMessageBox) boxes.push_back(a.text);
        if (a.kind == K::kCreateFile) create(a.text);
        if (a.kind == K::kAddToList && (!a.onlyIfPending || session.state().ListPending) &&
            !listFull) {
          listed.push_back(a.text);
          session.listAdded();
        }
      } catch (const std::exception& e) {
        if (a.kind == K::kCommit || a.kind == K::kCreateFile) {
          writer.discardPending();
          if (session.refused()) try {
              writer.close();
            } catch (const std::exception&) {
            }
          replies += link::kNak;
        }
        boxes.push_back(e.what());
        if (a.kind == K::kCommit || a.kind == K::kCreateFile) return;
      }
    }
  }
  void create(const std::string& name) {
    try {
      writer.create(platform::joinPath(dataPath, name));
    } catch (const std::exception&) {
      session.fileCreateFailed();
      throw;
    }
  }
  std::uint32_t armedFor = 0;
};

}  // namespace kestrand::testing
