#include "app/data_files.h"

#include "core/text.h"
#include "store/raw_reader.h"
#include "view/csv.h"

namespace kestrand::app {
namespace {

using platform::LabelId;

// 1-based position of the first blank in `text`, 0 when it has none.
std::int64_t firstBlank(const std::string& text) {
  const auto at = text.find(' ');
  return at == std::string::npos ? 0 : static_cast<std::int64_t>(at) + 1;
}

store::Feedback progressOn(platform::MainView& view) {
  store::Feedback f;
  f.progress = [&view](std::int64_t value, std::int64_t maximum) {
    view.setProgress(static_cast<int>(value), static_cast<int>(maximum));
  };
  return f;
}

}  // namespace

void writeCsvFile(platform::FileSystem& fs, const std::string& path, const store::SampleTable& t,
                  const store::Feedback& feedback) {
  // Made whole in memory (a few megabytes at most), then put in place in one step.
  std::string content;
  view::WriteCsv(
      t, [&content](std::string_view bytes) { content.append(bytes); }, feedback);
  fs.writeAll(path, content);
}

void printPages(const std::vector<view::ReportPage>& pages, platform::Printer& printer) {
  printPageRun(pages, printer, false);
  printer.endDoc();
}

void printPageRun(std::span<const view::ReportPage> pages, platform::Printer& printer,
                  bool continued) {
  printer.setFont(std::string(view::kReportFont), view::kReportPoints);
  for (std::size_t p = 0; p < pages.size(); ++p) {
    if (p > 0 || continued) printer.newPage();
    printer.setCurrentY(view::kReportTopInches);
    for (const std::string& line : pages[p].lines) {
      printer.setCurrentX(view::kReportLeftInches);
      printer.printLine(line);
    }
  }
}

void mnuSave_Click(Program& g, platform::Dialogs& dialogs) {
  if (!view::hasColumnsInUse(g.table)) {
    g.p.box.show(errorBox(g.messages.saveEntry()));
    return;
  }
  std::string path;
  try {
    // The raw data file's name with ".csv" in the place of its last four characters.
    const std::string& current = g.catalogue.CurrentFile;
    if (current.size() < 4) {
      throw Error(ErrorKind::kGeneral,
                  "No raw data file has been viewed or received to name the file after");
    }
    const auto chosen = dialogs.saveFile({"Save as", view::kCsvFilter, g.DataPath,
                                          current.substr(0, current.size() - 4) + ".csv", true});
    if (!chosen) return;
    path = chosen->path;
    // The upload this table came from stays whatever name is chosen.
    if (g.p.fs.sameFile(path, platform::joinPath(g.DataPath, current)))
      throw Error(ErrorKind::kGeneral, "The raw data file " + current + " cannot be replaced");
    g.genMsg.write("Saving " + view::shownFileName(path));
    g.p.view.setProgress(0, g.table.NumSamples);
    writeCsvFile(g.p.fs, path, g.table, progressOn(g.p.view));
    g.genMsg.write(" ");
    g.p.view.setProgressVisible(false);
  } catch (const Error& e) {
    g.p.view.setProgressVisible(false);
    g.p.box.show(
        "Error on Save!  " + e.description() + "\n" + signedText(firstBlank(path)) + " " + path,
        platform::Buttons::kOk, false, kFileErrorTitle);
  }
}

bool OpenCsvFile(Program& g, const std::string& path,
                 const std::function<void(const std::string&)>& dataLimitWarning, int* linesLost) {
  // "Opening ..." is written without the general message's timer, so it shows for as long as
  // the open takes; once the open has ended, the timer clears it as it clears any other news.
  struct ClearWhenDone {
    GeneralMessage& genMsg;
    ~ClearWhenDone() { genMsg.clearAfter(5000); }  // as long as ShowGeneralMsg shows news
  } clearWhenDone{g.genMsg};
  try {
    // One byte more than an open takes tells a file that is too long.
    const std::string content = g.p.fs.readHead(path, view::kMaxCsvBytes + 1);
    const view::CsvOpened opened = view::OpenCsvContent(
        content, g.table, g.header,
        [&](const view::CsvCount& count) {
          if (count.overLimit) dataLimitWarning(*store::Data_limit_err(0));
          g.shownFile = path;
          g.genMsg.write("Opening " + view::shownFileName(path));
          g.p.view.setProgress(0, count.NumSamples());
        },
        progressOn(g.p.view));
    for (const std::string& message : opened.messages) {
      g.p.box.show(message, platform::Buttons::kOk, false, kFileErrorTitle);
    }
    if (linesLost != nullptr) *linesLost = opened.linesLost;
    g.UpdateDataTable();
    return true;
  } catch (const Error& e) {
    g.p.view.setProgressVisible(false);
    g.p.box.show("Error on Open!  " + e.description(), platform::Buttons::kOk, false,
                 kFileErrorTitle);
    return false;
  }
}

void mnuopen_Click(Program& g, platform::Dialogs& dialogs) {
  if (g.table.NumSamples != 0) {
    if (!dialogs.YesNo(kYesNoCaption, kYesNoText)) return;
    g.clear_regs();
    g.ClearDat();
  }
  g.clear_regs();
  std::optional<std::string> chosen;
  try {
    chosen = dialogs.openFile({"Open Data File", view::kCsvFilter, g.DataPath, {}, false});
  } catch (const Error& e) {
    g.p.box.show("Error on Open!  " + e.description(), platform::Buttons::kOk, false,
                 kFileErrorTitle);
    return;
  }
  if (!chosen) return;
  // A spreadsheet of another format is passed over without a word.
  if (chosen->ends_with(".xls")) return;
  OpenCsvFile(g, *chosen, [&dialogs](const std::string& text) { dialogs.showDataWarning(text); });
}

void cmdPrint_Click(Program& g, platform::Printer* printer) {
  try {
    if (printer == nullptr) throw Error(ErrorKind::kGeneral, "No printer is installed");
    printPages(view::PrintReport(g.table, g.header), *printer);
  } catch (const Error& e) {
    g.p.box.show(errorBox("Error on Open!  " + e.description()));
  }
}

}  // namespace kestrand::app
