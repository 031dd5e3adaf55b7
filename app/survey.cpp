#include "app/survey.h"

#include <algorithm>
#include <span>

#include "app/data_files.h"
#include "app/settings_files.h"
#include "store/whole_upload.h"

namespace kestrand::app {
namespace {

// Pages of the listing printed at one tick: a few tens of milliseconds, the widest listing
// included, so that the link's messages are answered in good time meanwhile.
constexpr std::size_t kPagesPerStep = 20;
const std::string kReportTitle = "Save report as PDF";
const char* const kSummaryOnlyText = "Summary only, without the listing pages";

bool endsWith(const std::string& name, const char* ext) {
  std::string tail = name.substr(name.size() - std::min<std::size_t>(name.size(), 4));
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return tail == ext;
}

std::string titleOf(const std::vector<std::string>& files) {
  return files.size() > 1 ? files.front() + " to " + files.back() : files.front();
}

}  // namespace

// A report being written: the document with its summary, and the listing still to print.
struct Survey::Job {
  std::unique_ptr<ports::Printer> printer;
  std::string path;
  std::string dir;
  std::vector<std::string> files;  // a whole upload's files, each listed in turn
  std::size_t file = 0;            // the next of them to read
  std::vector<view::ReportPage> pages;
  std::size_t next = 0;   // the next page to print
  bool continued = true;  // the summary's pages come first
};

Survey::Survey(Document& doc, Presenter& present, ports::FileSystem& fs,
               ports::TimerFactory& timers, const ports::Clock& clock, ports::Dialogs& dialogs,
               std::string dataPath, SurveyDisplay display, ReportOpener open)
    : doc_(doc),
      present_(present),
      fs_(fs),
      dialogs_(dialogs),
      dataPath_(std::move(dataPath)),
      display_(std::move(display)),
      open_(std::move(open)),
      timer_(timers.createTimer()),
      clock_(clock) {
  // A new timer is enabled: it runs only while a report is being written.
  timer_->setEnabled(false);
  timer_->setInterval(1);
  timer_->onTick([this] { step(); });
}

Survey::~Survey() = default;

void Survey::shown(std::function<view::ChartData()> make) {
  oneFile_ = std::move(make);
  upload_.reset();
  const std::string& file = doc_.shownFile();
  continued_ =
      !file.empty() && !endsWith(file, ".csv") &&
      store::uploadFiles(fs_, ports::folderOf(file), ports::fileNameOf(file)).names.size() > 1;
  display_.wholeBox(continued_, whole_);
  showSeries();
  showNotes();
}

void Survey::setWhole(bool whole) {
  whole_ = whole;
  showSeries();
  showNotes();
}

WholeUpload Survey::readWhole() {
  present_.busy(true);
  WholeUpload upload = readWholeUpload(
      doc_.uploadReader(), ports::folderOf(doc_.shownFile()), ports::fileNameOf(doc_.shownFile()),
      {0, std::nullopt, false});  // the chart works out its own statistics
  present_.busy(false);
  for (const std::string& text : upload.messages) present_.errorBox(text);
  return upload;
}

void Survey::showSeries() {
  if (!whole_ || !continued_) {
    display_.chart(oneFile_, ports::fileNameOf(doc_.shownFile()));
    return;
  }
  upload_ = readWhole();
  auto series = std::make_shared<view::ChartData>(std::move(upload_->chart));
  display_.chart([series] { return std::move(*series); },
                 upload_->files.empty() ? "" : titleOf(upload_->files));
}

std::string Survey::notesFile() const {
  if (whole_ && upload_ && !upload_->files.empty())
    return ports::joinPath(ports::folderOf(doc_.shownFile()), upload_->files.front());
  return doc_.shownFile();
}

void Survey::showNotes() {
  const std::string file = notesFile();
  if (file.empty()) {
    display_.notes({}, false);
    return;
  }
  try {
    display_.notes(store::readNotes(fs_, file), true);
  } catch (const Error& e) {
    display_.notes({}, false);
    present_.errorBox(e.description());
  }
}

bool Survey::saveNotes(const store::Notes& notes) {
  const std::string file = notesFile();
  if (file.empty()) return true;
  try {
    store::writeNotes(fs_, file, notes);
    present_.genMsg().ShowGeneralMsg("Notes saved for " + ports::fileNameOf(file));
    return true;
  } catch (const Error& e) {
    present_.errorBox("The notes could not be saved: " + e.description());
    return false;
  }
}

void Survey::saveReport() {
  const auto refuse = [this](const std::string& why) {
    present_.ask({"Error on Save!  " + why, Buttons::kOk, false, kFileErrorTitle});
  };
  if (job_) return refuse("A report is being written; wait until it is done");
  const bool whole = whole_ && upload_ && !upload_->files.empty();
  if (!oneFile_ || doc_.table().NumSamples < 1)
    return refuse("There are no readings on display to report");

  const std::string name = ports::fileNameOf(doc_.shownFile());
  std::optional<ports::SaveChoice> chosen;
  try {
    // A whole upload's listing runs to thousands of pages; the client may need the verdict only.
    chosen = dialogs_.saveFile({kReportTitle, kReportFilter, dataPath_,
                                name.substr(0, name.rfind('.')) + ".pdf", true,
                                whole ? kSummaryOnlyText : ""});
  } catch (const Error& e) {
    return refuse(e.description());
  }
  if (!chosen) return;
  std::string path = chosen->path;
  if (!endsWith(path, ".pdf")) {
    // The dialog asked about the name as typed; the added extension may name another file.
    path += ".pdf";
    if (fs_.exists(path) && !dialogs_.YesNo(kReportTitle, path + " already exists.  Replace it?"))
      return;
  }
  if (fs_.sameFile(path, doc_.shownFile()))
    return refuse(name + " is on display; choose another name");

  ReportRequest request{
      ports::folderOf(doc_.shownFile()), name, whole, !chosen->option, {}, {}, clock_.now()};
  request.reference = readReferenceLevel(fs_, dataPath_);
  request.assessing = assessing();
  std::optional<ShownFile> shown;
  if (!whole) shown.emplace(ShownFile{oneFile_(), doc_.table(), doc_.header(), doc_.labels()});
  present_.busy(true);
  ReportContent content = makeReport(doc_.uploadReader(), request, std::move(shown));
  present_.busy(false);
  if (!content.notesError.empty()) present_.errorBox(content.notesError);  // goes on without them
  if (content.chart.samples() == 0) return refuse("There are no readings to report");

  auto job = std::make_unique<Job>();
  job->path = path;
  job->dir = request.dir;
  job->files = std::move(content.listed);
  job->pages = std::move(content.pages);
  try {
    job->printer = open_(path, content.summary, content.chart, content.chartLevel, content.title);
  } catch (const Error& e) {
    return refuse(e.description());
  }
  job_ = std::move(job);
  present_.genMsg().write("Saving report " + ports::fileNameOf(path));
  timer_->setEnabled(true);
}

void Survey::step() {
  Job& j = *job_;
  try {
    if (j.next == j.pages.size()) {
      if (j.file < j.files.size()) {
        j.pages = listingOf(doc_.uploadReader(), j.dir, j.files[j.file++]);
        j.next = 0;
        return;
      }
      j.printer->endDoc();  // the file is written here, whole
      finish("");
      return;
    }
    const std::size_t n = std::min(kPagesPerStep, j.pages.size() - j.next);
    printPageRun(std::span(j.pages).subspan(j.next, n), *j.printer, j.continued);
    j.continued = true;
    j.next += n;
    // Files done and the share of the current one's pages, in thousandths.
    const std::size_t files = std::max<std::size_t>(j.files.size(), 1);
    const std::size_t done = j.files.empty() ? 0 : j.file - 1;
    present_.progressBar(static_cast<int>((done * 1000 + j.next * 1000 / j.pages.size()) / files),
                         1000);
  } catch (const Error& e) {
    finish(e.description());
  }
}

std::optional<ReportRequest::Assessing> Survey::assessing() const {
  // As the Chart tab assesses: its standard, frequency and uncertainty, from their settings file.
  std::string why;
  return view::assessmentBasis(readAssessmentChoice(fs_, dataPath_), why);
}

void Survey::finish(const std::string& failure) {
  timer_->setEnabled(false);
  const std::string path = job_->path;
  job_.reset();
  present_.hideProgressBar();
  if (failure.empty()) {
    present_.genMsg().ShowGeneralMsg("Report saved as " + path);
  } else {
    present_.ask({"Error on Save!  " + failure, Buttons::kOk, false, kFileErrorTitle});
  }
}

}  // namespace kestrand::app
