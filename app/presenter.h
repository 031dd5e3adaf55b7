#pragma once
// The one place the program's logic writes the window's shared controls: the status label, the
// general message (through the timer that clears it), the busy pointer, the progress bar, the
// message boxes, the menus' check marks, the tabs, and the meter link's texts (status, upload
// progress, the open port). A control that one part alone writes is written by that part: the
// grid and the "Information" labels by the document, the file list and the data path by the
// files.

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "app/general_message.h"
#include "app/main_view.h"
#include "core/box_request.h"
#include "datetime/format_preferences.h"
#include "link/meter_link.h"
#include "ports/message_box.h"
#include "ports/timer.h"
#include "store/feedback.h"

namespace kestrand::app {

// The upload progress line: records, bytes, time since the header and the byte rate while an
// upload runs; the totals once it has ended. The meter does not announce how many records
// follow, so there is no share done and no time left.
std::string uploadProgressText(const link::UploadProgress& p);

class Presenter : public link::LinkDisplay {
 public:
  Presenter(ports::MainView& view, ports::MessageBox& box, ports::TimerFactory& timers);

  // The general message label `lblGenMsg` and its timer `tmrShowGenMsg`.
  GeneralMessage& genMsg() { return genMsg_; }

  // Shows a message box and returns the button pressed.
  Answer ask(const BoxRequest& request);
  // Shows an OK box at once.
  void errorBox(const std::string& text);
  // Shows an OK box once the handler running now has returned: no box runs inside a handler of
  // the link. Boxes queued while one is open follow it in order; none is lost.
  void queueBox(const BoxRequest& request);
  // Shows every queued box now (at shut-down).
  void showQueuedBoxes();
  std::size_t queuedBoxes() const { return queued_.size(); }
  // Sets the check mark of item `number` of the menu of `menu`.
  void check(ports::Command menu, int number, bool on);
  // Sets the check marks of the date or the time format menu; a settings file that could not be
  // written is then thrown.
  void checks(ports::Command menu, const datetime::FormatChange& change);
  void selectTab(int index);
  // Shows the progress bar at `value` of `maximum`.
  void progressBar(int value, int maximum);
  void hideProgressBar();
  // The busy pointer, the status label and the progress bar (a file's size in bytes as a
  // thousand steps), as the reader and the grid report them.
  store::Feedback feedback();

  void status(const std::string& text) override;
  void generalMessage(const std::string& text) override;
  void notice(const std::string& text, int ms) override;
  void errorNotice(const std::string& text) override;
  void busy(bool on) override;
  // At most once a second while an upload runs (so a console is not flooded), and always at its
  // start and end.
  void progress(const link::UploadProgress& p) override;
  // The device the port has open; empty when none is.
  void portName(const std::string& text);

 private:
  ports::MainView& view_;
  ports::MessageBox& box_;
  std::unique_ptr<ports::Timer> tmrShowGenMsg_;
  std::unique_ptr<ports::Timer> boxTimer_;  // shows the queued boxes
  std::deque<BoxRequest> queued_;
  bool showingBoxes_ = false;
  GeneralMessage genMsg_;
  std::uint32_t shownUpload_ = 0;
  std::chrono::milliseconds shownAt_{0};
};

}  // namespace kestrand::app
