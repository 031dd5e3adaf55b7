#pragma once
// The message catalogue and the serial-port error texts, declared once and read everywhere.

#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "core/box_request.h"
#include "core/error.h"
#include "core/text.h"

namespace kestrand {

// Catalogue entries by the index other parts of the program refer to.
enum class Msg : int {
  kHeaderError = 0,
  kDataBlockError = 1,
  kTooManyRecords = 2,
  kNoDataRecords = 3,
  kSelectItem = 4,
  kListFull = 5,
  kTooManyFiles = 6,
  kMultipleUnits = 7,
  kUploadIncomplete = 8,
};

// Titles of the program's message boxes.
inline const std::string kErrorTitle = "RIviriro Error";
inline const std::string kProgramTitle = "Kestrand Data Upload";

// The program's error message box: `text`, an OK button, the title "RIviriro Error".
inline BoxRequest errorBox(std::string text) {
  return {std::move(text), Buttons::kOk, false, kErrorTitle};
}

class MessageCatalogue {
 public:
  // Fills the serial-port error texts, entries 0 to 8 in index order, then the save entry.
  MessageCatalogue();

  const std::string& text(Msg m) const { return msg_[static_cast<int>(m)]; }
  const std::string& MsgText(int index) const { return msg_.at(static_cast<size_t>(index)); }
  const std::string& saveEntry() const { return save_; }
  // Text for a port event code 1001..1011 (empty for 1005 and codes outside the range).
  std::string commErrText(int code) const;

  // The error message box showing entry `m`.
  BoxRequest box(Msg m) const { return errorBox(text(m)); }
  // An error carrying entry `m`: code 0x80040000 + index, the entry's text as description.
  Error error(Msg m) const {
    return Error(kCatalogueErrorBase + static_cast<std::int32_t>(m), text(m));
  }

 private:
  std::array<std::string, 101> msg_;
  std::array<std::string, 11> commErr_;
  std::string save_;
};

inline MessageCatalogue::MessageCatalogue() {
  commErr_ = {"Break signal received",
              "Clear-to-send timeout",
              "Data-set ready timeout",
              "Framing error",
              "",
              "Port overrun",
              "Carrier detect timeout",
              "Receive buffer overflow",
              "Parity error",
              "Transmit buffer full",
              "Unexpected error retrieving DCB for the port"};
  msg_[0] = "The raw data file has an error in the header block.";
  msg_[1] = "The raw data file has an error in the data block." + kLineBreak +
            "All of the data except for the last " + "record will be retained.";
  msg_[2] = std::string("The raw data file exceeds the maximum size for an") +
            " Excel Spreadsheet." + kLineBreak + "The data will be trucated.";
  msg_[3] = "The raw data file does not contain any data records.";
  msg_[4] = "Please select an item from the list to view.";
  msg_[5] =
      "Too many files are in the list." + kLineBreak + " Please delete files before continuing.";
  msg_[6] = "Too many *.dat files exist. Only the first " + signedText(100) + " will be listed.";
  msg_[7] = "Warning: Multiple Units have been found" + kLineBreak +
            "Data will still be saved but may not be reliable";
  msg_[8] = "Upload of data is incomplete" + kLineBreak + "Check connections and retry";
  save_ = "No data found to SAVE";
}

inline std::string MessageCatalogue::commErrText(int code) const {
  if (code < 1001 || code > 1011) return {};
  return commErr_[static_cast<size_t>(code - 1001)];
}

}  // namespace kestrand
