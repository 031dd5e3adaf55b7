#pragma once
// The main window's logic: the start procedure, the load steps and their failure handling, the
// port selection, the menus and buttons, and shut-down. Every event handler of the desktop
// program is a method here.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/program.h"
#include "platform/main_view.h"
#include "platform/printer.h"
#include "platform/timer.h"

namespace kestrand::app {

// Texts of the small windows.
std::string splashText();  // "Version 3.2.15"
std::string aboutText();   // "Rev.  3.2.15"
std::string dateHelpText();
std::string timeHelpText();
inline const std::string kPortErrorText =
    "Unable to open the selected comm port.  Reselect comm port or check system configuration.";

// The window's caption, tabs, buttons and menus, each control with its name, caption and
// command.
platform::WindowLayout mainWindowLayout();

class MainWindow : public platform::MainWindowEvents {
 public:
  // `printer` null: the machine has no printer.
  MainWindow(Platform p, platform::Dialogs& dialogs, std::string dataPath,
             platform::Printer* printer = nullptr);

  // The start procedure: shows the splash window and arms its timer. Three seconds later by
  // the clock the main window is shown and loaded and the splash window closed; a load that
  // fails ends the program.
  void start();
  // The load steps in order, with the load-time failure handling. False when the program ended.
  bool Form_Load();
  // The window's close step: writes the port settings file, ends the program.
  void Form_Unload();
  // File > Exit: ends the program without the close step.
  void mnuExit_Click();

  void command(platform::Command command, int number) override;

  void GetDefaultPort();
  void OpenCommPort(int port);
  // "Delete": the selected entry's file, after a question.
  void cmdDelete_Click();
  // "Delete All": every listed file, after a question.
  void cmdDelete_all_Click();

  // File > "Save report as PDF...": carried out by the survey side the desktop wires in.
  std::function<void()> onSaveReport;

  Program& program() { return prog_; }
  std::int16_t PortNumber() const { return PortNumber_; }
  bool ended() const { return ended_; }

 private:
  // The splash timer: shows the main window once three seconds have passed by the clock, or
  // arms itself again for the time still to run.
  void splashTick();
  // A click (choice 0), or a double click, Enter or "View" (choice 1, then the "Data" tab) on
  // the list.
  void showSelectedStatus(int choice);
  // Removes listed file `index` from the data directory; a file that stays is reported. True
  // when the file is gone.
  bool removeListedFile(int index);

  Program prog_;
  platform::Dialogs& dialogs_;
  platform::Printer* printer_;
  std::unique_ptr<platform::Timer> splashTimer_;
  double splashStart_ = 0.0;
  std::int16_t PortNumber_ = 0;
  bool ended_ = false;
};

}  // namespace kestrand::app
