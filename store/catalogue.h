#pragma once
// The catalogue of raw data files behind the file list: bare names and statuses, the entry
// texts, the start-up search of the data directory, and the status and view commands.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/box_request.h"
#include "core/messages.h"
#include "ports/file_system.h"
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

  // Removes entry `index`: the entries after it move up one place, name and status together.
  void removeEntry(int index);
  // The entry of file `name`, -1 when it is not listed.
  int find(const std::string& name) const;

  // The newest entry's status slot (entry 0 when the list is empty).
  std::int16_t& newestStatus() { return FileStatus[NumFiles > 0 ? NumFiles - 1 : 0]; }
};

// What a list entry is made of: the file's bare name, the date and time its list entry shows,
// and the header fields the entry names. A value: the upload in progress and the list loader
// each hand over their own.
struct ListedFile {
  std::string CurrentFile;
  std::string ListDate;
  std::string ListTime;
  std::int16_t ProbeType = 0;
  std::int16_t LogMode = 0;
  std::int16_t LogRate = 0;
  std::int16_t UnitsCode = 0;
  std::int16_t ExtLogMode = 0;  // names mode 0 of elapsed-time uploads
  bool operator==(const ListedFile&) const = default;
};

// The entry text of one file: date, time, probe, mode, log rate, units, file name.
std::string listEntryText(const std::string& listDate, const std::string& listTime,
                          std::int16_t probeType, const std::string& modelName,
                          std::string_view modeName, std::int16_t logRate,
                          const std::string& unitsText, const std::string& fileName);

// "Status for Header # n = ..." for status 1, 2 or 3 of entry `index` (0-based); empty for
// another status.
std::string statusText(int index, std::int16_t status);

// What listing one file comes to, for the caller to show: either a message box (the file was
// rejected, the list is full, too many files) or the new entry's text, to append to the file
// list, with the general message that counts the entries.
struct ListUpdate {
  std::optional<BoxRequest> box;
  std::string entry;
  std::string generalMessage;

  bool added() const { return !entry.empty(); }
};

class FileList {
 public:
  struct Deps {
    FileCatalogue& catalogue;
    const ProbeTable& probes;
    const MessageCatalogue& messages;
    ports::FileSystem& fs;
    std::string dataPath;
  };
  explicit FileList(Deps deps) : d_(std::move(deps)) {}

  // Adds `file` to the catalogue, or returns the list-full message.
  ListUpdate AddToList(const ListedFile& file);
  // Lists the first 100 raw data files of the data directory, handing what each one comes to
  // (and the too-many-files message) to `show` as it goes.
  void SearchForFiles(const std::function<void(const ListUpdate&)>& show);
  // Lists one file from its head: the header lines and the first record line. Only the head is
  // read, however long the file. A file whose upload ended early (a mark beside it) is listed
  // as not complete.
  ListUpdate LoadFiletoList(const std::string& filename);
  // The steps of viewing a file: the status label, the reader and the grid.
  struct ViewSteps {
    std::function<void(const std::string&)> status;
    std::function<void(const std::string&)> ReadRawDataFile;  // reports its own failures
    std::function<void()> UpdateDataTable;
  };
  // For the list entry `selected` (-1 for none), choice 1: view it (also an upload that ended
  // early, after its status); other values: show its status only. Throws the catalogue's "select
  // an item" error when nothing is selected.
  void Show_list_status(int selected, int choice, const ViewSteps& steps);

 private:
  Deps d_;
};

}  // namespace kestrand::store
