#include "store/catalogue.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/text.h"
#include "store/field_reader.h"
#include "store/header_block.h"
#include "store/upload_files.h"

namespace kestrand::store {
namespace {

// Right-aligns `text` in a field of `width` characters; a longer text is kept whole.
std::string rightAligned(const std::string& text, size_t width) {
  if (text.size() >= width) return text;
  return std::string(width - text.size(), ' ') + text;
}

std::string headerErrorText(const std::string& name) {
  return "File: " + name + kLineBreak + kLineBreak +
         "An error has been found in its header description." + kLineBreak +
         "It will not be included in the list of available files.";
}

}  // namespace

std::string listEntryText(const std::string& listDate, const std::string& listTime,
                          std::int16_t probeType, const std::string& modelName,
                          std::string_view modeName, std::int16_t logRate,
                          const std::string& unitsText, const std::string& fileName) {
  std::string s = rightAligned(listDate, 10);
  s += ' ';
  s += rightAligned(listTime, probeType >= 16 ? 2 : 11);
  s += "   Probe ";
  s += modelName;
  s += "   ";
  s += modeName;
  s += "   Log Rate ";
  s += signedText(logRate);
  s += "   Units ";
  s += unitsText;
  s += "      ";
  s += fileName;
  return s;
}

void FileCatalogue::removeEntry(int index) {
  if (index < 0 || index >= NumFiles) return;
  for (auto i = static_cast<size_t>(index); i + 1 < static_cast<size_t>(NumFiles); ++i) {
    FileNames[i] = std::move(FileNames[i + 1]);
    FileStatus[i] = FileStatus[i + 1];
  }
  --NumFiles;
  FileNames[static_cast<size_t>(NumFiles)].clear();
  FileStatus[static_cast<size_t>(NumFiles)] = 0;
}

int FileCatalogue::find(const std::string& name) const {
  for (int i = 0; i < NumFiles; ++i) {
    if (FileNames[static_cast<size_t>(i)] == name) return i;
  }
  return -1;
}

std::string statusText(int index, std::int16_t status) {
  const char* what = nullptr;
  switch (status) {
    case kHeaderOnly:
      what = " = Header received, Data not complete";
      break;
    case kComplete:
      what = " = Complete block of continuous data";
      break;
    case kNoHeader:
      what = " = Data received with no header";
      break;
    default:
      return {};
  }
  return "Status for Header #" + signedText(index + 1) + what;
}

ListUpdate FileList::AddToList(const ListedFile& f) {
  FileCatalogue& cat = d_.catalogue;
  if (cat.NumFiles >= kMaxFiles) return {d_.messages.box(Msg::kListFull), {}, {}};
  // A units code outside the table's seven codes is listed as code 0.
  const std::int16_t units = f.UnitsCode > 6 || f.UnitsCode < 0 ? std::int16_t{0} : f.UnitsCode;
  ListUpdate added;
  added.entry = listEntryText(f.ListDate, f.ListTime, f.ProbeType, d_.probes.ModelName(f.ProbeType),
                              logModeListName(f.LogMode, f.ExtLogMode), f.LogRate,
                              d_.probes.UnitsText(f.ProbeType, units), f.CurrentFile);
  const auto slot = static_cast<size_t>(cat.NumFiles);
  cat.FileNames[slot] = f.CurrentFile;
  cat.FileStatus[slot] = kComplete;
  ++cat.NumFiles;
  added.generalMessage = signedText(cat.NumFiles) + " data files are available.";
  return added;
}

void FileList::SearchForFiles(const std::function<void(const ListUpdate&)>& show) {
  std::vector<std::string> names = d_.fs.list(d_.dataPath, "qv*.dat");
  // By name, byte by byte (std::string compares its characters as unsigned), so the list comes
  // out the same on every system.
  std::sort(names.begin(), names.end());
  const size_t examined = std::min(names.size(), static_cast<size_t>(kMaxFiles));
  for (size_t i = 0; i < examined; ++i) show(LoadFiletoList(names[i]));
  if (names.size() > examined) show({d_.messages.box(Msg::kTooManyFiles), {}, {}});
}

namespace {

// The list needs the header block and the first record's tag and units code: eleven fields,
// which a file of fields within bounds holds in its first 11 x 64 bytes. Nothing more of the
// file is read, whatever it holds.
constexpr std::size_t kListHeadBytes = kHeaderBlockBytes + 2 * kMaxFieldBytes;

}  // namespace

ListUpdate FileList::LoadFiletoList(const std::string& filename) {
  FileCatalogue& cat = d_.catalogue;
  HeaderFields h;  // this file's own: the list reads no one else's header
  ListedFile f;
  try {
    const std::string content =
        d_.fs.readHead(ports::joinPath(d_.dataPath, filename), kListHeadBytes);
    FieldReader in(content, content.size() == kListHeadBytes);
    HeaderBlock block;
    readHeaderBlock(in, block);
    const std::int16_t recordTag = in.readInt16();
    const std::int16_t unitsCode = in.readInt16();
    // Only a head read whole reaches the header fields.
    block.assignTo(h, f.ListDate, f.ListTime);
    h.RecordTag = recordTag;
    f.CurrentFile = filename;
    f.ProbeType = h.ProbeType;
    f.LogMode = h.LogMode;
    f.LogRate = h.LogRate;
    f.UnitsCode = unitsCode;
    if (VerifyHeader(f.ListDate, f.ListTime, h.ProbeType, h.LogMode, h.LogRate, h.DataFormat,
                     h.MoveAve)) {
      // A full list has its own message; the file is then simply not listed.
      ListUpdate update = AddToList(f);
      if (update.added()) {
        cat.newestStatus() =
            endedEarly(d_.fs, ports::joinPath(d_.dataPath, filename)) ? kHeaderOnly : kComplete;
      }
      return update;
    }
  } catch (const Error&) {
    // reported below, like a rejected header
  }
  return {errorBox(headerErrorText(filename)), {}, {}};
}

void FileList::Show_list_status(int selected, int choice, const ViewSteps& steps) {
  FileCatalogue& cat = d_.catalogue;
  if (selected < 0) throw d_.messages.error(Msg::kSelectItem);
  if (selected > kMaxFiles) {
    throw Error(ErrorKind::kIndexOutOfRange,
                "Subscript out of range (list entry " + std::to_string(selected) + ")");
  }
  const auto slot = static_cast<size_t>(selected);
  const std::int16_t status = cat.FileStatus[slot];
  if (status == kNoHeader || (status == kHeaderOnly && choice != 1)) {
    steps.status(statusText(selected, status));
  } else if (status == kComplete || status == kHeaderOnly) {
    if (choice != 1) {
      steps.status(statusText(selected, status));
      return;
    }
    const std::string name = cat.FileNames[slot];
    if (name.empty()) return;
    steps.status("Reading Raw Data File");
    // The reader reports its own failures; the table is rebuilt whatever happened.
    if (steps.ReadRawDataFile) steps.ReadRawDataFile(name);
    steps.status("Updating table");
    if (steps.UpdateDataTable) steps.UpdateDataTable();
    steps.status("Table updated");
  }
}

}  // namespace kestrand::store
