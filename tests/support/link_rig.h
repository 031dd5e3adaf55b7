#pragma once
// The meter link alone (link::MeterLink and the layers below it), over a file system of the
// caller's choosing, with plain fakes for what it drives: the replies are recorded, the watchdog
// is a fake timer (timers.advance(ms) lets it run out), the display records its texts and boxes,
// and the list is the store's file list over its own catalogue. Shared by the link's tests, its
// fuzzer and its benchmark.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/messages.h"
#include "link/meter_link.h"
#include "store/catalogue.h"
#include "store/probe_table.h"
#include "tests/fakes/fake_timers.h"
#include "tests/fakes/fakes.h"

namespace kestrand::testing {

// Every byte sent; `onSend` sees each before it is recorded.
struct RecordedReplies : link::Replies {
  void send(char byte) override {
    if (onSend) onSend(byte);
    written.push_back(byte);
  }
  std::string written;
  std::function<void(char)> onSend;
};

// The watchdog on a fake timer; the status timer not run.
struct HubTimers : link::LinkTimers {
  explicit HubTimers(ports::fake::FakeTimerHub& hub) : watchdog(hub.createTimer()) {
    watchdog->setInterval(0);
  }
  void armWatchdog(int ms) override {
    watchdog->setEnabled(false);
    watchdog->setInterval(ms);
    watchdog->setEnabled(true);
  }
  void stopWatchdog() override { watchdog->setEnabled(false); }
  void startStatusTimer() override {}

  std::unique_ptr<ports::Timer> watchdog;
};

// The boxes and the last progress recorded; the other texts dropped.
struct RecordedDisplay : link::LinkDisplay {
  void status(const std::string&) override {}
  void generalMessage(const std::string&) override {}
  void notice(const std::string&, int) override {}
  void errorNotice(const std::string& text) override {
    boxes.push_back(text);
    if (onBox) onBox(text);
  }
  void busy(bool) override {}
  void progress(const link::UploadProgress& p) override { lastProgress = p; }

  std::vector<std::string> boxes;
  std::function<void(const std::string&)> onBox;  // told of each box as it is raised
  std::optional<link::UploadProgress> lastProgress;
};

// The store's file list over its own catalogue; a box the list raises is recorded as one of
// the display's.
struct CatalogueList : link::UploadList {
  CatalogueList(ports::FileSystem& fs, const std::string& dataDir, RecordedDisplay& display)
      : display_(display), list_({catalogue, probes, messages, fs, dataDir}) {
    probes.InitProbeTable();
  }
  bool add(const store::ListedFile& file) override {
    const store::ListUpdate u = list_.AddToList(file);
    if (u.box) display_.errorNotice(u.box->text);
    if (u.added()) entries.push_back(u.entry);
    return u.added();
  }
  void setStatus(const std::string& name, std::int16_t status) override {
    const int i = name.empty() ? -1 : catalogue.find(name);
    if (i >= 0) catalogue.FileStatus[static_cast<std::size_t>(i)] = status;
    if (name.empty()) catalogue.newestStatus() = status;
  }
  void replaced(const store::ReplacedUpload&) override {}
  void ended(link::UploadEnd, const std::vector<std::string>&) override {}
  // The entry texts of a fresh search of the data directory.
  std::vector<std::string> rescan() {
    std::vector<std::string> texts;
    list_.SearchForFiles([&](const store::ListUpdate& u) {
      if (u.added()) texts.push_back(u.entry);
    });
    return texts;
  }

  store::FileCatalogue catalogue;
  store::ProbeTable probes;
  const MessageCatalogue messages;
  std::vector<std::string> entries;

 private:
  RecordedDisplay& display_;
  store::FileList list_;
};

// The link on `fs`, writing into `dataDir`, at the fake clock's time (5 December 2026, 10:00).
struct LinkRig {
  LinkRig(ports::FileSystem& fs, const std::string& dataDir)
      : list(fs, dataDir, display),
        link({replies, watchdog, display, list}, fs, dataDir, messages, clock) {
    watchdog.watchdog->onTick([this] {
      watchdog.watchdog->setInterval(0);
      link.onWatchdog();
    });
  }
  link::Actions deliver(std::string_view bytes) { return link.onBytes(bytes, formats); }

  const MessageCatalogue messages;
  ports::fake::FakeClock clock;
  ports::fake::FakeTimerHub timers;
  RecordedReplies replies;
  HubTimers watchdog{timers};
  RecordedDisplay display;
  CatalogueList list;
  link::FormatChoice formats;
  link::MeterLink link;
};

}  // namespace kestrand::testing
