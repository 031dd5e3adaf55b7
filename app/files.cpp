#include "app/files.h"

#include "app/document.h"
#include "store/upload_files.h"

namespace kestrand::app {
namespace {

std::string endText(link::UploadEnd end) {
  switch (end) {
    case link::UploadEnd::kWatchdog:
      return "the meter fell silent";
    case link::UploadEnd::kNoFileName:
      return "no further continuation file could be named";
    case link::UploadEnd::kPortLost:
      return "the serial port went away";
    case link::UploadEnd::kClosed:
      return "the upload was closed from the program";
    default:
      return "the upload did not end with its last message";
  }
}

}  // namespace

Files::Files(Deps deps)
    : view_(deps.view),
      present_(deps.present),
      fs_(deps.fs),
      dataPath_(std::move(deps.dataPath)),
      list_(store::FileList::Deps{catalogue, deps.probes, deps.messages, fs_, dataPath_}) {}

void Files::showDataPath() {
  view_.setLabel(ports::LabelId::kLabel1, "Data Path: " + dataPath_);
}

void Files::SearchForFiles() {
  list_.SearchForFiles([this](const store::ListUpdate& u) { show(u); });
}

bool Files::add(const store::ListedFile& file) {
  CurrentFile_ = file.CurrentFile;
  return show(list_.AddToList(file), true);
}

void Files::setStatus(const std::string& name, std::int16_t status) {
  const int i = name.empty() ? -1 : catalogue.find(name);
  if (i >= 0) {
    catalogue.FileStatus[static_cast<size_t>(i)] = status;
  } else if (name.empty()) {
    catalogue.newestStatus() = status;
  }
}

void Files::replaced(const store::ReplacedUpload& moved) {
  for (const std::string& name : moved.names) {
    const int i = catalogue.find(name);
    if (i >= 0) removeEntry(i);
  }
  present_.genMsg().ShowGeneralMsg("The earlier upload " + moved.names.front() + " was moved to " +
                                   moved.folder);
}

void Files::ended(link::UploadEnd end, const std::vector<std::string>& files) {
  using link::UploadEnd;
  if (end == UploadEnd::kLastMessage || end == UploadEnd::kNoHeader) return;
  for (const std::string& name : files) {
    const int i = catalogue.find(name);
    if (i >= 0 && catalogue.FileStatus[static_cast<size_t>(i)] == store::kComplete)
      catalogue.FileStatus[static_cast<size_t>(i)] = store::kHeaderOnly;
    try {
      store::markEndedEarly(fs_, ports::joinPath(dataPath_, name), endText(end));
    } catch (const Error& e) {
      present_.genMsg().ShowGeneralMsg(
          "The upload " + name + " ended early; its mark could not be written: " + e.description());
    }
  }
}

bool Files::show(const store::ListUpdate& update, bool queued) {
  if (update.box) {
    if (queued) {
      present_.queueBox(*update.box);
    } else {
      present_.ask(*update.box);
    }
  }
  if (!update.added()) return false;
  view_.listAdd(update.entry);
  present_.genMsg().ShowGeneralMsg(update.generalMessage);
  return true;
}

int Files::selected() const {
  return view_.listSelected();
}

void Files::Show_list_status(int choice, Document& doc) {
  list_.Show_list_status(selected(), choice,
                         {[this](const std::string& text) { present_.status(text); },
                          [this, &doc](const std::string& name) {
                            CurrentFile_ = name;
                            doc.ReadRawDataFile(name, dataPath_);
                          },
                          [&doc] { doc.UpdateDataTable(); }});
}

void Files::removeEntry(int index) {
  catalogue.removeEntry(index);
  view_.listRemove(index);
}

}  // namespace kestrand::app
