#pragma once
// The raw data files of the data directory as the program lists them: the data path, the file
// catalogue behind the file list `List1`, the list itself with its status texts, and deletion
// ("Delete" and "Delete All", in deletion.cpp). The list and the "Data Path: " label are written
// here only.

#include <cstdint>
#include <string>

#include "app/presenter.h"
#include "core/messages.h"
#include "platform/file_system.h"
#include "platform/main_view.h"
#include "store/catalogue.h"
#include "store/header.h"
#include "store/probe_table.h"

namespace kestrand::app {

class Document;
class LinkController;

class Files {
 public:
  struct Deps {
    platform::MainView& view;  // the file list and the data path label
    Presenter& present;
    platform::FileSystem& fs;
    store::HeaderFields& header;  // the list loader reads each file's header into them
    const store::ProbeTable& probes;
    const MessageCatalogue& messages;
    std::string dataPath;
  };
  explicit Files(Deps deps);
  Files(const Files&) = delete;
  Files& operator=(const Files&) = delete;

  // "Data Path: " followed by the data directory, in its label `Label1`.
  void showDataPath();
  // Lists the first 100 raw data files of the data directory.
  void SearchForFiles();
  // Adds the current file to the catalogue and the list and shows the outcome; true when it was
  // added.
  bool AddToList(std::int16_t extLogMode);
  // The list entry selected; -1 for none.
  int selected() const;
  // A click (choice 0) or a view (choice 1) of the selected entry: its status, or its file read
  // into `doc` and shown. Throws the catalogue's error when nothing is selected.
  void Show_list_status(int choice, Document& doc);

  // "Delete": the selected entry's file, after a question; `link` closes an upload's file first.
  void cmdDelete_Click(LinkController& link);
  // "Delete All": every listed file, after a question.
  void cmdDelete_all_Click(LinkController& link);

  const std::string& DataPath() const { return dataPath_; }

  store::FileCatalogue catalogue;

 private:
  // The update's message box, or its entry appended to the list and its general message. True
  // when an entry was added.
  bool show(const store::ListUpdate& update);
  // Removes listed file `index` from the data directory, with its notes; a file that stays is
  // reported. True when the file is gone.
  bool removeListedFile(int index);
  // Removes entry `index` from the catalogue and the list.
  void removeEntry(int index);

  platform::MainView& view_;
  Presenter& present_;
  platform::FileSystem& fs_;
  std::string dataPath_;
  store::FileList list_;
};

}  // namespace kestrand::app
