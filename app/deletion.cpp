// "Delete" and "Delete All" on the "Incoming Data" tab: the raw data files of list entries
// removed from the data directory, with their notes and marks, and the entries from the
// catalogue and the list. The table on display stays as it is, also when it came from a deleted
// file. An upload being received goes on unless its own file is deleted.

#include <algorithm>

#include "app/files.h"
#include "app/link_controller.h"
#include "core/text.h"
#include "store/notes.h"
#include "store/upload_files.h"

namespace kestrand::app {
namespace {
const std::string kDeleteErrorTitle = "Delete Error";

// True when `name` is a file of the upload being received.
bool beingReceived(LinkController& link, const std::string& name) {
  const link::MeterLink& meter = link.meterLink();
  if (!meter.uploadRunning()) return false;
  const auto& files = meter.uploadFiles();
  return std::find(files.begin(), files.end(), name) != files.end();
}

std::string endsUploadText() {
  return kLineBreak + kLineBreak + kUploadRunningText +
         " Deleting it ends the upload: what was received stays until it is deleted, the rest "
         "stays in the meter.";
}

}  // namespace

bool Files::removeListedFile(int index) {
  const std::string& name = catalogue.FileNames[static_cast<size_t>(index)];
  const std::string path = ports::joinPath(dataPath_, name);
  const auto failed = [&](const std::string& what, const Error& e) {
    present_.ask({"The file " + what + " could not be deleted." + kLineBreak + e.description(),
                  Buttons::kOk, false, kDeleteErrorTitle});
  };
  try {
    fs_.remove(path);
  } catch (const Error& e) {
    // A file already gone is what the user asked for; one that stays keeps its entry (and its
    // notes).
    if (!e.is(ErrorKind::kFileNotFound)) {
      failed(name, e);
      return false;
    }
  }
  // The upload's notes and mark go with it; an upload without them has none to remove.
  try {
    store::removeNotes(fs_, path);
  } catch (const Error& e) {
    failed(store::notesPath(name), e);
  }
  try {
    fs_.remove(store::endedMarkPath(path));
  } catch (const Error& e) {
    if (!e.is(ErrorKind::kFileNotFound)) failed(store::endedMarkPath(name), e);
  }
  return true;
}

void Files::cmdDelete_Click(LinkController& link) {
  const int i = selected();
  if (i < 0 || i >= catalogue.NumFiles) {
    present_.ask(
        {"You must first highlight a header to delete", Buttons::kOk, false, kDeleteErrorTitle});
    return;
  }
  const std::string name = catalogue.FileNames[static_cast<size_t>(i)];
  std::string question =
      "Delete header #" + signedText(i + 1) + " and file " + name + " - are you sure?";
  if (beingReceived(link, name)) question += endsUploadText();
  if (present_.ask({question, Buttons::kYesNo, false, "Delete Header"}) == Answer::kYes) {
    // The box let other events in: the entry is found again by its name, and only the upload
    // whose file goes is ended (its file closed first).
    if (beingReceived(link, name) || !link.meterLink().uploadRunning()) link.closeChannel();
    const int at = catalogue.find(name);
    if (at >= 0 && removeListedFile(at)) removeEntry(at);
  }
  present_.genMsg().write("");
  present_.status("");
}

void Files::cmdDelete_all_Click(LinkController& link) {
  std::string question = "Are you sure you want to delete all data?";
  if (link.meterLink().uploadRunning()) question += endsUploadText();
  if (present_.ask({question, Buttons::kYesNo, false, "Delete All"}) != Answer::kYes) return;
  link.closeChannel();
  for (int i = catalogue.NumFiles - 1; i >= 0; --i) {
    if (removeListedFile(i)) removeEntry(i);
  }
  present_.status("");
}

}  // namespace kestrand::app
