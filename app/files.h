#pragma once
// The raw data files of the data directory as the program lists them: the data path, the file
// catalogue behind the file list `List1`, the list itself with its status texts, and deletion
// ("Delete" and "Delete All", in deletion.cpp). The list and the "Data Path: " label are written
// here only.

#include <cstdint>
#include <string>

#include "app/main_view.h"
#include "app/presenter.h"
#include "core/messages.h"
#include "link/meter_link.h"
#include "ports/file_system.h"
#include "store/catalogue.h"
#include "store/header.h"
#include "store/probe_table.h"

namespace kestrand::app {

// Said before a command ends the upload being received.
inline const std::string kUploadRunningText = "An upload is being received from the meter.";

class Document;
class LinkController;

// The list's owner. The upload in progress tells it of its files through link::UploadList, as
// values; it never reads or writes the upload's own state.
class Files : public link::UploadList {
 public:
  struct Deps {
    ports::MainView& view;  // the file list and the data path label
    Presenter& present;
    ports::FileSystem& fs;
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
  // A file of the upload in progress: added to the catalogue and the list; a list that cannot
  // take it says so in a box shown after the link's handler. True when it was added.
  bool add(const store::ListedFile& file) override;
  void setStatus(const std::string& name, std::int16_t status) override;
  // The entries of the moved files leave the list, and the general message says where they went.
  void replaced(const store::ReplacedUpload& moved) override;
  // An upload that ended early marks its files (beside them, so a restart lists them as not
  // complete too) and their entries.
  void ended(link::UploadEnd end, const std::vector<std::string>& files) override;
  // The list entry selected; -1 for none.
  int selected() const;
  // A click (choice 0) or a view (choice 1) of the selected entry: its status, or its file read
  // into `doc` and shown. Throws the catalogue's error when nothing is selected.
  void Show_list_status(int choice, Document& doc);

  // "Delete": the selected entry's file, after a question. Another upload's file being received
  // goes on; deleting the upload being received ends it first, as the watchdog would, after a
  // question that says so.
  void cmdDelete_Click(LinkController& link);
  // "Delete All": every listed file, after a question (that says an upload being received ends).
  void cmdDelete_all_Click(LinkController& link);

  const std::string& DataPath() const { return dataPath_; }
  // The bare name of the raw data file last viewed or last listed by an upload: the name "Save
  // as" proposes. Empty when there is none yet.
  const std::string& CurrentFile() const { return CurrentFile_; }

  store::FileCatalogue catalogue;

 private:
  // The update's message box (`queued`: shown after the handler that made it), or its entry
  // appended to the list and its general message. True when an entry was added.
  bool show(const store::ListUpdate& update, bool queued = false);
  // Removes listed file `index` from the data directory, with its notes; a file that stays is
  // reported. True when the file is gone.
  bool removeListedFile(int index);
  // Removes entry `index` from the catalogue and the list.
  void removeEntry(int index);

  ports::MainView& view_;
  Presenter& present_;
  ports::FileSystem& fs_;
  std::string dataPath_;
  std::string CurrentFile_;
  store::FileList list_;
};

}  // namespace kestrand::app
