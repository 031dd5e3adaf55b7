// kestrand-cli: the headless front end over the program's own logic.
//
//   kestrand-cli receive --port PATH [--data-dir DIR] [--once]
//   kestrand-cli --version | --help

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <iostream>
#include <string>

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
    "      error. --once ends after the first upload. SIGINT, SIGTERM or SIGHUP closes the open "
    "file.\n"
    "  kestrand-cli --version\n"
    "      Print the program version.\n"
    "  kestrand-cli --help\n"
    "      Print this help.\n";

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

int usageError(const std::string& what) {
  std::cerr << "kestrand-cli" << what << "\n" << kUsage;
  return 2;
}

// The options of `receive`.
const QCommandLineOption kPort("port", "Serial device", "PATH");
const QCommandLineOption kDataDir("data-dir", "Directory of the raw data files", "DIR", ".");
const QCommandLineOption kOnce("once", "End after the first upload");

int receive(QCoreApplication& qapp, const QCommandLineParser& options) {
  const std::string port = options.value(kPort).toStdString();
  std::string dataDir = options.value(kDataDir).toStdString();
  const bool once = options.isSet(kOnce);
  if (port.empty()) return usageError(" receive: --port PATH is required");
  while (dataDir.size() > 1 && dataDir.back() == '/') dataDir.pop_back();

  kestrand::platform::posix::PosixFileSystem fs(dataDir);
  kestrand::platform::posix::SystemClock clock;
  kestrand::platform::qt::QtTimerFactory timers;
  kestrand::platform::qt::QtSerialPort serial;
  kestrand::cli::ConsoleView view(std::cout, std::cerr);
  kestrand::cli::ConsoleMessageBox box(std::cerr);
  kestrand::cli::Receiver receiver({view, box, fs, clock, timers, serial}, dataDir);

  // A reader that went away must not end an upload: a write to a closed pipe fails quietly
  // (the console view drops the line) instead of killing the program.
  ::signal(SIGPIPE, SIG_IGN);
  // SIGINT, SIGTERM and SIGHUP come back through the event loop, so the open file is closed in
  // order.
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
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);

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

// A subcommand: its name, the options it takes, and what it does with them.
struct Command {
  const char* name;
  QList<QCommandLineOption> options;
  int (*run)(QCoreApplication&, const QCommandLineParser&);
};

const Command kCommands[] = {
    {"receive", {kPort, kDataDir, kOnce}, receive},
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication qapp(argc, argv);
  const QStringList args = QCoreApplication::arguments();

  // The first word is either an option of the program or the name of a subcommand; everything
  // after the subcommand's name belongs to the subcommand.
  QCommandLineParser program;
  program.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
  const QCommandLineOption help({"h", "help"}, "Print this help.");
  const QCommandLineOption version("version", "Print the program version.");
  program.addOptions({help, version});
  program.addPositionalArgument("command", "The subcommand.");
  if (!program.parse(args)) return usageError(": " + program.errorText().toStdString());
  if (program.isSet(help)) {
    std::cout << kUsage;
    return 0;
  }
  if (program.isSet(version)) {
    std::cout << "Version " << kestrand::versionText() << "\n";
    return 0;
  }
  const QStringList words = program.positionalArguments();
  if (words.isEmpty()) {
    std::cout << kUsage;
    return 2;
  }
  for (const Command& command : kCommands) {
    if (words[0] != QLatin1String(command.name)) continue;
    QCommandLineParser options;
    options.addOptions(command.options);
    const std::string prefix = std::string(" ") + command.name + ": ";
    if (!options.parse(QStringList{args[0]} + words.mid(1)))
      return usageError(prefix + options.errorText().toStdString());
    if (!options.positionalArguments().isEmpty())
      return usageError(prefix + "unexpected argument '" +
                        options.positionalArguments()[0].toStdString() + "'");
    return command.run(qapp, options);
  }
  return usageError(": unknown command '" + words[0].toStdString() + "'");
}
