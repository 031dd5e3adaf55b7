#include "app/main_window.h"

#include "core/text.h"
#include "core/version.h"
#include "store/field_reader.h"

namespace kestrand::app {

using platform::LabelId;
using platform::MenuEntry;

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

platform::WindowLayout mainWindowLayout() {
  platform::WindowLayout l;
  l.caption = "Kestrand Data Upload";
  l.tabs = {"Data", "Incoming Data"};
  l.infoFrameCaption = "Information";
  l.buttons = {{"cmdPrint", "Print Data", 0},
               {"cmdView", "View", 1},
               {"cmdLastMsg", "Display last message", 1},
               {"cmdDelete", "Delete", 1},
               {"cmdDelete_all", "Delete All", 1}};
  const MenuEntry sep{};
  MenuEntry file{
      "munFile",
      "&File",
      {{"mnuopen", "&Open", {}}, sep, {"mnuSave", "&Save as", {}}, sep, {"mnuExit", "E&xit", {}}}};
  MenuEntry port{"MnuPort", "Port", {}};
  for (int k = 1; k <= 5; ++k)
    port.items.push_back({"mnuCommPort", "Comm " + std::to_string(k), {}});
  MenuEntry comm{"mnuCommunication", "&Communication", {port}};
  MenuEntry date{"mnuDate", "&Date Format", {}};
  for (const auto& item : datetime::kDateMenu)
    date.items.push_back({std::string(item.name), std::string(item.caption), {}});
  date.items.push_back(sep);
  date.items.push_back({"mnuDate_Help", "Help", {}});
  MenuEntry time{"TimeF", "&Time Format", {}};
  for (const auto& item : datetime::kTimeMenu)
    time.items.push_back({std::string(item.name), std::string(item.caption), {}});
  time.items.push_back(sep);
  time.items.push_back({"Time_help", "Help", {}});
  MenuEntry about{"mnuAbout", "&About", {}};
  l.menuBar = {file, comm, date, time, about};
  return l;
}

MainWindow::MainWindow(Platform p, platform::Dialogs& dialogs, std::string dataPath)
    : prog_(p, std::move(dataPath)), dialogs_(dialogs) {
  prog_.p.view.build(mainWindowLayout(), *this);
  // Start captions of the controls the logic writes later.
  prog_.p.view.setLabel(LabelId::kLblGenMsg, "No data received");
  prog_.p.view.setLabel(LabelId::kStatDat, "");
}

bool MainWindow::start() {
  dialogs_.showSplash(splashText());

  // The pause is measured on the clock; a reading below the start means midnight has passed.
  const double startValue = prog_.p.clock.now().secondsSinceMidnight;
  for (;;) {
    double reading = prog_.p.clock.now().secondsSinceMidnight;
    if (reading < startValue) reading += 86400.0;
    if (static_cast<float>(startValue + 3.0) <= static_cast<float>(reading)) break;
    prog_.p.clock.pause(10);
  }

  prog_.p.view.show();
  const bool loaded = Form_Load();
  dialogs_.closeSplash();
  return loaded;
}

bool MainWindow::Form_Load() {
  Program& g = prog_;
  const std::array<std::function<void()>, 7> steps = {
      [&] { g.p.view.setLabel(LabelId::kLabel1, "Data Path: " + g.DataPath); },
      [&] { GetDefaultPort(); },
      [&] {
        g.formats.GetDefault2();
        g.formats.GetDefault3();
      },
      [&] { g.probes.InitProbeTable(); },
      [&] { initialize_global_vars(); },
      [&] { g.fileList.SearchForFiles(); },
      // The grid's start layout arrives with the data table.
      [] {},
  };
  for (const auto& runStep : steps) {
    for (;;) {
      try {
        runStep();
        break;
      } catch (const Error& e) {
        if (e.is(ErrorKind::kPortInUse) || e.is(ErrorKind::kFileNotFound)) {
          // Let the user pick another port, then run the failed step again.
          PortNumber_ = static_cast<std::int16_t>(dialogs_.choosePort(2));
          continue;
        }
        g.p.box.show("Error on Open!  " + e.description(), platform::Buttons::kOk, false,
                     kErrorTitle);
        Form_Unload();
        return false;
      }
    }
  }
  return true;
}

void MainWindow::initialize_global_vars() {
  Program& g = prog_;
  // The link's control bytes, LineBreak and the message catalogue are constants of the
  // program, built with it.
  g.catalogue.NumFiles = 0;
  g.link.receivePath().clear();
  g.p.view.selectTab(1);
  g.Timer1->setEnabled(false);
}

void MainWindow::GetDefaultPort() {
  Program& g = prog_;
  bool read = false;
  try {
    const std::string content =
        g.p.fs.readAll(platform::joinPath(g.DataPath, std::string(kPortSettingsFile)));
    store::FieldReader reader(content);
    PortNumber_ = reader.readInt16();
    read = true;
  } catch (const Error&) {
    read = false;
  }
  if (!read) PortNumber_ = static_cast<std::int16_t>(dialogs_.choosePort(2));
  OpenCommPort(PortNumber_);
}

void MainWindow::OpenCommPort(int port) {
  Program& g = prog_;
  for (int k = 1; k <= 5; ++k) g.p.view.setChecked("mnuCommPort", k, false);
  try {
    if (g.p.port.isOpen()) g.p.port.close();
    if (port < 1 || port > 5)
      throw Error(ErrorKind::kIndexOutOfRange, "No menu item for port " + std::to_string(port));
    g.p.port.open(platform::comPortDevice(g.p.fs, g.DataPath, port));
    g.p.view.setChecked("mnuCommPort", port, true);
    PortNumber_ = static_cast<std::int16_t>(port);
  } catch (const Error&) {
    g.p.box.show(kPortErrorText, platform::Buttons::kOk, true, kProgramTitle);
  }
}

void MainWindow::Form_Unload() {
  Program& g = prog_;
  g.link.closeChannel();
  try {
    g.p.fs.writeAll(platform::joinPath(g.DataPath, std::string(kPortSettingsFile)),
                    signedText(PortNumber_) + "\r\n");
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

void MainWindow::showSelectedStatus() {
  // Until the data grid exists, viewing an entry shows its status and stays on this tab rather
  // than pretending to show a table.
  try {
    prog_.fileList.Show_list_status(0, {});
  } catch (const Error&) {
    // nothing selected: the message has been shown
  }
}

void MainWindow::command(const std::string& control, int index) {
  Program& g = prog_;
  if (control == "close") {
    Form_Unload();
  } else if (control == "mnuExit") {
    mnuExit_Click();
  } else if (control == "mnuCommPort") {
    OpenCommPort(index);
  } else if (control.rfind("mnuDate", 0) == 0 && control.size() == 8) {
    g.formats.dateClicked(control[7] - '0');
  } else if (control == "Time1" || control == "Time2" || control == "Time3" || control == "time4") {
    g.formats.timeClicked(control[4] - '0');
  } else if (control == "mnuDate_Help") {
    dialogs_.showHelp("Date  Format  Help", dateHelpText());
  } else if (control == "Time_help") {
    dialogs_.showHelp("Time  Format  Help", timeHelpText());
  } else if (control == "mnuAbout") {
    dialogs_.showAbout(aboutText());
  } else if (control == "cmdLastMsg") {
    g.link.cmdLastMsg_Click();
  } else if (control == "List1" || control == "List1.dbl" || control == "cmdView") {
    showSelectedStatus();
  }
}

}  // namespace kestrand::app
