#pragma once
// The catalogue of raw data files behind the file list: bare names and statuses, the entry
// texts, the start-up search of the data directory, and the status and view commands.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/messages.h"
#include "platform/file_system.h"
#include "platform/main_view.h"
#include "platform/message_box.h"
#include "store/header.h"
#include "store/probe_table.h"

namespace kestrand::store {

inline constexpr int kMaxFiles = 100;

enum FileStatusCode : std::int16_t {
  kHeaderOnly = 1,  // header received, data not complete
  kComplete = 2,    // complete block of data
  kNoHeader = 3,    // data received with no header
};

struct FileCatalogue {
  std::array<std::string, kMaxFiles + 1> FileNames;
  std::array<std::int16_t, kMaxFiles + 1> FileStatus{};
  std::int16_t NumFiles = 0;
  std::string CurrentFile;
  std::string ListDate;
  std::string ListTime;

  // The newest entry's status slot (entry 0 when the list is empty).
  std::int16_t& newestStatus() { return FileStatus[NumFiles > 0 ? NumFiles - 1 : 0]; }
};

// The entry text of one file: date, time, probe, mode, log rate, units, file name.
std::string listEntryText(const std::string& listDate, const std::string& listTime,
                          std::int16_t probeType, const std::string& modelName,
                          std::string_view modeName, std::int16_t logRate,
                          const std::string& unitsText, const std::string& fileName);

// "Status for Header # n = ..." for status 1, 2 or 3 of entry `index` (0-based); empty for
// another status.
std::string statusText(int index, std::int16_t status);

class FileList {
 public:
  struct Deps {
    FileCatalogue& catalogue;
    HeaderFields& header;
    const ProbeTable& probes;
    const MessageCatalogue& messages;
    platform::MainView& view;
    platform::MessageBox& box;
    platform::FileSystem& fs;
    std::string dataPath;
    std::function<void(const std::string&)> showGeneralMsg;
  };
  explicit FileList(Deps deps) : d_(std::move(deps)) {}

  // Adds `CurrentFile` with the current header fields; false (after a message box) when the
  // list is full. `extLogMode` names mode 0 of elapsed-time uploads.
  bool AddToList(std::int16_t extLogMode);
  // Lists the first 100 raw data files of the data directory.
  void SearchForFiles();
  void LoadFiletoList(const std::string& filename);
  // The steps of viewing a file, provided by the reader and the grid.
  struct ViewSteps {
    std::function<void(const std::string&)> ReadRawDataFile;
    std::function<void()> UpdateDataTable;
  };
  // choice 1: view the selected entry; other values: show its status only. Throws the
  // catalogue's "select an item" error (after its message box) when nothing is selected.
  void Show_list_status(int choice, const ViewSteps& steps);

 private:
  Deps d_;
};

}  // namespace kestrand::store
