#include "app/files.h"

#include "app/document.h"

namespace kestrand::app {

Files::Files(Deps deps)
    : view_(deps.view),
      present_(deps.present),
      fs_(deps.fs),
      dataPath_(std::move(deps.dataPath)),
      list_(store::FileList::Deps{catalogue, deps.header, deps.probes, deps.messages, fs_,
                                  dataPath_}) {}

void Files::showDataPath() {
  view_.setLabel(platform::LabelId::kLabel1, "Data Path: " + dataPath_);
}

void Files::SearchForFiles() {
  list_.SearchForFiles([this](const store::ListUpdate& u) { show(u); });
}

bool Files::AddToList(std::int16_t extLogMode) {
  return show(list_.AddToList(extLogMode));
}

bool Files::show(const store::ListUpdate& update) {
  if (update.box) present_.ask(*update.box);
  if (!update.added()) return false;
  view_.listAdd(update.entry);
  present_.genMsg().ShowGeneralMsg(update.generalMessage);
  return true;
}

int Files::selected() const {
  return view_.listSelected();
}

void Files::Show_list_status(int choice, Document& doc) {
  list_.Show_list_status(
      selected(), choice,
      {[this](const std::string& text) { present_.status(text); },
       [this, &doc](const std::string& name) { doc.ReadRawDataFile(name, dataPath_); },
       [&doc] { doc.UpdateDataTable(); }});
}

void Files::removeEntry(int index) {
  catalogue.removeEntry(index);
  view_.listRemove(index);
}

}  // namespace kestrand::app
