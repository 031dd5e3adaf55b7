#pragma once
// The main window's logic: its layout, and the dispatch of its commands (menus, buttons, the file
// list, the close box) to the parts of the program they act on; the close step and File > Exit.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/main_view.h"
#include "app/program.h"
#include "app/start_up.h"
#include "ports/printer.h"
#include "ports/timer.h"

namespace kestrand::app {

// Texts of the small windows.
std::string aboutText();  // "Rev.  3.2.15"
std::string dateHelpText();
std::string timeHelpText();

// The window's caption, tabs, buttons and menus, each control with its name, caption and
// command.
ports::WindowLayout mainWindowLayout();

class MainWindow : public ports::MainWindowEvents {
 public:
  // `printer` null: the machine has no printer.
  MainWindow(Platform p, ports::Dialogs& dialogs, std::string dataPath,
             ports::Printer* printer = nullptr);

  // The start procedure (start_up.h): the splash window, three seconds later by the clock the
  // main window shown and loaded; a load that fails ends the program.
  void start() { startUp_.start(); }
  // The window's close step: writes the port settings file, ends the program.
  void closeWindow();
  // File > Exit: ends the program without the close step.
  void mnuExit_Click();

  void command(ports::Command command, int number) override;

  // File > "Save report as PDF...": carried out by the survey side the desktop wires in.
  std::function<void()> onSaveReport;
  // Asked before the upload on display gives way (View, Open) or the window closes: false keeps
  // things as they are (the user cancelled).
  std::function<bool()> mayLeave;

  Program& program() { return prog_; }
  bool ended() const { return ended_; }

 private:
  // The commands on the upload's data: the list, View, Delete, the file commands, printing.
  void dataCommand(ports::Command command);
  // True when no upload is being received, or the user agrees to end it.
  bool closeDuringUpload();
  // A click (choice 0), or a double click, Enter or "View" (choice 1, then the "Data" tab) on
  // the list.
  void showSelectedStatus(int choice);

  Program prog_;
  ports::Dialogs& dialogs_;
  ports::Printer* printer_;
  StartUp startUp_;
  bool ended_ = false;
};

}  // namespace kestrand::app
