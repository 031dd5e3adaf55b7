// kestrand-cli: the headless front end over the program's own logic. `kestrand-cli --help`
// lists the commands; each command answers --help with its own usage.

#include <fcntl.h>
#include <langinfo.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QSocketNotifier>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "adapters/posix/posix_file_system.h"
#include "adapters/posix/system_clock.h"
#include "adapters/qt/qt_timer.h"
#include "adapters/qt/serial/qt_serial_port.h"
#include "app/data_files.h"
#include "app/headless.h"
#include "app/report.h"
#include "app/settings_files.h"
#include "app/survey.h"
#include "app/whole_upload.h"
#include "cli/console.h"
#include "cli/receiver.h"
#include "core/version.h"
#include "datetime/format_preferences.h"
#include "store/notes.h"
#include "view/assessment.h"
#include "view/csv.h"
#include "view/exposure.h"
#include "view/report.h"
#include "view/stats.h"
#include "view/survey.h"

// The program is built twice from this file. kestrand-cli has no drawing libraries (the windowing
// system's platform, fonts and widgets cost a start-up their every command would pay): it hands
// the commands that draw to its drawing half, kestrand-cli-draw.so, built with KESTRAND_CLI_DRAWS,
// which runs them all.
#if KESTRAND_CLI_DRAWS
#include <QGuiApplication>

#include "adapters/qt/chart_painter.h"
#include "adapters/qt/qt_printer.h"
#include "adapters/qt/report_pdf.h"
#else
#include "cli/drawing_program.h"
#endif

namespace {

const char* const kExitCodes =
    "Exit status: 0 done; 1 a file could not be read or written, the reading showed an error\n"
    "box, or there was nothing to show; 2 the command line was wrong.\n";

const char* const kReceiveUsage =
    "  kestrand-cli receive --port PATH [--data-dir DIR] [--once]\n"
    "      Receive uploads from a meter on the serial device PATH (9600 baud, 8N1) into DIR\n"
    "      (default: the current directory), exactly as the desktop program does. New file-list\n"
    "      entries go to standard output; status texts, messages and message boxes to standard\n"
    "      error. --once ends after the first upload. SIGINT, SIGTERM or SIGHUP closes the open\n"
    "      file.\n";
const char* const kListUsage =
    "  kestrand-cli list [--data-dir DIR]\n"
    "      Print the file list of DIR (default: the current directory), one entry a line, as\n"
    "      the desktop program lists it at start, control characters as \\xHH. Message boxes go\n"
    "      to standard error as TITLE: TEXT.\n";
const char* const kViewUsage =
    "  kestrand-cli view FILE [--data-dir DIR]\n"
    "      Read FILE (a raw data file, or a CSV file when its name ends in .csv, as \"Open\"\n"
    "      reads it) as \"View\" does and print the eight information labels, one a line, an\n"
    "      empty line, then the data grid from its title row down, cells separated by a TAB.\n"
    "      Dates and times take DIR's display formats.\n";
const char* const kExportUsage =
    "  kestrand-cli export FILE OUT.csv [--data-dir DIR]\n"
    "      Read FILE as view does and write OUT.csv exactly as \"Save as\" does. The program's\n"
    "      messages go to standard error.\n";
const char* const kPrintUsage =
    "  kestrand-cli print FILE (--pdf OUT.pdf | --text OUT.txt) [--data-dir DIR]\n"
    "      Read FILE as export does and render the printed report: as a PDF file with the\n"
    "      printer's font and positions, or as text, one printed line a line and a line of a\n"
    "      single form feed where a new page starts.\n";
const char* const kChartUsage =
    "  kestrand-cli chart FILE --png OUT.png [--size WIDTHxHEIGHT] [--reference LEVEL]\n"
    "                    [--whole] [--data-dir DIR]\n"
    "      Draw the chart of FILE (read as view reads it: one line per value column against\n"
    "      the time of the samples) into OUT.png (OUT.pdf for a PDF), 1200x700 unless\n"
    "      --size says otherwise (at most 10000 a side and 50 million pixels). The reference\n"
    "      level is LEVEL (a number above 0, such as 5.5), else the one saved in DIR.\n";
const char* const kStatsUsage =
    "  kestrand-cli stats FILE [--whole] [--data-dir DIR]\n"
    "      Print one line per value column of FILE (read as view reads it): title, samples,\n"
    "      minimum, maximum, time of the maximum, mean and RMS mean, separated by TABs.\n"
    "      --whole: of the whole upload, FILE's first file and its continuation files.\n";
const char* const kNotesUsage =
    "  kestrand-cli notes FILE [--site S] [--operator O] [--comment C] [--client C]\n"
    "                     [--instrument-serial N] [--calibration-date D]\n"
    "      Print the notes of FILE (kept beside it in FILE's name ending in .notes) as that\n"
    "      file holds them: Site, Operator and Comment, a line each, then Client, Instrument\n"
    "      serial and Calibration date when they hold a value, a backslash as \\\\ and a line\n"
    "      break as \\n. With options, set those values (UTF-8) and keep the others; an empty\n"
    "      value clears one.\n";
const char* const kReportUsage =
    "  kestrand-cli report FILE --pdf OUT.pdf [--reference LEVEL] [--whole] [--no-listing]\n"
    "                      [--data-dir DIR] [--standard ID --frequency F [--uncertainty DB]]\n"
    "      Write the survey report of FILE (read as view reads it) as a PDF file: a summary\n"
    "      (the file, its notes, the information labels, the statistics against the reference\n"
    "      level, the chart), then the pages print writes. --whole: the summary of the whole\n"
    "      upload, then each of its files' pages. The level is LEVEL, else the one saved in\n"
    "      DIR. --standard: an assessment page, its rows as assess prints them, follows the\n"
    "      summary, and the chart shows the limit. --no-listing: the summary alone.\n";

const char* const kLimitsUsage =
    "  kestrand-cli limits --standard ID --frequency F\n"
    "  kestrand-cli limits --list\n"
    "      Print the reference levels of the exposure standard ID at the frequency F (a number\n"
    "      followed by Hz, kHz, MHz or GHz, such as 900MHz or 1.8GHz): lines E, H and S, each\n"
    "      with the level, its unit and \"table\" or \"derived\" (the plane-wave equivalent with\n"
    "      377 ohms where the table gives none), then the averaging time in seconds. --list\n"
    "      prints the ids with their full names. A frequency outside the standard's range\n"
    "      exits 1.\n";
const char* const kAssessUsage =
    "  kestrand-cli assess FILE --standard ID --frequency F [--uncertainty DB] [--whole]\n"
    "                     [--data-dir DIR]\n"
    "      Assess the readings of FILE (read as stats reads it) against the exposure standard\n"
    "      ID at the frequency F: a line beginning with # names the standard, the frequency and\n"
    "      the averaging time; then per column in a field, squared-field or power-density unit:\n"
    "      title, units, limit, maximum, maximum in % of the field and of the power-density\n"
    "      limit, the highest time average over the averaging time, its % of the power-density\n"
    "      limit, when its window starts, the % of that window measured, the verdict (complies,\n"
    "      exceeds, inconclusive) and its basis (averaged, or maximum for an upload shorter\n"
    "      than the averaging time), separated by TABs. DB is the expanded uncertainty in dB\n"
    "      (default 0). Columns in other units are named on standard error; none assessed\n"
    "      exits 1.\n";

// The name the user gave on the command line, as its bytes. The arguments reach Qt's parser as
// Latin-1, one character per byte, so that every name comes back byte for byte whatever its
// encoding; QFile::decodeName would turn bytes that are not UTF-8 into replacement characters.
std::string bytes(const QString& argument) {
  return argument.toLatin1().toStdString();
}

int usageError(const std::string& what, const char* usage) {
  std::cerr << "kestrand-cli" << what << "\nUsage:\n" << usage;
  return 2;
}

// A whole option value as a number in the C form; nullopt for anything else ("5,5", "0x10",
// "5abc", " 5").
template <typename T>
std::optional<T> wholeNumber(std::string_view text) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return {};
  return value;
}

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
  // The event loop ends the receiver in order; should anything keep it from running, the
  // receiver still ends within a second. Each message was synced when it was acknowledged.
  ::alarm(1);
}

void onLateEnd(int) {
  const char text[] = "kestrand-cli receive: ended without closing the file in order\n";
  [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, text, sizeof text - 1);
  ::_exit(1);
}

const QCommandLineOption kPort("port", "Serial device", "PATH");
const QCommandLineOption kDataDir("data-dir", "Directory of the raw data files", "DIR", ".");
const QCommandLineOption kOnce("once", "End after the first upload");
const QCommandLineOption kPng("png", "Image to write", "OUT.png");
const QCommandLineOption kSize("size", "Image size", "WIDTHxHEIGHT", "1200x700");
const QCommandLineOption kReference("reference", "Reference level", "LEVEL");
const QCommandLineOption kPdf("pdf", "Render the report as a PDF file", "OUT.pdf");
const QCommandLineOption kText("text", "Write the report's lines as text", "OUT.txt");
const QCommandLineOption kWhole("whole", "The whole upload: the first file and its continuations");
const QCommandLineOption kNoListing("no-listing", "The summary without the listing pages");
const QCommandLineOption kStandard("standard", "Exposure standard", "ID");
const QCommandLineOption kFrequency("frequency", "Frequency", "F");
const QCommandLineOption kList("list", "The standards' ids and names");
const QCommandLineOption kUncertainty("uncertainty", "Expanded uncertainty", "DB");
const QCommandLineOption kSite("site", "Where the upload was measured", "S");
const QCommandLineOption kOperator("operator", "Who measured", "O");
const QCommandLineOption kComment("comment", "A remark", "C");
const QCommandLineOption kClient("client", "Who the survey is for", "C");
const QCommandLineOption kSerial("instrument-serial", "The meter's serial number", "N");
const QCommandLineOption kCalibration("calibration-date", "When the meter was calibrated", "D");

std::string dataDirOf(const QCommandLineParser& options) {
  std::string dir = bytes(options.value(kDataDir));
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

int receive(QCoreApplication& qapp, const QCommandLineParser& options) {
  const std::string port = bytes(options.value(kPort));
  const std::string dataDir = dataDirOf(options);
  if (port.empty()) return usageError(" receive: --port PATH is required", kReceiveUsage);

  kestrand::adapters::posix::PosixFileSystem fs(dataDir);
  kestrand::adapters::posix::SystemClock clock;
  kestrand::adapters::qt::QtTimerFactory timers;
  kestrand::adapters::qt::QtSerialPort serial;
  kestrand::app::HeadlessWindow window(kestrand::cli::consoleOutput(std::cout, std::cerr));
  kestrand::cli::Receiver receiver({window, window, fs, clock, timers, serial}, dataDir);

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
  sa.sa_handler = onLateEnd;
  sigaction(SIGALRM, &sa, nullptr);

  try {
    receiver.start(port);
  } catch (const kestrand::Error& e) {
    std::cerr << "kestrand-cli receive: " << e.description() << "\n";
    return 1;
  }

  if (options.isSet(kOnce)) {
    // Queued, so the handler that ended the upload runs to its end and sends its answer first.
    receiver.onEnded(
        [&] { QMetaObject::invokeMethod(&qapp, &QCoreApplication::quit, Qt::QueuedConnection); });
  }
  qapp.exec();
  receiver.stop();
  ::alarm(0);
  return 0;
}

using kestrand::view::endsWithCsv;

// kestrand-cli's services and the headless program over them, shown on the console.
struct Headless {
  explicit Headless(const std::string& dataDir)
      : fs(dataDir),
        app({fs, clock, timers, serial}, dataDir,
            kestrand::cli::consoleOutput(std::cout, std::cerr)),
        prog(app.prog) {}

  // The load steps, with or without the file list; false (after saying why) when one failed.
  bool load(bool listFiles) {
    const auto failed = app.load(listFiles);
    if (failed) std::cerr << "kestrand-cli: " << *failed << "\n";
    return !failed;
  }
  int status() const { return app.status(); }
  // An error box: "RIviriro Error: TEXT" on standard error, and the status 1.
  void error(const std::string& text) { app.error(text); }
  kestrand::app::UploadReader reader() const { return app.reader(); }
  static std::pair<std::string, std::string> split(const std::string& path) {
    return kestrand::app::Headless::split(path);
  }

  // The whole upload raw data file `path` belongs to, its messages shown as error boxes. Says
  // so when it holds no samples.
  kestrand::app::WholeUpload whole(const std::string& path,
                                   const kestrand::app::WholeUploadWanted& wanted) {
    kestrand::app::WholeUpload upload = app.whole(path, wanted);
    if (upload.samples == 0) std::cerr << "kestrand-cli: no samples in " << path << "\n";
    return upload;
  }

  // Reads FILE as the desktop program shows it (app::Headless::read). False when nothing could
  // be read. What a CSV file lost, and a table left without samples, are said.
  bool read(const std::string& path) {
    int lost = 0;
    const bool read = app.read(path, &lost);
    // The program reads such a file short, as it always has; the console says what was lost.
    if (lost > 0)
      std::cerr << "kestrand-cli: " << lost << (lost == 1 ? " line" : " lines") << " of " << path
                << (lost == 1 ? " was" : " were")
                << " not read (blank or short lines took their places)\n";
    if (!read) return false;
    if (prog.doc.table().NumSamples < 1) {
      std::cerr << "kestrand-cli: no samples in " << path
                << (endsWithCsv(path) ? " (a CSV file needs a title line, then a line per sample,"
                                        " each of 16 characters or more)"
                                      : "")
                << "\n";
    }
    return true;
  }

  kestrand::adapters::posix::PosixFileSystem fs;
  kestrand::adapters::posix::SystemClock clock;
  kestrand::adapters::qt::QtTimerFactory timers;
  kestrand::adapters::qt::QtSerialPort serial;  // never opened
  kestrand::app::Headless app;
  kestrand::app::Program& prog;
};

// Refuses to write the command's output over a file it reads: FILE, the other files of the
// upload `files` (names in FILE's directory) when it reads them, their notes, and the settings
// files of DIR. Compared as files, through links.
bool writesOverInput(const Headless& h, const QCommandLineParser& options, const std::string& in,
                     const std::string& out, const char* command,
                     const std::vector<std::string>& files = {}) {
  const std::string dir = Headless::split(in).first, dataDir = dataDirOf(options);
  std::vector<std::string> read{in, kestrand::store::notesPath(in)};
  for (const std::string& name : files) {
    read.push_back(kestrand::ports::joinPath(dir, name));
    read.push_back(kestrand::store::notesPath(read.back()));
  }
  for (const std::string_view name :
       {kestrand::datetime::kDateSettingsFile, kestrand::datetime::kTimeSettingsFile,
        kestrand::app::kReferenceSettingsFile})
    read.push_back(kestrand::ports::joinPath(dataDir, std::string(name)));
  for (const std::string& file : read) {
    if (!h.fs.sameFile(file, out)) continue;
    std::cerr << "kestrand-cli " << command << ": " << out
              << (file == in ? " is the file being read" : " is " + file + ", which is read")
              << "; choose another name for the output\n";
    return true;
  }
  return false;
}

// How standard output shows text of the given encoding: as it is into a pipe or a file (nullopt),
// made harmless on a terminal.
std::optional<kestrand::cli::Terminal> terminalOutput(bool cp1252) {
  if (::isatty(STDOUT_FILENO) != 1) return std::nullopt;
  return kestrand::cli::Terminal{cp1252, std::string_view(::nl_langinfo(CODESET)) == "UTF-8"};
}

// A line of `text` on standard output, as `terminal` shows it when given.
void printLine(const std::string& text, const std::optional<kestrand::cli::Terminal>& terminal) {
  std::cout << (terminal ? kestrand::cli::terminalText(text, *terminal) : text) << "\n";
}

int list(QCoreApplication&, const QCommandLineParser& options) {
  // The console view prints each entry as it is added.
  Headless h(dataDirOf(options));
  if (!h.load(true)) return 1;
  return h.status();
}

int view(QCoreApplication&, const QCommandLineParser& options) {
  using kestrand::ports::LabelId;
  Headless h(dataDirOf(options));
  if (!h.load(false)) return 1;
  // After an error box the labels and the grid are shown as the desktop program then shows
  // them: emptied, or with the records read before the error.
  const bool read = h.read(bytes(options.positionalArguments().at(0)));
  const auto terminal = terminalOutput(true);
  for (LabelId id :
       {LabelId::kLblStartDate, LabelId::kLblEndDate, LabelId::kLblStartTime, LabelId::kLblEndTime,
        LabelId::kLblSampleCnt, LabelId::kLblProbeModel, LabelId::kLblUnits, LabelId::kMavgMess}) {
    printLine(h.app.window().label(id), terminal);
  }
  std::cout << "\n";
  kestrand::cli::printGrid(std::cout, h.app.window(), terminal ? &*terminal : nullptr);
  std::cout.flush();
  return read ? h.status() : 1;
}

int exportCsv(QCoreApplication&, const QCommandLineParser& options) {
  const std::string in = bytes(options.positionalArguments()[0]);
  const std::string out = bytes(options.positionalArguments()[1]);
  Headless h(dataDirOf(options));
  if (writesOverInput(h, options, in, out, "export") || !h.load(false) || !h.read(in)) return 1;
  if (!kestrand::view::hasColumnsInUse(h.prog.doc.table())) {
    std::cerr << "kestrand-cli export: " << kestrand::MessageCatalogue().saveEntry() << "\n";
    return 1;
  }
  try {
    kestrand::app::writeCsvFile(h.fs, out, h.prog.doc.table());
  } catch (const kestrand::Error& e) {
    std::cerr << "kestrand-cli export: Error on Save!  " << e.description() << "\n";
    return 1;
  }
  return h.status();
}

// --whole reads the files of an upload, which a CSV file is not.
bool wholeOfCsv(const QCommandLineParser& options, const std::string& path) {
  return options.isSet(kWhole) && endsWithCsv(path);
}
const char* const kWholeOfCsv = ": --whole reads the files of an upload; a CSV file is one file";

// The series the chart, the statistics and the assessment show: the table read from `path`, or
// with --whole the whole upload `path` belongs to, read a file at a time for what `wanted` asks
// (its chart then reduced). Without samples when there are none (the reason said).
kestrand::app::WholeUpload seriesOf(Headless& h, const QCommandLineParser& options,
                                    const std::string& path,
                                    const kestrand::app::WholeUploadWanted& wanted) {
  if (options.isSet(kWhole)) return h.whole(path, wanted);
  if (!h.read(path)) return {};
  return h.app.shownSeries(wanted);
}

int stats(QCoreApplication&, const QCommandLineParser& options) {
  const std::string path = bytes(options.positionalArguments()[0]);
  if (wholeOfCsv(options, path))
    return usageError(std::string(" stats") + kWholeOfCsv, kStatsUsage);
  Headless h(dataDirOf(options));
  if (!h.load(false)) return 1;
  const kestrand::app::WholeUpload series =
      seriesOf(h, options, path, {kestrand::app::kNoChart, {}, true});
  if (series.samples == 0) return 1;
  for (const auto& s : series.stats) std::cout << kestrand::view::statsLine(s) << "\n";
  return h.status();
}

#if KESTRAND_CLI_DRAWS
// The reference level of --reference (nullopt when not given); false when the value is no
// level.
bool referenceOption(const QCommandLineParser& options, std::optional<double>& level) {
  if (!options.isSet(kReference)) return true;
  level = wholeNumber<double>(bytes(options.value(kReference)));
  return level && kestrand::view::isReferenceLevel(*level);
}

int chart(QCoreApplication&, const QCommandLineParser& options) {
  const std::string png = bytes(options.value(kPng));
  if (png.empty()) return usageError(" chart: --png OUT.png is required", kChartUsage);
  // A chart beyond this is no longer a picture to look at, and its pixels alone take 200 MB.
  constexpr int kMaxSide = 10000;
  constexpr long kMaxPixels = 50'000'000;
  const std::string size = bytes(options.value(kSize));
  const auto x = size.find('x');
  const auto width = wholeNumber<int>(std::string_view(size).substr(0, x));
  const auto height = x == std::string::npos
                          ? std::nullopt
                          : wholeNumber<int>(std::string_view(size).substr(x + 1));
  if (!width || !height || *width < 1 || *height < 1 || *width > kMaxSide || *height > kMaxSide ||
      long{*width} * *height > kMaxPixels)
    return usageError(
        " chart: --size wants WIDTHxHEIGHT, each 1 to 10000, at most 50000000 "
        "pixels",
        kChartUsage);
  std::optional<double> level;
  if (!referenceOption(options, level))
    return usageError(" chart: --reference wants a number above 0 such as 5.5", kChartUsage);
  const std::string path = bytes(options.positionalArguments()[0]);
  if (wholeOfCsv(options, path))
    return usageError(std::string(" chart") + kWholeOfCsv, kChartUsage);
  Headless h(dataDirOf(options));
  if (writesOverInput(h, options, path, png, "chart") || !h.load(false)) return 1;
  const kestrand::app::WholeUpload upload = seriesOf(h, options, path, {*width, {}, false});
  const kestrand::view::ChartData& series = upload.chart;
  if (upload.samples == 0 || writesOverInput(h, options, path, png, "chart", upload.files))
    return 1;
  namespace qt = kestrand::adapters::qt;
  qt::ChartOptions look;
  look.reference = level ? level : kestrand::app::readReferenceLevel(h.fs, dataDirOf(options));
  look.title = path.substr(path.rfind('/') + 1);
  const bool pdf =
      png.size() >= 4 &&
      QByteArray::fromStdString(png.substr(png.size() - 4)).compare(".pdf", Qt::CaseInsensitive) ==
          0;
  const QByteArray drawn = qt::chartFile(pdf ? qt::ChartFileType::kPdf : qt::ChartFileType::kPng,
                                         QSize(*width, *height), series, look);
  try {
    if (drawn.isEmpty()) throw kestrand::Error(kestrand::ErrorKind::kGeneral, "nothing drawn");
    h.fs.writeAll(png, std::string_view(drawn.constData(), static_cast<std::size_t>(drawn.size())));
  } catch (const kestrand::Error& e) {
    std::cerr << "kestrand-cli chart: cannot write " << png << ": " << e.description() << "\n";
    return 1;
  }
  return h.status();
}
#else
// Never run here: main hands every command that draws to the drawing half before Qt starts.
constexpr int (*chart)(QCoreApplication&, const QCommandLineParser&) = nullptr;
constexpr auto report = chart;
#endif

int print([[maybe_unused]] QCoreApplication& qapp, const QCommandLineParser& options) {
  if (options.isSet(kPdf) == options.isSet(kText))
    return usageError(" print: exactly one of --pdf OUT.pdf and --text OUT.txt is required",
                      kPrintUsage);
  const std::string in = bytes(options.positionalArguments()[0]);
  const std::string out = bytes(options.value(options.isSet(kPdf) ? kPdf : kText));
  Headless h(dataDirOf(options));
  if (writesOverInput(h, options, in, out, "print") || !h.load(false) || !h.read(in)) return 1;
  const auto pages = kestrand::view::PrintReport(h.prog.doc.table(), h.prog.doc.header());
  try {
    if (options.isSet(kPdf)) {
#if KESTRAND_CLI_DRAWS
      kestrand::adapters::qt::QtPrinter pdf(h.fs, out);
      kestrand::app::printPages(pages, pdf);
#endif
    } else {
      h.fs.writeAll(out, kestrand::view::reportText(pages));
    }
  } catch (const kestrand::Error& e) {
    std::cerr << "kestrand-cli print: Error on Open!  " << e.description() << "\n";
    return 1;
  }
  return h.status();
}

int notes(QCoreApplication&, const QCommandLineParser& options) {
  namespace store = kestrand::store;
  const std::string path = bytes(options.positionalArguments()[0]);
  kestrand::adapters::posix::PosixFileSystem fs(".");
  try {
    const std::pair<const QCommandLineOption*, std::string store::Notes::*> given[] = {
        {&kSite, &store::Notes::site},
        {&kOperator, &store::Notes::operatorName},
        {&kComment, &store::Notes::comment},
        {&kClient, &store::Notes::client},
        {&kSerial, &store::Notes::instrumentSerial},
        {&kCalibration, &store::Notes::calibrationDate}};
    if (std::any_of(std::begin(given), std::end(given),
                    [&](const auto& g) { return options.isSet(*g.first); })) {
      // The values given are set in the notes as they are when the lock is taken.
      store::updateNotes(fs, path, [&](store::Notes& n) {
        for (const auto& [option, value] : given) {
          if (options.isSet(*option)) n.*value = bytes(options.value(*option));
        }
      });
    } else {
      // Notes belong to a file that is there.
      fs.readHead(path, 0);
      const std::string text = store::notesText(store::readNotes(fs, path));
      // The file's lines, each ended by a line feed alone.
      const auto terminal = terminalOutput(false);
      for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        printLine(text.substr(at, end - at), terminal);
        at = end + 2;
      }
    }
  } catch (const kestrand::Error& e) {
    std::cerr << "kestrand-cli notes: " << e.description() << "\n";
    return 1;
  }
  return 0;
}

// The standard and frequency of --standard and --frequency and its levels there; the exit
// status after saying why when there are none (2 for a wrong command line, 1 out of range).
struct StandardAt {
  const kestrand::view::Standard* standard = nullptr;
  double hz = 0.0;
  kestrand::view::Limits limits;
};
std::optional<int> standardAt(const QCommandLineParser& options, const char* command,
                              const char* usage, StandardAt& out) {
  const std::string prefix = std::string(" ") + command + ": ";
  if (!options.isSet(kStandard) || !options.isSet(kFrequency))
    return usageError(prefix + "--standard and --frequency are required", usage);
  const std::string id = bytes(options.value(kStandard));
  out.standard = kestrand::view::findStandard(id);
  if (!out.standard)
    return usageError(prefix + "unknown standard '" + id + "' (limits --list names them)", usage);
  const std::string frequency = bytes(options.value(kFrequency));
  const auto hz = kestrand::view::parseFrequency(frequency);
  if (!hz)
    return usageError(prefix + "'" + frequency + "' is no frequency (such as 900MHz or 1.8GHz)",
                      usage);
  out.hz = *hz;
  const auto limits = kestrand::view::limitsAt(*out.standard, *hz);
  if (!limits) {
    std::cerr << "kestrand-cli " << command << ": " << kestrand::view::frequencyText(*hz)
              << " is outside the range of " << id << " ("
              << kestrand::view::frequencyText(out.standard->lowHz) << " to "
              << kestrand::view::frequencyText(out.standard->highHz) << ")\n";
    return 1;
  }
  out.limits = *limits;
  return std::nullopt;
}

// The expanded uncertainty of --uncertainty in dB (0 when not given); false when the value is
// no number of 0 or more.
bool uncertaintyOption(const QCommandLineParser& options, double& db) {
  if (!options.isSet(kUncertainty)) return true;
  const std::string typed = bytes(options.value(kUncertainty));
  const auto u = typed.empty() ? std::nullopt : kestrand::view::parseUncertainty(typed);
  if (!u) return false;
  db = *u;
  return true;
}

#if KESTRAND_CLI_DRAWS
int report(QCoreApplication&, const QCommandLineParser& options) {
  namespace qt = kestrand::adapters::qt;
  namespace view = kestrand::view;
  const std::string in = bytes(options.positionalArguments()[0]);
  const std::string out = bytes(options.value(kPdf));
  if (out.empty()) return usageError(" report: --pdf OUT.pdf is required", kReportUsage);
  std::optional<double> level;
  if (!referenceOption(options, level))
    return usageError(" report: --reference wants a number above 0 such as 5.5", kReportUsage);
  if (wholeOfCsv(options, in))
    return usageError(std::string(" report") + kWholeOfCsv, kReportUsage);
  StandardAt at;
  double uncertainty = 0.0;
  if (options.isSet(kStandard) || options.isSet(kFrequency)) {
    if (const auto status = standardAt(options, "report", kReportUsage, at)) return *status;
  }
  if (!uncertaintyOption(options, uncertainty) || (options.isSet(kUncertainty) && !at.standard))
    return usageError(" report: --uncertainty takes a number of dB, 0 or more, with --standard",
                      kReportUsage);
  Headless h(dataDirOf(options));
  if (writesOverInput(h, options, in, out, "report") || !h.load(false)) return 1;

  // The summary, the chart and the listing's files or pages, as the desktop makes them.
  const auto [dir, name] = Headless::split(in);
  kestrand::app::ReportRequest request{
      dir, name, options.isSet(kWhole), !options.isSet(kNoListing), level, {}, h.clock.now()};
  if (!request.reference)
    request.reference = kestrand::app::readReferenceLevel(h.fs, dataDirOf(options));
  if (at.standard) request.assessing = {at.standard, at.hz, at.limits, uncertainty};
  std::optional<kestrand::app::ShownFile> shown;
  if (!request.whole && h.read(in) && h.prog.doc.table().NumSamples > 0)
    shown.emplace(kestrand::app::ShownFile{h.app.chart(), h.prog.doc.table(), h.prog.doc.header(),
                                           h.prog.doc.labels()});
  const kestrand::app::ReportContent report = kestrand::app::makeReport(h.reader(), request, shown);
  for (const std::string& text : report.messages) h.error(text);
  if (report.chart.samples() == 0) {
    if (request.whole) std::cerr << "kestrand-cli: no samples in " << in << "\n";
    return 1;
  }
  if (writesOverInput(h, options, in, out, "report", report.summary.files)) return 1;
  if (!report.notesError.empty()) h.error(report.notesError);  // the report goes on without them
  qt::ChartOptions look;
  look.reference = report.chartLevel;
  look.title = report.title;
  try {
    const auto pdf = qt::openSurveyReport(h.fs, out, report.summary, report.chart, look);
    kestrand::app::printListings(h.reader(), dir, report.listed, *pdf, true);
    kestrand::app::printPageRun(report.pages, *pdf, true);
    pdf->endDoc();
  } catch (const kestrand::Error& e) {
    std::cerr << "kestrand-cli report: Error on Open!  " << e.description() << "\n";
    return 1;
  }
  return h.status();
}
#endif

// The status of a command that printed to standard output: 1 (said on standard error) when its
// output did not all get there, at the last flush and close too (a full disk, a closed stream).
int outputWritten(const std::string& command, int status) {
  std::cout.flush();
  errno = 0;
  const bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
  if (!failed && ::close(STDOUT_FILENO) == 0) return status;
  const int err = errno;  // none when an earlier write failed and the flush had nothing left
  std::cerr << "kestrand-cli" << command << ": cannot write standard output"
            << (err == 0 ? std::string() : std::string(": ") + std::strerror(err)) << "\n";
  return 1;
}

// A standard stream the program was started without is held by a file that cannot be written:
// otherwise the next file opened would take its number, and printing would write into it.
void holdClosedStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int held = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (held >= 0 && held != fd) {
      ::dup2(held, fd);
      ::close(held);
    }
  }
}

int limits(QCoreApplication&, const QCommandLineParser& options) {
  using namespace kestrand::view;
  if (options.isSet(kList)) {
    if (options.isSet(kStandard) || options.isSet(kFrequency))
      return usageError(" limits: --list takes no --standard or --frequency", kLimitsUsage);
    for (const Standard& s : standards()) std::cout << s.id << "\t" << s.name << "\n";
    return 0;
  }
  StandardAt at;
  if (const auto status = standardAt(options, "limits", kLimitsUsage, at)) return *status;
  const std::pair<const char*, std::pair<const Level*, const char*>> lines[] = {
      {"E", {&at.limits.e, "V/m"}}, {"H", {&at.limits.h, "A/m"}}, {"S", {&at.limits.s, "W/m2"}}};
  for (const auto& [name, level] : lines) {
    std::cout << name << "\t" << levelText(level.first->value) << "\t" << level.second << "\t"
              << (level.first->derived ? "derived" : "table") << "\n";
  }
  std::cout << "averaging\t" << levelText(at.limits.averagingSeconds) << "\ts\n";
  return 0;
}

int assess(QCoreApplication&, const QCommandLineParser& options) {
  using namespace kestrand::view;
  const std::string path = bytes(options.positionalArguments()[0]);
  if (wholeOfCsv(options, path))
    return usageError(std::string(" assess") + kWholeOfCsv, kAssessUsage);
  StandardAt at;
  if (const auto status = standardAt(options, "assess", kAssessUsage, at)) return *status;
  double uncertainty = 0.0;
  if (!uncertaintyOption(options, uncertainty))
    return usageError(" assess: --uncertainty takes a number of dB, 0 or more", kAssessUsage);
  Headless h(dataDirOf(options));
  if (!h.load(false)) return 1;
  const kestrand::app::WholeUpload upload =
      seriesOf(h, options, path, {kestrand::app::kNoChart, {{at.limits, uncertainty}}, false});
  const ChartData& series = upload.chart;
  if (upload.samples == 0 || !upload.assessment) return 1;
  const Assessment& result = *upload.assessment;
  std::cout << "# " << at.standard->name << "\t" << frequencyText(at.hz) << "\taveraged over "
            << levelText(at.limits.averagingSeconds) << " s\n";
  for (const ColumnAssessment& a : result.columns) {
    const std::vector<std::string> cells = assessmentCells(series, a);
    for (std::size_t k = 0; k < cells.size(); ++k) std::cout << (k ? "\t" : "") << cells[k];
    std::cout << "\n";
  }
  for (const std::string& title : result.skipped) {
    std::cerr << "kestrand-cli assess: " << title << " is not assessed (units "
              << (series.units.empty() ? std::string("none") : "\"" + series.units + "\"") << ")\n";
  }
  if (result.columns.empty()) return 1;
  return h.status();
}

// A subcommand: its name, usage, the options it takes, the number of positional arguments it
// needs, and what it does with them.
struct Command {
  const char* name;
  const char* usage;
  QList<QCommandLineOption> options;
  int (*run)(QCoreApplication&, const QCommandLineParser&);
  qsizetype arguments = 0;
  const char* argumentName = "";
  bool widgets = false;      // draws: needs a QGuiApplication
  bool emptyValues = false;  // an option's value may be empty
};

const Command kCommands[] = {
    {"receive", kReceiveUsage, {kPort, kDataDir, kOnce}, receive},
    {"list", kListUsage, {kDataDir}, list},
    {"view", kViewUsage, {kDataDir}, view, 1, "FILE"},
    {"export", kExportUsage, {kDataDir}, exportCsv, 2, "FILE and OUT.csv"},
    {"print", kPrintUsage, {kDataDir, kPdf, kText}, print, 1, "FILE", true},
    {"chart", kChartUsage, {kPng, kSize, kReference, kWhole, kDataDir}, chart, 1, "FILE", true},
    {"stats", kStatsUsage, {kWhole, kDataDir}, stats, 1, "FILE"},
    {"limits", kLimitsUsage, {kStandard, kFrequency, kList}, limits},
    {"assess",
     kAssessUsage,
     {kStandard, kFrequency, kUncertainty, kWhole, kDataDir},
     assess,
     1,
     "FILE"},
    {"notes",
     kNotesUsage,
     {kSite, kOperator, kComment, kClient, kSerial, kCalibration},
     notes,
     1,
     "FILE",
     false,
     true},
    {"report",
     kReportUsage,
     {kPdf, kReference, kWhole, kNoListing, kDataDir, kStandard, kFrequency, kUncertainty},
     report,
     1,
     "FILE",
     true},
};

std::string fullUsage() {
  std::string usage;
  for (const Command& command : kCommands) usage += command.usage;
  return usage +
         "  kestrand-cli --version\n      Print the program version.\n"
         "  kestrand-cli --help\n      Print this help. COMMAND --help prints the command's.\n" +
         kExitCodes;
}

// Parses the words after the command's name and runs it.
const QCommandLineOption kCommandHelp({"h", "help"}, "Print the command's usage.");

// Makes `options` read the words of `command`.
void readsCommand(QCommandLineParser& options, const Command& command) {
  // A word with one dash is one option ("-platform" is refused by that name, not as eight
  // letters); the program has no clustered short options.
  options.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  options.addOptions(command.options);
  options.addOption(kCommandHelp);
}

int runCommand(const Command& command, QCoreApplication& qapp, const QStringList& words) {
  QCommandLineParser options;
  readsCommand(options, command);
  const std::string prefix = std::string(" ") + command.name + ": ";
  if (!options.parse(words)) return usageError(prefix + bytes(options.errorText()), command.usage);
  if (options.isSet(kCommandHelp)) {
    std::cout << "Usage:\n" << command.usage << kExitCodes;
    return outputWritten(std::string(" ") + command.name, 0);
  }
  const QStringList given = options.positionalArguments();
  if (given.size() > command.arguments)
    return usageError(prefix + "unexpected argument '" + bytes(given[command.arguments]) + "'",
                      command.usage);
  if (given.size() < command.arguments)
    return usageError(prefix + command.argumentName + " is required", command.usage);
  // An empty name would mean "no file" to some of the layers below (the default printer).
  for (const QString& argument : given) {
    if (argument.isEmpty()) return usageError(prefix + "a file name is empty", command.usage);
  }
  for (const QCommandLineOption& option : command.options) {
    if (!command.emptyValues && !option.valueName().isEmpty() && options.isSet(option) &&
        options.value(option).isEmpty())
      return usageError(prefix + "--" + bytes(option.names()[0]) + " is empty", command.usage);
  }
  const int status = command.run(qapp, options);
  // The receiver's list entries may go to a reader that went away without ending the upload.
  if (command.run == receive) return status;
  return outputWritten(std::string(" ") + command.name, status);
}

#if !KESTRAND_CLI_DRAWS
// Whether the command on `words` (its name left out) draws: chart and report do, and print with
// --pdf, read as runCommand reads it.
bool draws(const Command& command, const QStringList& words) {
  if (!command.widgets) return false;
  if (command.run != print) return true;
  QCommandLineParser options;
  readsCommand(options, command);
  return options.parse(words) && options.isSet(kPdf);
}
#endif

// The Qt application for `chosen`: drawing (the chart, the report's PDF with its fonts) needs a
// QGuiApplication, which draws offscreen unless a platform is named; the rest Qt Core's. Qt sees
// the program's name only: its own options (-platform, -style...) are no business of this
// program's command line.
std::unique_ptr<QCoreApplication> makeApplication([[maybe_unused]] const Command* chosen,
                                                  [[maybe_unused]] int& argc, char** argv) {
  static int qtArgc = 1;  // Qt keeps both for the application's life
  static char* qtArgv[] = {argv[0], nullptr};
#if KESTRAND_CLI_DRAWS
  if (chosen && chosen->widgets) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(qtArgc, qtArgv);
  }
#endif
  return std::make_unique<QCoreApplication>(qtArgc, qtArgv);
}

// Without a command: --help, --version, or what is wrong with the words `args`.
int withoutCommand(const QStringList& args) {
  QCommandLineParser program;
  program.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  program.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
  const QCommandLineOption help({"h", "help"}, "Print this help.");
  const QCommandLineOption version("version", "Print the program version.");
  program.addOptions({help, version});
  const std::string usage = fullUsage();
  if (!program.parse(args)) return usageError(": " + bytes(program.errorText()), usage.c_str());
  if (program.isSet(help)) {
    std::cout << "Usage:\n" << usage;
    return outputWritten("", 0);
  }
  if (program.isSet(version)) {
    std::cout << "Version " << kestrand::versionText() << "\n";
    return outputWritten("", 0);
  }
  const QStringList words = program.positionalArguments();
  if (words.isEmpty()) return usageError(": a command is required", usage.c_str());
  return usageError(": unknown command '" + bytes(words[0]) + "'", usage.c_str());
}

int programMain(int argc, char** argv) {
  kestrand::adapters::posix::ignoreFileSizeSignal();
  holdClosedStandardStreams();
  const Command* chosen = nullptr;
  for (const Command& command : kCommands) {
    if (argc > 1 && std::string(argv[1]) == command.name) chosen = &command;
  }
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLatin1(argv[i]);
#if !KESTRAND_CLI_DRAWS
  if (chosen && draws(*chosen, QStringList{args[0]} + args.mid(2)))
    return kestrand::cli::runDrawingProgram(argc, argv);
#endif
  const std::unique_ptr<QCoreApplication> app = makeApplication(chosen, argc, argv);
  // One number form whatever the user's locale: Qt has just taken the environment's, so the C
  // library's numbers (printf, strtod) and Qt's default locale are put back to C.
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
  if (!chosen) return withoutCommand(args);
  const int status = runCommand(*chosen, *app, QStringList{args[0]} + args.mid(2));
#if KESTRAND_CLI_DRAWS
  // Taking Qt's platform and fonts down again costs a drawing command milliseconds and does
  // nothing the end of the process does not: what it wrote is written and synced by now.
  std::cout.flush();
  std::fflush(nullptr);
  std::_Exit(status);
#endif
  return status;
}

}  // namespace

#if KESTRAND_CLI_DRAWS
// The drawing half's entry, which kestrand-cli calls in place of its own main.
extern "C" __attribute__((visibility("default"))) int kestrand_cli_draw(int argc, char** argv) {
  return programMain(argc, argv);
}
#else
int main(int argc, char** argv) {
  return programMain(argc, argv);
}
#endif
