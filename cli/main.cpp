// kestrand-cli: the headless front end over the program's own logic. `kestrand-cli --help`
// lists the commands; each command answers --help with its own usage.

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QSocketNotifier>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/data_files.h"
#include "app/settings_files.h"
#include "app/survey.h"
#include "app/whole_upload.h"
#include "cli/console_view.h"
#include "cli/receiver.h"
#include "core/version.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/system_clock.h"
#include "platform/qt/chart_painter.h"
#include "platform/qt/qt_printer.h"
#include "platform/qt/qt_timer.h"
#include "platform/qt/report_pdf.h"
#include "platform/qt/serial/qt_serial_port.h"
#include "store/notes.h"
#include "view/csv.h"
#include "view/report.h"
#include "view/stats.h"
#include "view/survey.h"

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
    "  kestrand-cli notes FILE [--site S] [--operator O] [--comment C]\n"
    "      Print the notes of FILE (kept beside it in FILE's name ending in .notes) as that\n"
    "      file holds them: Site, Operator and Comment, a line each, a backslash as \\\\ and a\n"
    "      line break as \\n. With options, set those values (UTF-8) and keep the others; an\n"
    "      empty value clears one.\n";
const char* const kReportUsage =
    "  kestrand-cli report FILE --pdf OUT.pdf [--reference LEVEL] [--whole] [--data-dir DIR]\n"
    "      Write the survey report of FILE (read as view reads it) as a PDF file: a summary\n"
    "      (the file, its notes, the information labels, the statistics against the reference\n"
    "      level, the chart), then the pages print writes. --whole: the summary of the whole\n"
    "      upload, then each of its files' pages. The level is LEVEL, else the one saved in\n"
    "      DIR.\n";

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
const QCommandLineOption kSite("site", "Where the upload was measured", "S");
const QCommandLineOption kOperator("operator", "Who measured", "O");
const QCommandLineOption kComment("comment", "A remark", "C");

std::string dataDirOf(const QCommandLineParser& options) {
  std::string dir = bytes(options.value(kDataDir));
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

int receive(QCoreApplication& qapp, const QCommandLineParser& options) {
  const std::string port = bytes(options.value(kPort));
  const std::string dataDir = dataDirOf(options);
  if (port.empty()) return usageError(" receive: --port PATH is required", kReceiveUsage);

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

  if (options.isSet(kOnce)) {
    // Queued, so the handler that ended the upload runs to its end and sends its answer first.
    receiver.onEnded(
        [&] { QMetaObject::invokeMethod(&qapp, &QCoreApplication::quit, Qt::QueuedConnection); });
  }
  qapp.exec();
  receiver.stop();
  return 0;
}

bool endsWithCsv(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return tail == ".csv";
}

// The program's state and logic over the console, loaded as at start-up without a port. These
// commands only read: the display formats come from DIR's settings files, or are the defaults
// in memory; no settings file is created or changed.
struct Headless {
  explicit Headless(const std::string& dataDir)
      : fs(dataDir), prog({view, box, fs, clock, timers, serial}, dataDir) {
    prog.link.formats().onlyRead();
  }

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
  // 1 once an error box was shown, else 0.
  int status() const { return box.errorBoxes > 0 ? 1 : 0; }

  // An error box: "RIviriro Error: TEXT" on standard error, and the status 1.
  void error(const std::string& text) {
    box.show(text, kestrand::platform::Buttons::kOk, false, kestrand::kErrorTitle);
  }

  // How the program reads files for a series of its own, with its formats and today's date.
  kestrand::app::UploadReader reader() const { return prog.doc.uploadReader(); }

  // The whole upload raw data file `path` belongs to, its messages shown as error boxes. Says
  // so when it holds no samples.
  kestrand::app::WholeUpload whole(const std::string& path) {
    const auto [dir, name] = split(path);
    kestrand::app::WholeUpload upload = kestrand::app::readWholeUpload(reader(), dir, name);
    for (const std::string& text : upload.messages) error(text);
    if (upload.chart.samples() == 0) std::cerr << "kestrand-cli: no samples in " << path << "\n";
    return upload;
  }

  // The directory of `path` and the name in it.
  static std::pair<std::string, std::string> split(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {path.substr(0, std::max<size_t>(slash, 1)), path.substr(slash + 1)};
  }

  // Reads FILE (a path, or a bare name in the current directory) into the table as the desktop
  // program shows it: a raw data file as "View" reads it, a saved CSV file as "Open" does.
  // False when nothing could be read. A table left without samples is said so.
  bool read(const std::string& path) {
    if (!readTable(path)) return false;
    if (prog.doc.table().NumSamples < 1) {
      std::cerr << "kestrand-cli: no samples in " << path
                << (endsWithCsv(path) ? " (a CSV file needs a title line, then a line per sample,"
                                        " each of 16 characters or more)"
                                      : "")
                << "\n";
    }
    return true;
  }

  kestrand::platform::posix::PosixFileSystem fs;
  kestrand::platform::posix::SystemClock clock;
  kestrand::platform::qt::QtTimerFactory timers;
  kestrand::platform::qt::QtSerialPort serial;  // never opened
  kestrand::cli::ConsoleView view{std::cout, std::cerr};
  kestrand::cli::ConsoleMessageBox box{std::cerr};
  kestrand::app::Program prog;

 private:
  bool readTable(const std::string& path) {
    if (endsWithCsv(path)) {
      int lost = 0;
      const bool read = kestrand::app::openCsvFile(
          prog.doc, prog.present, fs, path,
          [this](const std::string& text) {
            box.show(text, kestrand::platform::Buttons::kOk, false, "Data Warning");
          },
          &lost);
      // The program reads such a file short, as it always has; the console says what was lost.
      if (lost > 0)
        std::cerr << "kestrand-cli: " << lost << (lost == 1 ? " line" : " lines") << " of " << path
                  << (lost == 1 ? " was" : " were")
                  << " not read (blank or short lines took their places)\n";
      return read;
    }
    const auto [dir, name] = split(path);
    // The steps of "View" on a list entry.
    prog.present.status("Reading Raw Data File");
    const int before = box.errorBoxes;
    prog.doc.ReadRawDataFile(name, dir);
    prog.present.status("Updating table");
    prog.doc.UpdateDataTable();
    prog.present.status("Table updated");
    return box.errorBoxes == before || prog.doc.table().NumSamples > 0;
  }
};

// Refuses to write the command's output over the file it reads.
bool writesOverInput(const Headless& h, const std::string& in, const std::string& out,
                     const char* command) {
  if (!h.fs.sameFile(in, out)) return false;
  std::cerr << "kestrand-cli " << command << ": " << out
            << " is the file being read; choose another name for the output\n";
  return true;
}

int list(QCoreApplication&, const QCommandLineParser& options) {
  // The console view prints each entry as it is added.
  Headless h(dataDirOf(options));
  if (!h.load(true)) return 1;
  return h.status();
}

int view(QCoreApplication&, const QCommandLineParser& options) {
  using kestrand::platform::LabelId;
  Headless h(dataDirOf(options));
  if (!h.load(false) || !h.read(bytes(options.positionalArguments().at(0)))) return 1;
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
  const std::string in = bytes(options.positionalArguments()[0]);
  const std::string out = bytes(options.positionalArguments()[1]);
  Headless h(dataDirOf(options));
  if (writesOverInput(h, in, out, "export") || !h.load(false) || !h.read(in)) return 1;
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

// The chart series of the table on display, as the "Chart" tab draws them.
kestrand::view::ChartData chartOf(const Headless& h) {
  return kestrand::view::chartData(h.prog.doc.grid(), h.prog.doc.table(), h.prog.doc.header(),
                                   h.prog.link.formats().dateChoice(),
                                   h.prog.link.formats().timeChoice());
}

// --whole reads the files of an upload, which a CSV file is not.
bool wholeOfCsv(const QCommandLineParser& options, const std::string& path) {
  return options.isSet(kWhole) && endsWithCsv(path);
}
const char* const kWholeOfCsv = ": --whole reads the files of an upload; a CSV file is one file";

// The series the chart and the statistics show: the table read from `path`, or with --whole
// the whole upload `path` belongs to. Empty when there is none (the reason said).
kestrand::view::ChartData seriesOf(Headless& h, const QCommandLineParser& options,
                                   const std::string& path) {
  if (options.isSet(kWhole)) return h.whole(path).chart;
  if (!h.read(path) || h.prog.doc.table().NumSamples < 1) return {};
  return chartOf(h);
}

int stats(QCoreApplication&, const QCommandLineParser& options) {
  const std::string path = bytes(options.positionalArguments()[0]);
  if (wholeOfCsv(options, path))
    return usageError(std::string(" stats") + kWholeOfCsv, kStatsUsage);
  Headless h(dataDirOf(options));
  if (!h.load(false)) return 1;
  const kestrand::view::ChartData series = seriesOf(h, options, path);
  if (series.samples() == 0) return 1;
  for (const auto& s : kestrand::view::columnStats(series)) {
    std::cout << kestrand::view::statsLine(s) << "\n";
  }
  return h.status();
}

// The reference level of --reference (nullopt when not given); false when the value is no
// level.
bool referenceOption(const QCommandLineParser& options, std::optional<double>& level) {
  if (!options.isSet(kReference)) return true;
  level = wholeNumber<double>(bytes(options.value(kReference)));
  return level && std::isfinite(*level) && *level > 0.0;
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
  if (writesOverInput(h, path, png, "chart") || !h.load(false)) return 1;
  const kestrand::view::ChartData series = seriesOf(h, options, path);
  if (series.samples() == 0) return 1;
  namespace qt = kestrand::platform::qt;
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

int print(QCoreApplication&, const QCommandLineParser& options) {
  if (options.isSet(kPdf) == options.isSet(kText))
    return usageError(" print: exactly one of --pdf OUT.pdf and --text OUT.txt is required",
                      kPrintUsage);
  const std::string in = bytes(options.positionalArguments()[0]);
  const std::string out = bytes(options.value(options.isSet(kPdf) ? kPdf : kText));
  Headless h(dataDirOf(options));
  if (writesOverInput(h, in, out, "print") || !h.load(false) || !h.read(in)) return 1;
  const auto pages = kestrand::view::PrintReport(h.prog.doc.table(), h.prog.doc.header());
  try {
    if (options.isSet(kPdf)) {
      kestrand::platform::qt::QtPrinter pdf(h.fs, out);
      kestrand::app::printPages(pages, pdf);
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
  kestrand::platform::posix::PosixFileSystem fs(".");
  try {
    // Notes belong to a file that is there.
    fs.readHead(path, 0);
    store::Notes n = store::readNotes(fs, path);
    const std::pair<const QCommandLineOption*, std::string*> given[] = {
        {&kSite, &n.site}, {&kOperator, &n.operatorName}, {&kComment, &n.comment}};
    bool set = false;
    for (const auto& [option, value] : given) {
      if (!options.isSet(*option)) continue;
      *value = bytes(options.value(*option));
      set = true;
    }
    if (set) {
      store::writeNotes(fs, path, n);
    } else {
      const std::string text = store::notesText(n);
      // The file's lines, each ended by a line feed alone.
      for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        std::cout << text.substr(at, end - at) << "\n";
        at = end + 2;
      }
    }
  } catch (const kestrand::Error& e) {
    std::cerr << "kestrand-cli notes: " << e.description() << "\n";
    return 1;
  }
  return 0;
}

int report(QCoreApplication&, const QCommandLineParser& options) {
  namespace qt = kestrand::platform::qt;
  namespace view = kestrand::view;
  const std::string in = bytes(options.positionalArguments()[0]);
  const std::string out = bytes(options.value(kPdf));
  if (out.empty()) return usageError(" report: --pdf OUT.pdf is required", kReportUsage);
  std::optional<double> level;
  if (!referenceOption(options, level))
    return usageError(" report: --reference wants a number above 0 such as 5.5", kReportUsage);
  if (wholeOfCsv(options, in))
    return usageError(std::string(" report") + kWholeOfCsv, kReportUsage);
  Headless h(dataDirOf(options));
  if (writesOverInput(h, in, out, "report") || !h.load(false)) return 1;

  // The series and the details of the summary, the files whose listing follows it.
  const auto [dir, name] = Headless::split(in);
  view::ChartData series;
  view::InfoLabels labels;
  std::vector<std::string> files{name}, remarks;
  if (options.isSet(kWhole)) {
    kestrand::app::WholeUpload upload = h.whole(in);
    series = std::move(upload.chart);
    labels = upload.labels;
    files = upload.files;
    remarks = upload.messages;
  } else if (h.read(in) && h.prog.doc.table().NumSamples > 0) {
    series = chartOf(h);
    labels = h.prog.doc.labels();
  }
  if (series.samples() == 0) return 1;
  kestrand::store::Notes notes;
  try {
    notes = kestrand::store::readNotes(h.fs, kestrand::platform::joinPath(dir, files.front()));
  } catch (const kestrand::Error& e) {
    h.error(e.description());  // the report goes on without them
  }
  if (!level) level = kestrand::app::readReferenceLevel(h.fs, dataDirOf(options));
  view::SurveySummary summary = view::surveySummary(files, std::move(notes), labels,
                                                    view::columnStats(series), level, series.units);
  summary.remarks = remarks;
  qt::ChartOptions look;
  look.reference = level;
  look.title = files.size() > 1 ? files.front() + " to " + files.back() : files.front();
  try {
    const auto pdf = qt::openSurveyReport(h.fs, out, summary, series, look);
    if (options.isSet(kWhole)) {
      kestrand::app::printListings(h.reader(), dir, files, *pdf, false);
    } else {
      kestrand::app::printPageRun(view::PrintReport(h.prog.doc.table(), h.prog.doc.header()), *pdf,
                                  false);
    }
    pdf->endDoc();
  } catch (const kestrand::Error& e) {
    std::cerr << "kestrand-cli report: Error on Open!  " << e.description() << "\n";
    return 1;
  }
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
  bool widgets = false;      // needs a QApplication (drawing)
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
    {"notes", kNotesUsage, {kSite, kOperator, kComment}, notes, 1, "FILE", false, true},
    {"report", kReportUsage, {kPdf, kReference, kWhole, kDataDir}, report, 1, "FILE", true},
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
int runCommand(const Command& command, QCoreApplication& qapp, const QStringList& words) {
  QCommandLineParser options;
  // A word with one dash is one option ("-platform" is refused by that name, not as eight
  // letters); the program has no clustered short options.
  options.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({"h", "help"}, "Print the command's usage.");
  options.addOptions(command.options);
  options.addOption(help);
  const std::string prefix = std::string(" ") + command.name + ": ";
  if (!options.parse(words)) return usageError(prefix + bytes(options.errorText()), command.usage);
  if (options.isSet(help)) {
    std::cout << "Usage:\n" << command.usage << kExitCodes;
    return 0;
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
  return command.run(qapp, options);
}

}  // namespace

int main(int argc, char** argv) {
  // Drawing (the chart, the report's PDF with its fonts) needs a QApplication; it draws offscreen
  // unless a platform is named.
  const Command* chosen = nullptr;
  for (const Command& command : kCommands) {
    if (argc > 1 && std::string(argv[1]) == command.name) chosen = &command;
  }
  if (chosen && chosen->widgets && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt sees the program's name only: its own options (-platform, -style...) are no business of
  // this program's command line, which is parsed below.
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  std::unique_ptr<QCoreApplication> app = chosen && chosen->widgets
                                              ? std::make_unique<QApplication>(qtArgc, qtArgv)
                                              : std::make_unique<QCoreApplication>(qtArgc, qtArgv);
  // One number form whatever the user's locale: Qt has just taken the environment's, so the C
  // library's numbers (printf, strtod) and Qt's default locale are put back to C.
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());

  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLatin1(argv[i]);
  if (chosen) return runCommand(*chosen, *app, QStringList{args[0]} + args.mid(2));

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
    return 0;
  }
  if (program.isSet(version)) {
    std::cout << "Version " << kestrand::versionText() << "\n";
    return 0;
  }
  const QStringList words = program.positionalArguments();
  if (words.isEmpty()) return usageError(": a command is required", usage.c_str());
  return usageError(": unknown command '" + bytes(words[0]) + "'", usage.c_str());
}
