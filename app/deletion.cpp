// "Delete" and "Delete All" on the "Incoming Data" tab: the raw data files of list entries
// removed from the data directory, with their notes, and the entries from the catalogue and the
// list. The table on display stays as it is, also when it came from a deleted file.

#include "app/files.h"
#include "app/link_controller.h"
#include "core/text.h"
#include "store/notes.h"

namespace kestrand::app {
namespace {
const std::string kDeleteErrorTitle = "Delete Error";
}  // namespace

bool Files::removeListedFile(int index) {
  const std::string& name = catalogue.FileNames[static_cast<size_t>(index)];
  const std::string path = platform::joinPath(dataPath_, name);
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
  // The upload's notes go with it; an upload without notes has none to remove.
  try {
    store::removeNotes(fs_, path);
  } catch (const Error& e) {
    failed(store::notesPath(name), e);
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
  const std::string question = "Delete header #" + signedText(i + 1) + " and file " +
                               catalogue.FileNames[static_cast<size_t>(i)] + " - are you sure?";
  if (present_.ask({question, Buttons::kYesNo, false, "Delete Header"}) == Answer::kYes) {
    // Every file the program holds open is closed first: an upload's too.
    link.closeChannel();
    if (removeListedFile(i)) removeEntry(i);
  }
  present_.genMsg().write("");
  present_.status("");
}

void Files::cmdDelete_all_Click(LinkController& link) {
  if (present_.ask({"Are you sure you want to delete all data?", Buttons::kYesNo, false,
                    "Delete All"}) != Answer::kYes) {
    return;
  }
  link.closeChannel();
  for (int i = catalogue.NumFiles - 1; i >= 0; --i) {
    if (removeListedFile(i)) removeEntry(i);
  }
  present_.status("");
}

}  // namespace kestrand::app
