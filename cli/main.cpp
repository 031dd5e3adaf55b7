// kestrand-cli: the headless front end over the program's own logic.
//
//   kestrand-cli receive --port PATH [--data-dir DIR] [--once]
//   kestrand-cli --version | --help

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/console_view.h"
#include "cli/receiver.h"
#include "core/version.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/system_clock.h"
#include "platform/qt/qt_timer.h"
#include "platform/qt/serial/qt_serial_port.h"

namespace {

const char* kUsage =
    "Usage:\n"
    "  kestrand-cli receive --port PATH [--data-dir DIR] [--once]\n"
    "      Receive uploads from a meter on the serial device PATH (9600 baud, 8N1) into DIR\n"
    "      (default: the current directory), exactly as the desktop program does. New file-list\n"
    "      entries go to standard output; status texts, messages and message boxes to standard\n"
    "      error. --once ends after the first upload. SIGINT or SIGTERM closes the open file.\n"
    "  kestrand-cli --version\n"
    "      Print the program version.\n"
    "  kestrand-cli --help\n"
    "      Print this help.\n";

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

int receive(int argc, char** argv, const std::vector<std::string>& args) {
  std::string port;
  std::string dataDir = ".";
  bool once = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--port" && i + 1 < args.size()) {
      port = args[++i];
    } else if (args[i] == "--data-dir" && i + 1 < args.size()) {
      dataDir = args[++i];
    } else if (args[i] == "--once") {
      once = true;
    } else {
      std::cerr << "kestrand-cli receive: unexpected argument '" << args[i] << "'\n" << kUsage;
      return 2;
    }
  }
  if (port.empty()) {
    std::cerr << "kestrand-cli receive: --port PATH is required\n" << kUsage;
    return 2;
  }
  while (dataDir.size() > 1 && dataDir.back() == '/') dataDir.pop_back();

  QCoreApplication qapp(argc, argv);
  kestrand::platform::posix::PosixFileSystem fs(dataDir);
  kestrand::platform::posix::SystemClock clock;
  kestrand::platform::qt::QtTimerFactory timers;
  kestrand::platform::qt::QtSerialPort serial;
  kestrand::cli::ConsoleView view(std::cout, std::cerr);
  kestrand::cli::ConsoleMessageBox box(std::cerr);
  kestrand::cli::Receiver receiver({view, box, fs, clock, timers, serial}, dataDir);

  // SIGINT and SIGTERM come back through the event loop, so the open file is closed in order.
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
    std::perror("socketpair");
    return 1;
  }
  QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, &qapp, [&] {
    char c;
    [[maybe_unused]] ssize_t n = ::read(signalPipe[0], &c, 1);
    QCoreApplication::quit();
  });
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);

  try {
    receiver.start(port);
  } catch (const kestrand::Error& e) {
    std::cerr << "kestrand-cli receive: " << e.description() << "\n";
    return 1;
  }

  if (once) {
    // Queued, so the handler that ended the upload runs to its end and sends its answer first.
    receiver.onEnded(
        [&] { QMetaObject::invokeMethod(&qapp, &QCoreApplication::quit, Qt::QueuedConnection); });
  }
  qapp.exec();
  receiver.stop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::cout << kUsage;
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--version") {
    std::cout << "Version " << kestrand::versionText() << "\n";
    return 0;
  }
  if (args[0] == "receive") return receive(argc, argv, args);
  std::cerr << "kestrand-cli: unknown command '" << args[0] << "'\n" << kUsage;
  return 2;
}
