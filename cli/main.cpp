// kestrand-cli: the headless front end over the program's own logic.
//
//   kestrand-cli receive --port PATH [--data-dir DIR] [--once]
//   kestrand-cli chart FILE --png OUT.png [--size WIDTHxHEIGHT] [--reference LEVEL] [--data-dir
//   DIR] kestrand-cli stats FILE [--data-dir DIR] kestrand-cli --version | --help

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <iostream>
#include <memory>
#include <string>

#include "cli/console_view.h"
#include "cli/readings.h"
#include "cli/receiver.h"
#include "core/version.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/system_clock.h"
#include "platform/qt/chart_widget.h"
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
    "  kestrand-cli chart FILE --png OUT.png [--size WIDTHxHEIGHT] [--reference LEVEL]\n"
    "                    [--data-dir DIR]\n"
    "      Draw the chart of the upload in the raw data file FILE (one line per value column\n"
    "      against the time of the samples) into OUT.png (OUT.pdf for a PDF), 1200x700 unless\n"
    "      --size says otherwise. The reference level is LEVEL, else the one saved in DIR.\n"
    "  kestrand-cli stats FILE [--data-dir DIR]\n"
    "      Print one line per value column of FILE: title, samples, minimum, maximum, time of\n"
    "      the maximum, mean and RMS mean, separated by TABs.\n"
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

// The options of `chart` and `stats`.
const QCommandLineOption kPng("png", "Image to write", "OUT.png");
const QCommandLineOption kSize("size", "Image size", "WIDTHxHEIGHT", "1200x700");
const QCommandLineOption kReference("reference", "Reference level", "LEVEL");

std::string dataDirOf(const QCommandLineParser& options) {
  std::string dir = options.value(kDataDir).toStdString();
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

// The readings of FILE, or the reader's messages on standard error and nullopt.
std::optional<kestrand::cli::Readings> readingsOf(const QCommandLineParser& options,
                                                  const char* command) {
  kestrand::platform::posix::PosixFileSystem fs;
  std::vector<std::string> messages;
  auto readings = kestrand::cli::loadReadings(fs, options.positionalArguments()[0].toStdString(),
                                              dataDirOf(options), messages);
  for (std::string m : messages) {
    // The program's line break (LF CR) becomes the console's.
    for (auto at = m.find("\n\r"); at != std::string::npos; at = m.find("\n\r", at + 1))
      m.erase(at + 1, 1);
    std::cerr << "kestrand-cli " << command << ": " << m << "\n";
  }
  return readings;
}

int stats(QCoreApplication&, const QCommandLineParser& options) {
  const auto readings = readingsOf(options, "stats");
  if (!readings) return 1;
  for (const auto& s : kestrand::view::columnStats(readings->chart)) {
    std::cout << kestrand::view::statsLine(s) << "\n";
  }
  return 0;
}

int chart(QCoreApplication&, const QCommandLineParser& options) {
  const QString png = options.value(kPng);
  if (png.isEmpty()) return usageError(" chart: --png OUT.png is required");
  const QStringList size = options.value(kSize).split('x');
  bool okW = false, okH = false;
  const int w = size.value(0).toInt(&okW), h = size.value(1).toInt(&okH);
  if (size.size() != 2 || !okW || !okH || w < 1 || h < 1 || w > 20000 || h > 20000)
    return usageError(" chart: --size wants WIDTHxHEIGHT");
  std::optional<double> level;
  if (options.isSet(kReference)) {
    level = kestrand::view::parseReferenceLevel(options.value(kReference).toStdString());
    if (!level) return usageError(" chart: --reference wants a number above 0");
  }
  const auto readings = readingsOf(options, "chart");
  if (!readings) return 1;
  kestrand::platform::posix::PosixFileSystem fs;
  kestrand::platform::qt::ChartWidget widget(fs, dataDirOf(options));
  if (level) widget.setReference(level);
  widget.setData(readings->chart, readings->name);
  if (!widget.saveChart(png, QSize(w, h))) {
    std::cerr << "kestrand-cli chart: cannot write " << png.toStdString() << "\n";
    return 1;
  }
  return 0;
}

// A subcommand: its name, the options it takes, how many words follow it, and what it does.
struct Command {
  const char* name;
  QList<QCommandLineOption> options;
  int (*run)(QCoreApplication&, const QCommandLineParser&);
  qsizetype arguments = 0;
  const char* argumentName = "";
  bool widgets = false;  // needs a QApplication (drawing)
};

const Command kCommands[] = {
    {"receive", {kPort, kDataDir, kOnce}, receive},
    {"chart", {kPng, kSize, kReference, kDataDir}, chart, 1, "FILE", true},
    {"stats", {kDataDir}, stats, 1, "FILE"},
};

}  // namespace

int main(int argc, char** argv) {
  // Drawing needs a QApplication; it draws offscreen unless a platform is named.
  bool widgets = false;
  for (const Command& command : kCommands) {
    if (argc > 1 && std::string(argv[1]) == command.name) widgets = command.widgets;
  }
  if (widgets && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  std::unique_ptr<QCoreApplication> app = widgets ? std::make_unique<QApplication>(argc, argv)
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
    if (given.size() < command.arguments)
      return usageError(prefix + command.argumentName + " is required");
    return command.run(qapp, options);
  }
  return usageError(": unknown command '" + words[0].toStdString() + "'");
}
