#include "store/catalogue.h"

#include <algorithm>
#include <vector>

#include "core/text.h"
#include "platform/error.h"
#include "store/field_reader.h"

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

bool FileList::AddToList(std::int16_t extLogMode) {
  FileCatalogue& cat = d_.catalogue;
  HeaderFields& h = d_.header;
  if (cat.NumFiles >= kMaxFiles) {
    d_.box.show(d_.messages.text(Msg::kListFull), platform::Buttons::kOk, false, kErrorTitle);
    return false;
  }
  // A units code outside the table's seven codes is listed as code 0.
  if (h.UnitsCode > 6 || h.UnitsCode < 0) h.UnitsCode = 0;
  const std::string entry =
      listEntryText(cat.ListDate, cat.ListTime, h.ProbeType, d_.probes.ModelName(h.ProbeType),
                    logModeListName(h.LogMode, extLogMode), h.LogRate,
                    d_.probes.UnitsText(h.ProbeType, h.UnitsCode), cat.CurrentFile);
  d_.view.listAdd(entry);
  const auto slot = static_cast<size_t>(cat.NumFiles);
  cat.FileNames[slot] = cat.CurrentFile;
  cat.FileStatus[slot] = kComplete;
  ++cat.NumFiles;
  if (d_.showGeneralMsg) d_.showGeneralMsg(signedText(cat.NumFiles) + " data files are available.");
  return true;
}

void FileList::SearchForFiles() {
  std::vector<std::string> names = d_.fs.list(d_.dataPath, "qv*.dat");
  std::sort(names.begin(), names.end());
  const size_t examined = std::min(names.size(), static_cast<size_t>(kMaxFiles));
  for (size_t i = 0; i < examined; ++i) LoadFiletoList(names[i]);
  if (names.size() > examined) {
    d_.box.show(d_.messages.text(Msg::kTooManyFiles), platform::Buttons::kOk, false, kErrorTitle);
  }
}

void FileList::LoadFiletoList(const std::string& filename) {
  FileCatalogue& cat = d_.catalogue;
  HeaderFields& h = d_.header;
  bool accepted = false;
  try {
    const std::string content = d_.fs.readAll(platform::joinPath(d_.dataPath, filename));
    FieldReader in(content);
    cat.ListDate = in.readText();
    cat.ListTime = in.readText();
    h.ProbeType = in.readInt16();
    h.LogMode = in.readInt16();
    h.LogRate = in.readInt16();
    h.DataFormat = in.readInt32();
    h.MoveAve = in.readInt32();
    if (h.LogMode == 2) {
      h.PeriodOn = in.readSingle();
      h.PeriodOff = in.readSingle();
    }
    h.RecordTag = in.readInt16();
    h.UnitsCode = in.readInt16();
    cat.CurrentFile = filename;
    if (VerifyHeader(cat.ListDate, cat.ListTime, h.ProbeType, h.LogMode, h.LogRate, h.DataFormat,
                     h.MoveAve)) {
      // A full list reports itself; the file is then simply not listed.
      if (AddToList(0)) cat.newestStatus() = kComplete;
      accepted = true;
    }
  } catch (const Error&) {
    accepted = false;
  }
  if (!accepted) {
    d_.box.show(headerErrorText(filename), platform::Buttons::kOk, false, kErrorTitle);
  }
}

void FileList::Show_list_status(int choice, const ViewSteps& steps) {
  FileCatalogue& cat = d_.catalogue;
  const int index = d_.view.listSelected();
  if (index < 0) {
    d_.box.show(d_.messages.text(Msg::kSelectItem), platform::Buttons::kOk, false, kErrorTitle);
    throw d_.messages.error(Msg::kSelectItem);
  }
  if (index > kMaxFiles) {
    throw Error(ErrorKind::kIndexOutOfRange,
                "Subscript out of range (list entry " + std::to_string(index) + ")");
  }
  const auto slot = static_cast<size_t>(index);
  const std::int16_t status = cat.FileStatus[slot];
  if (status == kHeaderOnly || status == kNoHeader) {
    d_.view.setLabel(platform::LabelId::kStatDat, statusText(index, status));
  } else if (status == kComplete) {
    if (choice != 1) {
      d_.view.setLabel(platform::LabelId::kStatDat, statusText(index, status));
      return;
    }
    const std::string name = cat.FileNames[slot];
    if (name.empty()) return;
    cat.CurrentFile = name;
    d_.view.setLabel(platform::LabelId::kStatDat, "Reading Raw Data File");
    try {
      if (steps.ReadRawDataFile) steps.ReadRawDataFile(name);
    } catch (const Error&) {
      // The reader reports its own failures; the table is rebuilt whatever happened.
    }
    d_.view.setLabel(platform::LabelId::kStatDat, "Updating table");
    if (steps.UpdateDataTable) steps.UpdateDataTable();
    d_.view.setLabel(platform::LabelId::kStatDat, "Table updated");
  }
}

}  // namespace kestrand::store
