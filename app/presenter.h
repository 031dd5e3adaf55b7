#pragma once
// Shows on the window and in message boxes what the libraries below return: file-list updates,
// the check marks of the format menus, message box requests, and every text of the meter link
// (status, general messages, boxes, pointer, upload progress, the open port).

#include <chrono>
#include <cstdint>
#include <string>

#include "app/general_message.h"
#include "datetime/format_preferences.h"
#include "link/meter_link.h"
#include "platform/main_view.h"
#include "platform/message_box.h"
#include "store/catalogue.h"

namespace kestrand::app {

// The upload progress line: records, bytes, time since the header and the byte rate while an
// upload runs; the totals once it has ended. The meter does not announce how many records
// follow, so there is no share done and no time left.
std::string uploadProgressText(const link::UploadProgress& p);

class Presenter : public link::LinkDisplay {
 public:
  Presenter(platform::MainView& view, platform::MessageBox& box, GeneralMessage& genMsg)
      : view_(view), box_(box), genMsg_(genMsg) {}

  // The update's message box, or its entry appended to the list and its general message.
  // True when an entry was added.
  bool list(const store::ListUpdate& update);
  // Sets the check marks of the menu of `menu` (the date or the time formats); a settings file
  // that could not be written is then thrown.
  void checks(platform::Command menu, const datetime::FormatChange& change);

  void status(const std::string& text) override;
  void generalMessage(const std::string& text) override;
  void notice(const std::string& text, int ms) override;
  void errorBox(const std::string& text) override;
  void busy(bool on) override;
  // At most once a second while an upload runs (so a console is not flooded), and always at its
  // start and end.
  void progress(const link::UploadProgress& p) override;
  // The device the port has open; empty when none is.
  void portName(const std::string& text);

 private:
  platform::MainView& view_;
  platform::MessageBox& box_;
  GeneralMessage& genMsg_;
  std::uint32_t shownUpload_ = 0;
  std::chrono::milliseconds shownAt_{0};
};

}  // namespace kestrand::app
