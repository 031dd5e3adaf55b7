#pragma once
// Test doubles for the platform: a settable clock, a scripted message box, a scripted serial
// port, a recording main window and dialogs.

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_view.h"
#include "ports/clock.h"
#include "ports/message_box.h"
#include "ports/printer.h"
#include "ports/serial_port.h"

namespace kestrand::ports::fake {

// A clock that stands still until told.
class FakeClock : public Clock {
 public:
  LocalTime now() const override { return now_; }
  void advanceSeconds(double s);

 private:
  LocalTime now_ = {2026, 12, 5, 10, 0, 0, 36000.0};
};

// Records every box and answers it from a script (OK when the script is empty).
class ScriptedMessageBox : public MessageBox {
 public:
  struct Shown {
    std::string text;
    Buttons buttons;
    bool warning;
    std::string title;
  };
  Answer show(const std::string& text, Buttons buttons, bool warningIcon,
              const std::string& title) override;
  void answerNext(Answer a) { script_.push_back(a); }
  // Runs while the box is "open", before it returns (a modal box keeps events flowing).
  std::function<void(const Shown&)> whileOpen;
  std::vector<Shown> shown;

 private:
  std::deque<Answer> script_;
};

// A serial port whose incoming bytes and events the test delivers.
class FakeSerialPort : public SerialPort {
 public:
  void open(const std::string& device) override;
  void close() override { open_ = false; }
  bool isOpen() const override { return open_; }
  std::string systemDevice() const override;
  std::string readAll() override { return std::exchange(pending_, {}); }
  void write(std::string_view bytes) override {
    if (onWrite) onWrite(bytes);
    written.append(bytes);
  }
  void onEvent(std::function<void(int)> handler) override { handler_ = std::move(handler); }

  // Puts bytes in the receive queue and raises one receive notification (while open).
  void deliver(std::string_view bytes);
  // Raises one notification with `code` (while open).
  void raise(int code);

  std::function<void(std::string_view)> onWrite;  // sees each write before it is recorded
  std::vector<std::string> refused;               // devices whose open() throws
  std::map<std::string, std::string> links;       // device name -> the system device behind it
  std::vector<std::string> openedDevices;
  std::string written;

 private:
  bool open_ = false;
  std::string pending_;
  std::function<void(int)> handler_;
};

class FakeMainView : public MainView {
 public:
  void build(const WindowLayout& layout, MainWindowEvents& events) override;
  void show() override { shown = true; }
  void quit() override { quitRequested = true; }
  void setLabel(LabelId id, const std::string& text) override;
  std::string label(LabelId id) const override;
  void selectTab(int index) override { tab = index; }
  int selectedTab() const override { return tab; }
  void listAdd(const std::string& entry) override { list.push_back(entry); }
  void listRemove(int index) override;
  int listCount() const override { return static_cast<int>(list.size()); }
  std::string listItem(int index) const override { return list.at(index); }
  int listSelected() const override { return selected; }
  void listSelect(int index) override { selected = index; }
  void setChecked(Command command, int number, bool on) override;
  bool checked(Command command, int number) const override;
  void setBusy(bool b) override { busy = b; }
  void setProgress(int, int) override {}
  void setProgressVisible(bool) override {}
  void showGrid(GridContent g) override { grid = std::move(g); }
  // Cell text as the window shows it: the title row, then the data rows.
  std::string cell(int row, int col) const;

  // Sends a command as a click would.
  void click(Command command, int number = 0) { events_->command(command, number); }

  bool shown = false;
  bool quitRequested = false;
  std::map<LabelId, std::string> labels;
  std::vector<std::string> list;
  int selected = -1;
  int tab = -1;
  std::map<std::pair<Command, int>, bool> checks;
  bool busy = false;
  GridContent grid;
  // Every label write in order, for tests of what a user saw pass by.
  std::vector<std::pair<LabelId, std::string>> labelLog;

 private:
  MainWindowEvents* events_ = nullptr;
};

class FakeDialogs : public Dialogs {
 public:
  void showSplash(const std::string& versionText) override;
  void closeSplash() override { events.push_back("splash closed"); }
  int choosePort(int initial) override;
  // The small windows that only show a text are not recorded.
  void showAbout(const std::string&) override {}
  void showDataWarning(const std::string&) override {}
  void showHelp(const std::string&, const std::string&) override {}
  // Each answers from its script; an empty script cancels (file dialogs) or answers "No".
  std::optional<std::string> openFile(const FileDialogRequest& request) override;
  // The save dialog's filter is the next of `chosenFilters`, the first pair when there is none.
  std::optional<SaveChoice> saveFile(const FileDialogRequest& request) override;
  bool YesNo(const std::string& caption, const std::string& text) override;

  std::vector<std::string> events;
  std::vector<FileDialogRequest> fileDialogs;  // every file dialog shown, in order
  std::deque<std::optional<std::string>> chosenPaths;
  std::deque<int> chosenFilters;
  std::deque<bool> yesNoAnswers;
  std::deque<int> portChoices;  // answers of the port dialog; empty = keep the initial choice
  std::function<void()> duringPortDialog;
};

// A printer that keeps its pages: each printed line with the position it was printed at. With
// `refuse` set it fails as a machine without a printer does.
class FakePrinter : public Printer {
 public:
  struct Line {
    double x;
    double y;
    std::string text;
    bool operator==(const Line&) const = default;
  };
  void setFont(const std::string& name, int points) override;
  void setCurrentX(double inches) override { x_ = inches; }
  void setCurrentY(double inches) override { y_ = inches; }
  void printLine(const std::string& text) override;
  void newPage() override { pages.emplace_back(); }
  void endDoc() override { ended = true; }
  int lineCharacters(double) const override { return characters; }

  bool refuse = false;
  int characters = 0;  // the width of its paper, in characters
  std::string font;
  int points = 0;
  static constexpr double kLineInches = 1.0 / 6;  // the line height it pretends its font has
  std::vector<std::vector<Line>> pages;
  bool ended = false;

 private:
  double x_ = 0.0;
  double y_ = 0.0;
};

}  // namespace kestrand::ports::fake
