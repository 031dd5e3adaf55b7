// The desktop program: the main window's logic on the Qt window, dialogs, timers and serial port,
// the POSIX file system and clock.

#include <QApplication>
#include <QMainWindow>
#include <clocale>

#include "adapters/posix/data_directory.h"
#include "adapters/posix/posix_file_system.h"
#include "adapters/posix/system_clock.h"
#include "adapters/qt/qt_dialogs.h"
#include "adapters/qt/qt_main_view.h"
#include "adapters/qt/qt_message_box.h"
#include "adapters/qt/qt_printer.h"
#include "adapters/qt/qt_timer.h"
#include "adapters/qt/serial/qt_serial_port.h"
#include "adapters/qt/system_printer.h"
#include "app/main_window.h"
#include "desktop/chart_tab.h"

int main(int argc, char** argv) {
  using namespace kestrand;
  adapters::posix::ignoreFileSizeSignal();
  QApplication application(argc, argv);
  application.setApplicationName("Kestrand Data Upload");
  // Numbers are read and written in the C form whatever the user's locale, which Qt has just
  // taken from the environment for the C library too.
  std::setlocale(LC_NUMERIC, "C");
  // The program ends only when the logic says so (close step or File > Exit).
  application.setQuitOnLastWindowClosed(false);

  // A copy in a folder of the user's own keeps its data beside the executable; an installed one
  // in the user's data directory.
  adapters::posix::PosixFileSystem fs(adapters::posix::chooseDataDirectory(
      adapters::posix::executableDirectory(), adapters::posix::systemDataDirectoryProbe()));
  adapters::posix::SystemClock clock;
  adapters::qt::QtMainView view;
  adapters::qt::QtDialogs dialogs(view.window());
  adapters::qt::QtMessageBox box(view.window());
  adapters::qt::QtTimerFactory timers;
  adapters::qt::QtSerialPort port;
  adapters::qt::QtPrinter printer(adapters::qt::defaultPrinter());

  app::MainWindow window(app::Platform{view, box, fs, clock, timers, port}, dialogs,
                         fs.programDirectory(), &printer);
  // The "Chart" tab, after the window's own two: the readings on display at a glance, their
  // notes, the whole upload, the survey report.
  desktop::ChartTab chartTab(window, view, fs, dialogs);
  // The splash wait and the load run inside the event loop; a failed load ends it.
  window.start();
  return QApplication::exec();
}
