#pragma once
// The commands that take the document on display to and from files and paper: "Save as" (a CSV
// file), "Open" (a CSV file saved before) and "Print Data" (the report on the default printer).

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/document.h"
#include "app/files.h"
#include "app/main_view.h"
#include "app/presenter.h"
#include "ports/printer.h"
#include "store/feedback.h"
#include "view/report.h"

namespace kestrand::app {

// The `YesNo` window before an opened file replaces the table.
inline const std::string kYesNoCaption = "Delete All Data";
inline const std::string kYesNoText = "This will delete all unsaved data!  Are you sure?";
// Title of the message boxes of the file dialogs' commands.
inline const std::string kFileErrorTitle = "Error";

// Writes the table as a CSV file at `path`, replacing it whole (FileSystem::writeAll): a
// failure leaves an earlier file of that name as it was. Throws kestrand::Error.
void writeCsvFile(ports::FileSystem& fs, const std::string& path, const store::SampleTable& t,
                  const store::Feedback& feedback = {});

// Prints the report's pages in their font at their positions and ends the document. Throws
// kestrand::Error when there is no printer or it refuses the job.
void printPages(const std::vector<view::ReportPage>& pages, ports::Printer& printer);
// The same without ending the document; `continued`: the pages follow others printed before, so
// the first of them starts a new page too.
void printPageRun(std::span<const view::ReportPage> pages, ports::Printer& printer, bool continued);

// "Save as": the data check, the save dialog (named after the current file of `files`, in the
// data directory), the file, the general message and the progress.
void mnuSave_Click(const Document& doc, const Files& files, Presenter& present,
                   ports::FileSystem& fs, ports::Dialogs& dialogs);

// Reads the saved CSV file at `path` (no more of it than an open can use) into the table in
// both passes, shows what failed, then the table in the grid and the labels; false (after
// "Error on Open!  ") when the file could not be read. `dataLimitWarning` shows the warning of
// a file longer than the table. `linesLost`, when given, receives the number of counted lines
// that short lines kept from being read.
bool openCsvFile(Document& doc, Presenter& present, const ports::FileSystem& fs,
                 const std::string& path,
                 const std::function<void(const std::string&)>& dataLimitWarning,
                 int* linesLost = nullptr);

// "Open": the confirmation while a table is shown, the open dialog (in `dataPath`), both passes
// over the file, then the table shown in the grid and the labels.
void mnuopen_Click(Document& doc, Presenter& present, const ports::FileSystem& fs,
                   ports::Dialogs& dialogs, const std::string& dataPath);

// "Print Data": the report on `printer`; a null printer is a machine without one.
void cmdPrint_Click(const Document& doc, Presenter& present, ports::Printer* printer);

}  // namespace kestrand::app
