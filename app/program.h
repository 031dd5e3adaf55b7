#pragma once
// The state and the components of one program run, wired once. The desktop window and the
// headless receiver both build on it, so they run the very same link, list and formats.

#include <cstdint>
#include <memory>
#include <string>

#include "app/link_controller.h"
#include "core/general_message.h"
#include "core/messages.h"
#include "datetime/format_preferences.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/main_view.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "platform/timer.h"
#include "store/catalogue.h"
#include "store/header.h"
#include "store/probe_table.h"

namespace kestrand::app {

// The realisations chosen by an executable's main (or a test) and handed in.
struct Platform {
  platform::MainView& view;
  platform::MessageBox& box;
  platform::FileSystem& fs;
  platform::Clock& clock;
  platform::TimerFactory& timers;
  platform::SerialPort& port;
};

class Program {
 public:
  Program(Platform p, std::string dataPath);

  Platform p;
  std::string DataPath;
  std::int16_t ElapsedMode = 0;  // program-wide; never reset by the start-up step
  MessageCatalogue messages;
  store::ProbeTable probes;
  store::HeaderFields header;
  store::FileCatalogue catalogue;

  std::unique_ptr<platform::Timer> Timer1;
  std::unique_ptr<platform::Timer> tmrReadingData;
  std::unique_ptr<platform::Timer> tmrShowGenMsg;

  GeneralMessage genMsg;
  datetime::FormatPreferences formats;
  store::FileList fileList;
  LinkController link;
};

}  // namespace kestrand::app
