// kestrand-cli: the headless front end over the program's own logic.
//
//   kestrand-cli receive --port PATH [--data-dir DIR] [--once]
//   kestrand-cli list [--data-dir DIR]
//   kestrand-cli view FILE [--data-dir DIR]
//   kestrand-cli export FILE OUT.csv [--data-dir DIR]
//   kestrand-cli print FILE (--pdf OUT.pdf | --text OUT.txt) [--data-dir DIR]
//   kestrand-cli chart FILE --png OUT.png [--size WIDTHxHEIGHT] [--reference LEVEL] [--data-dir
//   DIR] kestrand-cli stats FILE [--data-dir DIR] kestrand-cli --version | --help

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "app/data_files.h"
#include "cli/console_view.h"
#include "cli/receiver.h"
#include "core/version.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/system_clock.h"
#include "platform/qt/chart_painter.h"
#include "platform/qt/qt_printer.h"
#include "platform/qt/qt_timer.h"
#include "platform/qt/serial/qt_serial_port.h"
#include "view/csv.h"
#include "view/report.h"
#include "view/stats.h"

namespace {

const char* kUsage =
    "Usage:\n"
    "  kestrand-cli receive --port PATH [--data-dir DIR] [--once]\n"
    "      Receive uploads from a meter on the serial device PATH (9600 baud, 8N1) into DIR\n"
    "      (default: the current directory), exactly as the desktop program does. New file-list\n"
    "      entries go to standard output; status texts, messages and message boxes to standard\n"
    "      error. --once ends after the first upload. SIGINT, SIGTERM or SIGHUP closes the open "
    "file.\n"
    "  kestrand-cli list [--data-dir DIR]\n"
    "      Print the file list of DIR (default: the current directory), one entry a line, as\n"
    "      the desktop program lists it at start. Message boxes go to standard error as\n"
    "      TITLE: TEXT; the exit status is 1 when an error box was shown.\n"
    "  kestrand-cli view FILE [--data-dir DIR]\n"
    "      Read FILE (a raw data file, or a CSV file when its name ends in .csv, as \"Open\"\n"
    "      reads it) as \"View\" does and print the eight information labels,\n"
    "      one a line, an empty line, then the data grid from its title row down, cells\n"
    "      separated by a TAB. Dates and times take DIR's display formats. Exit status 1 when\n"
    "      an error box was shown.\n"
    "  kestrand-cli export FILE OUT.csv [--data-dir DIR]\n"
    "      Read FILE as view does and write OUT.csv exactly as \"Save as\" does. The program's\n"
    "      messages go to standard error.\n"
    "  kestrand-cli print FILE (--pdf OUT.pdf | --text OUT.txt) [--data-dir DIR]\n"
    "      Read FILE as export does and render the printed report: as a PDF file with the\n"
    "      printer's font and positions, or as text, one printed line a line and a line of a\n"
    "      single form feed where a new page starts.\n"
    "  kestrand-cli chart FILE --png OUT.png [--size WIDTHxHEIGHT] [--reference LEVEL]\n"
    "                    [--data-dir DIR]\n"
    "      Draw the chart of FILE (read as view reads it: one line per value column against\n"
    "      the time of the samples) into OUT.png (OUT.pdf for a PDF), 1200x700 unless\n"
    "      --size says otherwise. The reference level is LEVEL, else the one saved in DIR.\n"
    "  kestrand-cli stats FILE [--data-dir DIR]\n"
    "      Print one line per value column of FILE (read as view reads it): title, samples, "
    "minimum, maximum, time of\n"
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

bool endsWithCsv(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return tail == ".csv";
}

// The program's state and logic over the console, loaded as at start-up without a port.
struct Headless {
  explicit Headless(const std::string& dataDir)
      : fs(dataDir), prog({view, box, fs, clock, timers, serial}, dataDir) {}

  // The load steps, with or without the file list; false (after saying why) when one failed.
  bool load(bool listFiles) {
    try {
      prog.load({.openPort = {}, .listFiles = listFiles, .failed = {}});
      return true;
    } catch (const kestrand::Error& e) {
      std::cerr << "kestrand-cli: " << e.description() << "\n";
      return false;
    }
  }
  int status() const { return box.errorBoxes > 0 ? 1 : 0; }

  // Reads FILE (a path, or a bare name in the current directory) into the table as the desktop
  // program shows it: a raw data file as "View" reads it, a saved CSV file as "Open" does.
  // False when nothing could be read.
  bool read(const std::string& path) {
    using kestrand::platform::LabelId;
    if (endsWithCsv(path)) {
      return kestrand::app::OpenCsvFile(prog, path, [this](const std::string& text) {
        box.show(text, kestrand::platform::Buttons::kOk, false, "Data Warning");
      });
    }
    const auto slash = path.rfind('/');
    const std::string dir =
        slash == std::string::npos ? "." : path.substr(0, std::max<size_t>(slash, 1));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // The steps of "View" on a list entry.
    view.setLabel(LabelId::kStatDat, "Reading Raw Data File");
    const int before = box.errorBoxes;
    prog.ReadRawDataFile(name, dir);
    view.setLabel(LabelId::kStatDat, "Updating table");
    prog.UpdateDataTable();
    view.setLabel(LabelId::kStatDat, "Table updated");
    return box.errorBoxes == before || prog.table.NumSamples > 0;
  }

  kestrand::platform::posix::PosixFileSystem fs;
  kestrand::platform::posix::SystemClock clock;
  kestrand::platform::qt::QtTimerFactory timers;
  kestrand::platform::qt::QtSerialPort serial;  // never opened
  kestrand::cli::ConsoleView view{std::cout, std::cerr};
  kestrand::cli::ConsoleMessageBox box{std::cerr};
  kestrand::app::Program prog;
};

int list(QCoreApplication&, const QCommandLineParser& options) {
  // The console view prints each entry as it is added.
  Headless h(dataDirOf(options));
  if (!h.load(true)) return 1;
  return h.status();
}

int view(QCoreApplication&, const QCommandLineParser& options) {
  using kestrand::platform::LabelId;
  const std::string path = options.positionalArguments().at(0).toStdString();

  Headless h(dataDirOf(options));
  if (!h.load(false)) return 1;
  h.read(path);

  for (LabelId id :
       {LabelId::kLblStartDate, LabelId::kLblEndDate, LabelId::kLblStartTime, LabelId::kLblEndTime,
        LabelId::kLblSampleCnt, LabelId::kLblProbeModel, LabelId::kLblUnits, LabelId::kMavgMess}) {
    std::cout << h.view.label(id) << "\n";
  }
  std::cout << "\n";
  h.view.printGrid(std::cout);
  std::cout.flush();
  return h.status();
}

int exportCsv(QCoreApplication&, const QCommandLineParser& options) {
  Headless h(dataDirOf(options));
  if (!h.load(false) || !h.read(options.positionalArguments()[0].toStdString())) return 1;
  if (!kestrand::view::hasColumnsInUse(h.prog.table)) {
    std::cerr << "kestrand-cli export: " << kestrand::MessageCatalogue().saveEntry() << "\n";
    return 1;
  }
  const std::string out = options.positionalArguments()[1].toStdString();
  try {
    kestrand::app::writeCsvFile(h.fs, out, h.prog.table);
  } catch (const kestrand::Error& e) {
    std::cerr << "kestrand-cli export: Error on Save!  " << e.description() << "\n";
    return 1;
  }
  return 0;
}

// The chart series of the table on display, as the "Chart" tab draws them.
kestrand::view::ChartData chartOf(const Headless& h) {
  return kestrand::view::chartData(h.prog.grid, h.prog.table, h.prog.header,
                                   h.prog.formats.dateChoice());
}

int stats(QCoreApplication&, const QCommandLineParser& options) {
  Headless h(dataDirOf(options));
  if (!h.load(false) || !h.read(options.positionalArguments()[0].toStdString()) ||
      h.prog.table.NumSamples < 1)
    return 1;
  for (const auto& s : kestrand::view::columnStats(chartOf(h))) {
    std::cout << kestrand::view::statsLine(s) << "\n";
  }
  return 0;
}

int chart(QCoreApplication&, const QCommandLineParser& options) {
  const QString png = options.value(kPng);
  if (png.isEmpty()) return usageError(" chart: --png OUT.png is required");
  const QStringList size = options.value(kSize).split('x');
  bool okW = false, okH = false;
  const int width = size.value(0).toInt(&okW), height = size.value(1).toInt(&okH);
  if (size.size() != 2 || !okW || !okH || width < 1 || height < 1 || width > 20000 ||
      height > 20000)
    return usageError(" chart: --size wants WIDTHxHEIGHT");
  std::optional<double> level;
  if (options.isSet(kReference)) {
    level = kestrand::view::parseReferenceLevel(options.value(kReference).toStdString());
    if (!level) return usageError(" chart: --reference wants a number above 0");
  }
  Headless h(dataDirOf(options));
  const std::string path = options.positionalArguments()[0].toStdString();
  if (!h.load(false) || !h.read(path) || h.prog.table.NumSamples < 1) return 1;
  namespace qt = kestrand::platform::qt;
  qt::ChartOptions look;
  look.reference = level ? level : kestrand::view::readReferenceLevel(h.fs, dataDirOf(options));
  look.title = path.substr(path.rfind('/') + 1);
  const QByteArray bytes = qt::chartFile(
      png.endsWith(".pdf", Qt::CaseInsensitive) ? qt::ChartFileType::kPdf : qt::ChartFileType::kPng,
      QSize(width, height), chartOf(h), look);
  try {
    if (bytes.isEmpty()) throw kestrand::Error(kestrand::ErrorKind::kGeneral, "nothing drawn");
    h.fs.writeAll(png.toStdString(),
                  std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  } catch (const kestrand::Error& e) {
    std::cerr << "kestrand-cli chart: cannot write " << png.toStdString() << ": " << e.description()
              << "\n";
    return 1;
  }
  return 0;
}

const QCommandLineOption kPdf("pdf", "Render the report as a PDF file", "OUT.pdf");
const QCommandLineOption kText("text", "Write the report's lines as text", "OUT.txt");

int print(QCoreApplication&, const QCommandLineParser& options) {
  if (options.isSet(kPdf) == options.isSet(kText))
    return usageError(" print: exactly one of --pdf OUT.pdf and --text OUT.txt is required");
  Headless h(dataDirOf(options));
  if (!h.load(false) || !h.read(options.positionalArguments()[0].toStdString())) return 1;
  const auto pages = kestrand::view::PrintReport(h.prog.table, h.prog.header);
  try {
    if (options.isSet(kPdf)) {
      kestrand::platform::qt::QtPrinter pdf(options.value(kPdf).toStdString());
      kestrand::app::printPages(pages, pdf);
    } else {
      h.fs.writeAll(options.value(kText).toStdString(), kestrand::view::reportText(pages));
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
  const char* argumentName = "";
  bool widgets = false;  // needs a QApplication (drawing)
};

const Command kCommands[] = {
    {"receive", {kPort, kDataDir, kOnce}, receive},
    {"list", {kDataDir}, list},
    {"view", {kDataDir}, view, 1, "FILE"},
    {"export", {kDataDir}, exportCsv, 2, "FILE and OUT.csv"},
    {"print", {kDataDir, kPdf, kText}, print, 1, "FILE", true},
    {"chart", {kPng, kSize, kReference, kDataDir}, chart, 1, "FILE", true},
    {"stats", {kDataDir}, stats, 1, "FILE"},
};

}  // namespace

int main(int argc, char** argv) {
  // Drawing (the chart, the report's PDF with its fonts) needs a QApplication; it draws offscreen
  // unless a platform is named.
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
