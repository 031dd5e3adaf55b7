// kestrand-cli: the headless front end over the program's own logic.
//
//   kestrand-cli receive --port PATH [--data-dir DIR] [--once]
//   kestrand-cli export FILE OUT.csv [--data-dir DIR]
//   kestrand-cli print FILE (--pdf OUT.pdf | --text OUT.txt) [--data-dir DIR]
//   kestrand-cli --version | --help

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "app/data_files.h"
#include "cli/console_view.h"
#include "cli/receiver.h"
#include "cli/table_file.h"
#include "core/version.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/system_clock.h"
#include "platform/qt/qt_printer.h"
#include "platform/qt/qt_timer.h"
#include "platform/qt/serial/qt_serial_port.h"
#include "view/csv.h"
#include "view/report.h"

namespace {

const char* kUsage =
    "Usage:\n"
    "  kestrand-cli receive --port PATH [--data-dir DIR] [--once]\n"
    "      Receive uploads from a meter on the serial device PATH (9600 baud, 8N1) into DIR\n"
    "      (default: the current directory), exactly as the desktop program does. New file-list\n"
    "      entries go to standard output; status texts, messages and message boxes to standard\n"
    "      error. --once ends after the first upload. SIGINT, SIGTERM or SIGHUP closes the open "
    "file.\n"
    "  kestrand-cli export FILE OUT.csv [--data-dir DIR]\n"
    "      Read FILE (a raw data file, or a CSV file when its name ends in .csv; a bare name is\n"
    "      looked for in DIR) as the desktop program shows it, and write OUT.csv exactly as its\n"
    "      \"Save as\" does. The program's messages go to standard error.\n"
    "  kestrand-cli print FILE (--pdf OUT.pdf | --text OUT.txt) [--data-dir DIR]\n"
    "      Read FILE as export does and render the printed report: as a PDF file with the\n"
    "      printer's font and positions, or as text, one printed line a line and a line of a\n"
    "      single form feed where a new page starts.\n"
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

// The data directory option's value without trailing separators.
std::string dataDirOf(const QCommandLineParser& options) {
  std::string dataDir = options.value(kDataDir).toStdString();
  while (dataDir.size() > 1 && dataDir.back() == '/') dataDir.pop_back();
  return dataDir;
}

// Loads FILE for export and print; prints the program's messages. Null when nothing was read.
std::unique_ptr<kestrand::cli::LoadedTable> load(const char* command,
                                                 const QCommandLineParser& options) {
  const std::string dataDir = dataDirOf(options);
  kestrand::platform::posix::PosixFileSystem fs(dataDir);
  kestrand::platform::posix::SystemClock clock;
  auto loaded = std::make_unique<kestrand::cli::LoadedTable>(
      kestrand::cli::loadTable(fs, dataDir, options.positionalArguments()[0].toStdString(), clock));
  for (const std::string& m : loaded->messages)
    std::cerr << "kestrand-cli " << command << ": " << m << "\n";
  if (!loaded->readable) return nullptr;
  return loaded;
}

int exportCsv(QCoreApplication&, const QCommandLineParser& options) {
  const auto loaded = load("export", options);
  if (!loaded) return 1;
  if (!kestrand::view::hasColumnsInUse(*loaded->table)) {
    std::cerr << "kestrand-cli export: " << kestrand::MessageCatalogue().saveEntry() << "\n";
    return 1;
  }
  const std::string out = options.positionalArguments()[1].toStdString();
  kestrand::platform::posix::PosixFileSystem fs(dataDirOf(options));
  try {
    kestrand::app::writeCsvFile(fs, out, *loaded->table);
  } catch (const kestrand::Error& e) {
    std::cerr << "kestrand-cli export: Error on Save!  " << e.description() << "\n";
    return 1;
  }
  return 0;
}

const QCommandLineOption kPdf("pdf", "Render the report as a PDF file", "OUT.pdf");
const QCommandLineOption kText("text", "Write the report's lines as text", "OUT.txt");

int print(QCoreApplication&, const QCommandLineParser& options) {
  if (options.isSet(kPdf) == options.isSet(kText))
    return usageError(" print: exactly one of --pdf OUT.pdf and --text OUT.txt is required");
  const auto loaded = load("print", options);
  if (!loaded) return 1;
  const auto pages = kestrand::view::PrintReport(*loaded->table, loaded->header);
  try {
    if (options.isSet(kPdf)) {
      kestrand::platform::qt::QtPrinter pdf(options.value(kPdf).toStdString());
      kestrand::app::printPages(pages, pdf);
    } else {
      kestrand::platform::posix::PosixFileSystem fs(dataDirOf(options));
      fs.writeAll(options.value(kText).toStdString(), kestrand::view::reportText(pages));
    }
  } catch (const kestrand::Error& e) {
    std::cerr << "kestrand-cli print: Error on Open!  " << e.description() << "\n";
    return 1;
  }
  return 0;
}

// A subcommand: its name, the options it takes, the number of positional arguments it needs,
// and what it does with them.
struct Command {
  const char* name;
  QList<QCommandLineOption> options;
  int (*run)(QCoreApplication&, const QCommandLineParser&);
  qsizetype arguments = 0;
};

const Command kCommands[] = {
    {"receive", {kPort, kDataDir, kOnce}, receive},
    {"export", {kDataDir}, exportCsv, 2},
    {"print", {kDataDir, kPdf, kText}, print, 1},
};

}  // namespace

int main(int argc, char** argv) {
  // The report's PDF needs fonts: "print" runs a GUI application, on the offscreen platform
  // unless another is asked for.
  const bool printing = argc > 1 && std::string(argv[1]) == "print";
  if (printing) ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::unique_ptr<QCoreApplication> app = printing ? std::make_unique<QGuiApplication>(argc, argv)
                                                   : std::make_unique<QCoreApplication>(argc, argv);
  QCoreApplication& qapp = *app;
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
    const QStringList given = options.positionalArguments();
    if (given.size() > command.arguments)
      return usageError(prefix + "unexpected argument '" + given[command.arguments].toStdString() +
                        "'");
    if (given.size() < command.arguments) return usageError(prefix + "missing argument");
    return command.run(qapp, options);
  }
  return usageError(": unknown command '" + words[0].toStdString() + "'");
}
