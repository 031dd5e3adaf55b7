#pragma once
// The main window and message boxes as a console shows them: each new file-list entry is a line
// on standard output (control characters escaped); the status label, the general message label
// and message boxes are lines on standard error ("status: ...", "message: ...", "TITLE: ..."),
// and so are the upload's progress and the device the port has open ("progress: ...",
// "port: ..."). Message boxes are answered with OK (or No for a question).

#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_view.h"
#include "ports/message_box.h"

namespace kestrand::cli {

// How text reaches a terminal: Windows-1252 (the program's texts) or UTF-8 (the notes), and
// whether the terminal's locale takes UTF-8.
struct Terminal {
  bool cp1252 = true;
  bool utf8 = false;
};
// `text` as a terminal shows it unharmed: control characters (C0, DEL, C1) as \xHH, and
// Windows-1252 in UTF-8 when the terminal takes UTF-8; other bytes as they are.
std::string terminalText(std::string_view text, Terminal terminal);

class ConsoleView : public platform::MainView {
 public:
  ConsoleView(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

  void build(const platform::WindowLayout&, platform::MainWindowEvents&) override {}
  void show() override {}
  void quit() override { quitRequested = true; }
  void setLabel(platform::LabelId id, const std::string& text) override;
  std::string label(platform::LabelId id) const override;
  void selectTab(int index) override { tab_ = index; }
  int selectedTab() const override { return tab_; }
  void listAdd(const std::string& entry) override;
  void listRemove(int index) override;
  int listCount() const override { return static_cast<int>(list_.size()); }
  std::string listItem(int index) const override { return list_.at(static_cast<size_t>(index)); }
  int listSelected() const override { return -1; }
  void listSelect(int) override {}
  void setChecked(platform::Command, int, bool) override {}
  bool checked(platform::Command, int) const override { return false; }
  void setBusy(bool) override {}
  void setProgress(int, int) override {}
  void setProgressVisible(bool) override {}
  void showGrid(platform::GridContent grid) override { grid_ = std::move(grid); }

  // The grid's rows from the title row down, cells separated by one TAB, each row a line; the
  // cells as `terminal` shows them, when given.
  void printGrid(std::ostream& os, const Terminal* terminal = nullptr) const;

  bool quitRequested = false;

 private:
  std::ostream& out_;
  std::ostream& err_;
  std::map<platform::LabelId, std::string> labels_;
  std::vector<std::string> list_;
  platform::GridContent grid_;
  int tab_ = 1;
};

class ConsoleMessageBox : public platform::MessageBox {
 public:
  explicit ConsoleMessageBox(std::ostream& err) : err_(err) {}
  platform::Answer show(const std::string& text, platform::Buttons buttons, bool warningIcon,
                        const std::string& title) override;

  int errorBoxes = 0;  // boxes shown with an error title ("RIviriro Error", "Error")

 private:
  std::ostream& err_;
};

}  // namespace kestrand::cli
