#include "app/main_window.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "app/data_files.h"
#include "app/settings_files.h"
#include "core/text.h"
#include "core/version.h"
#include "store/notes.h"
#include "view/grid.h"

namespace kestrand::app {

using platform::LabelId;
using platform::MenuEntry;

// The splash window stays this long, by the clock.
constexpr int kSplashMs = 3000;

std::string splashText() {
  return "Version " + versionText();
}
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

using C = platform::Command;

MenuEntry item(std::string name, std::string caption, C command, int number = 0) {
  return {std::move(name), std::move(caption), command, number, {}};
}
MenuEntry menu(std::string name, std::string caption, std::vector<MenuEntry> items = {}) {
  return {std::move(name), std::move(caption), C::kNone, 0, std::move(items)};
}

}  // namespace

platform::WindowLayout mainWindowLayout() {
  platform::WindowLayout l;
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

MainWindow::MainWindow(Platform p, platform::Dialogs& dialogs, std::string dataPath,
                       platform::Printer* printer)
    : prog_(p, std::move(dataPath)),
      dialogs_(dialogs),
      printer_(printer),
      splashTimer_(p.timers.createTimer()) {
  prog_.p.view.build(mainWindowLayout(), *this);
  // Start captions of the controls the logic writes later.
  prog_.p.view.setLabel(LabelId::kLblGenMsg, "No data received");
  prog_.p.view.setLabel(LabelId::kStatDat, "");
  splashTimer_->onTick([this] { splashTick(); });
}

void MainWindow::start() {
  dialogs_.showSplash(splashText());
  splashStart_ = prog_.p.clock.now().secondsSinceMidnight;
  splashTimer_->setEnabled(false);
  splashTimer_->setInterval(kSplashMs);
  splashTimer_->setEnabled(true);
}

void MainWindow::splashTick() {
  splashTimer_->setEnabled(false);
  // A reading below the start means midnight has passed.
  double reading = prog_.p.clock.now().secondsSinceMidnight;
  if (reading < splashStart_) reading += 86400.0;
  const double due = splashStart_ + kSplashMs / 1000.0;
  if (static_cast<float>(due) > static_cast<float>(reading)) {
    splashTimer_->setInterval(std::max(1, static_cast<int>(std::ceil((due - reading) * 1000.0))));
    splashTimer_->setEnabled(true);
    return;
  }
  prog_.p.view.show();
  Form_Load();
  dialogs_.closeSplash();
}

bool MainWindow::Form_Load() {
  LoadPlan plan;
  plan.openPort = [this] { GetDefaultPort(); };
  plan.failed = [this](const Error& e) {
    if (e.is(ErrorKind::kPortInUse) || e.is(ErrorKind::kFileNotFound)) {
      // Let the user pick another port, then run the failed step again.
      PortNumber_ = static_cast<std::int16_t>(dialogs_.choosePort(2));
      return true;
    }
    prog_.p.box.show(errorBox("Error on Open!  " + e.description()));
    Form_Unload();
    return false;
  };
  return prog_.load(plan);
}

void MainWindow::GetDefaultPort() {
  const Program& g = prog_;
  const std::optional<std::int16_t> read = readPortSetting(g.p.fs, g.DataPath);
  PortNumber_ = read ? *read : static_cast<std::int16_t>(dialogs_.choosePort(2));
  OpenCommPort(PortNumber_);
}

void MainWindow::OpenCommPort(int port) {
  Program& g = prog_;
  for (int k = 1; k <= 5; ++k) g.p.view.setChecked(C::kCommPort, k, false);
  std::string device;  // the device tried, named in the box after the port's own text
  try {
    g.link.closePort();
    if (port < 1 || port > 5)
      throw Error(ErrorKind::kIndexOutOfRange, "No menu item for port " + std::to_string(port));
    device = platform::comPortDevice(g.p.fs, g.DataPath, port);
    g.link.openPort(device, port);
    g.p.view.setChecked(C::kCommPort, port, true);
    PortNumber_ = static_cast<std::int16_t>(port);
  } catch (const Error&) {
    const std::string tried = device.empty() ? "" : kLineBreak + "Device: " + device;
    g.p.box.show(kPortErrorText + tried, platform::Buttons::kOk, true, kProgramTitle);
  }
}

void MainWindow::Form_Unload() {
  Program& g = prog_;
  g.link.closeChannel();
  try {
    savePortSetting(g.p.fs, g.DataPath, PortNumber_);
  } catch (const Error& e) {
    g.p.box.show(e.description(), platform::Buttons::kOk, false, kErrorTitle);
  }
  ended_ = true;
  g.p.view.quit();
}

void MainWindow::mnuExit_Click() {
  prog_.link.closeChannel();
  ended_ = true;
  prog_.p.view.quit();
}

void MainWindow::showSelectedStatus(int choice) {
  Program& g = prog_;
  try {
    g.Show_list_status(g.p.view.listSelected(), choice);
    if (choice == 1) g.p.view.selectTab(0);
  } catch (const Error& e) {
    // Nothing selected: the error carries the message to show; the tab stays.
    g.p.box.show(errorBox(e.description()));
  }
}

namespace {
const std::string kDeleteErrorTitle = "Delete Error";
}  // namespace

bool MainWindow::removeListedFile(int index) {
  Program& g = prog_;
  const std::string& name = g.catalogue.FileNames[static_cast<size_t>(index)];
  const std::string path = platform::joinPath(g.DataPath, name);
  const auto failed = [&](const std::string& what, const Error& e) {
    g.p.box.show("The file " + what + " could not be deleted." + kLineBreak + e.description(),
                 platform::Buttons::kOk, false, kDeleteErrorTitle);
  };
  try {
    g.p.fs.remove(path);
  } catch (const Error& e) {
    // A file already gone is what the user asked for; one that stays keeps its entry (and its
    // notes).
    if (!e.is(ErrorKind::kFileNotFound)) {
      failed(name, e);
      return false;
    }
  }
  // The upload's notes go with it; an upload without notes has none to remove.
  try {
    store::removeNotes(g.p.fs, path);
  } catch (const Error& e) {
    failed(store::notesPath(name), e);
  }
  return true;
}

void MainWindow::cmdDelete_Click() {
  Program& g = prog_;
  const int i = g.p.view.listSelected();
  if (i < 0 || i >= g.catalogue.NumFiles) {
    g.p.box.show("You must first highlight a header to delete", platform::Buttons::kOk, false,
                 kDeleteErrorTitle);
    return;
  }
  const std::string question = "Delete header #" + signedText(i + 1) + " and file " +
                               g.catalogue.FileNames[static_cast<size_t>(i)] + " - are you sure?";
  if (g.p.box.show(question, platform::Buttons::kYesNo, false, "Delete Header") ==
      platform::Answer::kYes) {
    g.link.closeChannel();
    if (removeListedFile(i)) {
      g.catalogue.removeEntry(i);
      g.p.view.listRemove(i);
    }
  }
  g.genMsg.write("");
  g.p.view.setLabel(LabelId::kStatDat, "");
}

void MainWindow::cmdDelete_all_Click() {
  Program& g = prog_;
  if (g.p.box.show("Are you sure you want to delete all data?", platform::Buttons::kYesNo, false,
                   "Delete All") != platform::Answer::kYes) {
    return;
  }
  g.link.closeChannel();
  for (int i = g.catalogue.NumFiles - 1; i >= 0; --i) {
    if (!removeListedFile(i)) continue;
    g.catalogue.removeEntry(i);
    g.p.view.listRemove(i);
  }
  g.p.view.setLabel(LabelId::kStatDat, "");
}

void MainWindow::command(platform::Command command, int number) {
  Program& g = prog_;
  switch (command) {
    case C::kClose:
      Form_Unload();
      break;
    case C::kExit:
      mnuExit_Click();
      break;
    case C::kCommPort:
      OpenCommPort(number);
      break;
    case C::kDateFormat:
      g.present.checks(C::kDateFormat, g.formats.dateClicked(number));
      break;
    case C::kTimeFormat:
      g.present.checks(C::kTimeFormat, g.formats.timeClicked(number));
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
    case C::kLastMessage:
      g.link.cmdLastMsg_Click();
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
      cmdDelete_Click();
      break;
    case C::kDeleteAll:
      cmdDelete_all_Click();
      break;
    case C::kSaveAs:
      mnuSave_Click(g, dialogs_);
      break;
    case C::kOpen:
      mnuopen_Click(g, dialogs_);
      break;
    case C::kPrint:
      cmdPrint_Click(g, printer_);
      break;
    case C::kSaveReport:
      if (onSaveReport) onSaveReport();
      break;
    case C::kNone:
      break;
  }
}

}  // namespace kestrand::app
