#pragma once
// The survey side of the desktop program, on the "Chart" tab and in the File menu: the notes of
// the upload on display, its whole upload as one series (the "Whole upload" check box), and
// File > "Save report as PDF...". The report's listing pages are printed a few at a time from a
// timer, so that the meter's link and the window go on being served while a long report is made.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/document.h"
#include "app/main_view.h"
#include "app/presenter.h"
#include "app/report.h"
#include "app/whole_upload.h"
#include "ports/clock.h"
#include "ports/printer.h"
#include "ports/timer.h"
#include "store/notes.h"
#include "view/chart.h"
#include "view/report.h"
#include "view/survey.h"

namespace kestrand::app {

// What the "Chart" tab shows of the survey side; handed in by the desktop's main.
struct SurveyDisplay {
  // The series to draw, made by `make` when the tab needs it (it may be called once only),
  // titled.
  std::function<void(std::function<view::ChartData()> make, const std::string& title)> chart;
  // The notes of the upload on display; not editable when there is none, or they could not be
  // read (so that saving never replaces a notes file that was not shown).
  std::function<void(const store::Notes&, bool editable)> notes;
  // The "Whole upload" check box: shown when the file on display has continuation files.
  std::function<void(bool shown, bool checked)> wholeBox;
};

// Opens the report's PDF document at `path` with its summary painted; its listing pages follow on
// the printer returned, whose endDoc writes the file. Throws kestrand::Error.
using ReportOpener = std::function<std::unique_ptr<ports::Printer>(
    const std::string& path, const view::SurveySummary& summary, const view::ChartData& chart,
    std::optional<double> reference, const std::string& title)>;

inline constexpr const char* kReportFilter = "PDF document|*.pdf";

class Survey {
 public:
  // Works on `doc` (its chart, notes and report) and shows through `present`; reports are
  // proposed in `dataPath`, and their id names the time `clock` gives when they are made.
  Survey(Document& doc, Presenter& present, ports::FileSystem& fs, ports::TimerFactory& timers,
         const ports::Clock& clock, ports::Dialogs& dialogs, std::string dataPath,
         SurveyDisplay display, ReportOpener open);
  ~Survey();
  Survey(const Survey&) = delete;
  Survey& operator=(const Survey&) = delete;

  // The grid shows a new table (wired to Document::showChart, `make` making its chart): the notes
  // and the check box of the file on display, and its chart (of its whole upload while the box is
  // checked).
  void shown(std::function<view::ChartData()> make);
  // The "Whole upload" check box was switched.
  void setWhole(bool whole);
  // "Save notes": the notes of the upload on display.
  // False when they could not be written (the error box has said why).
  bool saveNotes(const store::Notes& notes);
  // File > "Save report as PDF...": asks for the file, then writes it page by page.
  void saveReport();
  // A report is being written.
  bool writing() const { return job_ != nullptr; }

 private:
  struct Job;
  // The file whose notes belong to what the chart shows: the file on display, or the first
  // file of its whole upload.
  std::string notesFile() const;
  void showNotes();
  void showSeries();
  // The whole upload of the file on display with every sample, read now; its messages shown.
  WholeUpload readWhole();
  void step();
  void finish(const std::string& failure);
  // The assessment against the standard and frequency chosen on the Chart tab, when both are
  // valid.
  std::optional<ReportRequest::Assessing> assessing() const;

  Document& doc_;
  Presenter& present_;
  ports::FileSystem& fs_;
  ports::Dialogs& dialogs_;
  std::string dataPath_;
  SurveyDisplay display_;
  ReportOpener open_;
  std::function<view::ChartData()> oneFile_;  // makes the chart of the table on display
  bool continued_ = false;                    // the file on display has continuation files
  bool whole_ = false;                        // the check box
  // The whole upload, read while the box is checked; its series goes to the chart, so that the
  // largest (47.5 MB) is held once. A report reads it again, a file at a time.
  std::optional<WholeUpload> upload_;
  std::unique_ptr<ports::Timer> timer_;
  const ports::Clock& clock_;
  std::unique_ptr<Job> job_;
};

}  // namespace kestrand::app
