#include "app/main_window.h"

#include <array>

#include "app/data_files.h"
#include "core/version.h"

namespace kestrand::app {

using ports::MenuEntry;

std::string aboutText() {
  return "Rev.  " + versionText();
}

std::string dateHelpText() {
  return "Goto Regional Settings Window  under Control Panel." + std::string(16, ' ') +
         "Select the Date Tab." + std::string(14, ' ') +
         "Select the setting that matches  Short date style:" + std::string(11, ' ');
}

std::string timeHelpText() {
  return "Goto Regional Settings Window  under Control Panel." + std::string(16, ' ') +
         "Select the Time Tab." + std::string(14, ' ') +
         "Select the setting that matches  Time style:" + std::string(11, ' ');
}

namespace {

using C = ports::Command;

MenuEntry item(std::string name, std::string caption, C command, int number = 0) {
  return {std::move(name), std::move(caption), command, number, {}};
}
MenuEntry menu(std::string name, std::string caption, std::vector<MenuEntry> items = {}) {
  return {std::move(name), std::move(caption), C::kNone, 0, std::move(items)};
}

}  // namespace

ports::WindowLayout mainWindowLayout() {
  ports::WindowLayout l;
  l.caption = "Kestrand Data Upload";
  l.tabs = {"Data", "Incoming Data"};
  l.infoFrameCaption = "Information";
  l.buttons = {{"cmdPrint", "Print Data", 0, C::kPrint},
               {"cmdView", "View", 1, C::kView},
               {"cmdLastMsg", "Display last message", 1, C::kLastMessage},
               {"cmdDelete", "Delete", 1, C::kDelete},
               {"cmdDelete_all", "Delete All", 1, C::kDeleteAll}};
  const MenuEntry sep{};
  const MenuEntry file =
      menu("munFile", "&File",
           {item("mnuopen", "&Open", C::kOpen), sep, item("mnuSave", "&Save as", C::kSaveAs),
            item("mnuSaveReport", "Save &report as PDF\x85", C::kSaveReport), sep,
            item("mnuExit", "E&xit", C::kExit)});
  MenuEntry port = menu("MnuPort", "Port");
  for (int k = 1; k <= 5; ++k) {
    port.items.push_back(item("mnuCommPort", "Comm " + std::to_string(k), C::kCommPort, k));
  }
  static constexpr std::array<const char*, datetime::kDateFormats> kDateCaptions = {
      "M/d/yy",     "M/d/yyyy",  "MM/dd/yy", "MM/dd/yyyy", "yy/MM/dd",
      "yyyy/MM/dd", "dd-MMM-yy", "dd/MM/yy", "dd/MM/yyyy"};
  MenuEntry date = menu("mnuDate", "&Date Format");
  for (int k = 1; k <= datetime::kDateFormats; ++k) {
    date.items.push_back(item("mnuDate" + std::to_string(k),
                              kDateCaptions[static_cast<size_t>(k - 1)], C::kDateFormat, k));
  }
  date.items.push_back(sep);
  date.items.push_back(item("mnuDate_Help", "Help", C::kDateHelp));
  // Blanks pad the first two captions: seven before "AM/PM", then five.
  static constexpr std::array<std::array<const char*, 2>, datetime::kTimeFormats> kTimeItems = {{
      {"Time1", "h:mm:ss       AM/PM"},
      {"Time2", "hh:mm:ss     AM/PM"},
      {"Time3", "h:mm:ss"},
      {"time4", "hh:mm:ss"},
  }};
  MenuEntry time = menu("TimeF", "&Time Format");
  for (int k = 1; k <= datetime::kTimeFormats; ++k) {
    const auto& [name, caption] = kTimeItems[static_cast<size_t>(k - 1)];
    time.items.push_back(item(name, caption, C::kTimeFormat, k));
  }
  time.items.push_back(sep);
  time.items.push_back(item("Time_help", "Help", C::kTimeHelp));
  l.menuBar = {file, menu("mnuCommunication", "&Communication", {port}), date, time,
               item("mnuAbout", "&About", C::kAbout)};
  return l;
}

MainWindow::MainWindow(Platform p, ports::Dialogs& dialogs, std::string dataPath,
                       ports::Printer* printer)
    : prog_(p, std::move(dataPath)),
      dialogs_(dialogs),
      printer_(printer),
      startUp_(prog_, dialogs, [this] { closeWindow(); }) {
  p.view.build(mainWindowLayout(), *this);
  // Start captions of the controls the logic writes later.
  prog_.present.genMsg().write("No data received");
  prog_.present.status("");
}

bool MainWindow::closeDuringUpload() {
  if (!prog_.link.meterLink().uploadRunning()) return true;
  return prog_.present.ask({kUploadRunningText + kLineBreak + kLineBreak +
                                "Closing the window ends it: what has been received so far stays "
                                "stored, the rest stays in the meter. Close the window?",
                            Buttons::kYesNo, true, kProgramTitle}) == Answer::kYes;
}

void MainWindow::closeWindow() {
  if (!closeDuringUpload()) return;
  prog_.link.closeChannel();
  prog_.present.showQueuedBoxes();
  try {
    prog_.link.savePortNumber();
  } catch (const Error& e) {
    prog_.present.ask({e.description(), Buttons::kOk, false, kErrorTitle});
  }
  ended_ = true;
  prog_.services.view.quit();
}

void MainWindow::mnuExit_Click() {
  if (!closeDuringUpload()) return;
  prog_.link.closeChannel();
  ended_ = true;
  prog_.services.view.quit();
}

void MainWindow::showSelectedStatus(int choice) {
  try {
    prog_.files.Show_list_status(choice, prog_.doc);
    if (choice == 1) prog_.present.selectTab(0);
  } catch (const Error& e) {
    // Nothing selected: the error carries the message to show; the tab stays.
    prog_.present.errorBox(e.description());
  }
}

void MainWindow::command(ports::Command command, int number) {
  const bool leaves = command == C::kClose || command == C::kExit || command == C::kView ||
                      command == C::kListDoubleClick || command == C::kListEnter ||
                      command == C::kOpen;
  if (leaves && mayLeave && !mayLeave()) return;
  switch (command) {
    case C::kClose:
      closeWindow();
      break;
    case C::kExit:
      mnuExit_Click();
      break;
    case C::kCommPort:
      prog_.link.OpenCommPort(number);
      break;
    case C::kDateFormat:
      prog_.present.checks(C::kDateFormat, prog_.link.formats().dateClicked(number));
      break;
    case C::kTimeFormat:
      prog_.present.checks(C::kTimeFormat, prog_.link.formats().timeClicked(number));
      break;
    case C::kDateHelp:
      dialogs_.showHelp("Date  Format  Help", dateHelpText());
      break;
    case C::kTimeHelp:
      dialogs_.showHelp("Time  Format  Help", timeHelpText());
      break;
    case C::kAbout:
      dialogs_.showAbout(aboutText());
      break;
    default:
      dataCommand(command);
      break;
  }
}

void MainWindow::dataCommand(ports::Command command) {
  switch (command) {
    case C::kLastMessage:
      prog_.link.cmdLastMsg_Click();
      break;
    case C::kListClick:
      showSelectedStatus(0);
      break;
    case C::kListDoubleClick:
    case C::kListEnter:
    case C::kView:
      showSelectedStatus(1);
      break;
    case C::kDelete:
      prog_.files.cmdDelete_Click(prog_.link);
      break;
    case C::kDeleteAll:
      prog_.files.cmdDelete_all_Click(prog_.link);
      break;
    case C::kSaveAs:
      mnuSave_Click(prog_.doc, prog_.files, prog_.present, prog_.services.fs, dialogs_);
      break;
    case C::kOpen:
      mnuopen_Click(prog_.doc, prog_.present, prog_.services.fs, dialogs_, prog_.files.DataPath());
      break;
    case C::kPrint:
      cmdPrint_Click(prog_.doc, prog_.present, printer_);
      break;
    case C::kSaveReport:
      if (onSaveReport) onSaveReport();
      break;
    default:
      break;
  }
}

}  // namespace kestrand::app
