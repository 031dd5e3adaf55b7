#pragma once
// Shows on the window and in message boxes what the libraries below return: file-list updates,
// the check marks of the format menus, message box requests.

#include "app/general_message.h"
#include "datetime/format_preferences.h"
#include "platform/main_view.h"
#include "platform/message_box.h"
#include "store/catalogue.h"

namespace kestrand::app {

class Presenter {
 public:
  Presenter(platform::MainView& view, platform::MessageBox& box, GeneralMessage& genMsg)
      : view_(view), box_(box), genMsg_(genMsg) {}

  // The update's message box, or its entry appended to the list and its general message.
  // True when an entry was added.
  bool list(const store::ListUpdate& update);
  // Sets the check marks of the menu of `menu` (the date or the time formats); a settings file
  // that could not be written is then thrown.
  void checks(platform::Command menu, const datetime::FormatChange& change);

 private:
  platform::MainView& view_;
  platform::MessageBox& box_;
  GeneralMessage& genMsg_;
};

}  // namespace kestrand::app
