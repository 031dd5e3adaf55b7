#pragma once
// The program's meter link (link::MeterLink, the loop the program runs) wired to recording
// fakes over a file system of the caller's choosing: the answers, texts, boxes, list entries and
// progress are kept for inspection; the watchdog is a fake timer on a fake clock. Shared by the
// link tests, the receive fuzzer and the link benchmark.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/messages.h"
#include "link/meter_link.h"
#include "platform/fake/fake_timers.h"
#include "platform/fake/fakes.h"
#include "store/header.h"

namespace kestrand::testing {

struct LinkRig : link::Replies, link::LinkTimers, link::LinkDisplay, link::UploadList {
  LinkRig(platform::FileSystem& files, const std::string& dataDir)
      : link({*this, *this, *this, *this}, files, dataDir,
             {header, ElapsedMode, CurrentFile, ListDate, ListTime}, messages, clock) {
    watchdog->onTick([this] {
      watchdog->setInterval(0);
      link.onWatchdog();
    });
    timers.onTimePassed = [this](std::int64_t ms) { clock.advanceSeconds(static_cast<double>(ms) / 1000.0); };
  }

  // One notification's bytes; returns the actions of the message they complete, if any.
  link::Actions deliver(std::string_view chunk) { return link.onBytes(chunk, formats); }
  // Time passes; the watchdog fires when its ten seconds are up.
  void advance(std::int64_t ms) { timers.advance(ms); }

  void send(char byte) override { replies += byte; }
  void armWatchdog(int ms) override {
    watchdog->setEnabled(false);
    watchdog->setInterval(ms);
    watchdog->setEnabled(true);
  }
  void stopWatchdog() override { watchdog->setEnabled(false); }
  void startStatusTimer() override {}
  void status(const std::string& text) override { statusText = text; }
  void generalMessage(const std::string& text) override { general = text; }
  void notice(const std::string& text, int) override { general = text; }
  void errorBox(const std::string& text) override { boxes.push_back(text); }
  void busy(bool on) override { busyPointer = on; }
  void progress(const link::UploadProgress& p) override { lastProgress = p; }
  bool add(std::int16_t) override {
    if (listFull) return false;
    listed.push_back(CurrentFile);
    return true;
  }
  void setNewestStatus(std::int16_t status) override { newestStatus = status; }

  store::HeaderFields header;
  std::int16_t ElapsedMode = 0;
  std::string CurrentFile, ListDate, ListTime;
  MessageCatalogue messages;
  platform::fake::FakeClock clock;
  platform::fake::FakeTimerHub timers;
  std::unique_ptr<platform::Timer> watchdog = timers.createTimer();
  link::FormatChoice formats;
  bool listFull = false;  // list additions fail

  std::string replies, statusText, general;
  std::vector<std::string> listed, boxes;
  bool busyPointer = false;
  std::int16_t newestStatus = 0;
  std::optional<link::UploadProgress> lastProgress;

  link::MeterLink link;  // last: built on the members above
};

}  // namespace kestrand::testing
