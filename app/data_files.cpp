#include "app/data_files.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "core/text.h"
#include "store/raw_reader.h"
#include "view/csv.h"

namespace kestrand::app {
namespace {

// 1-based position of the first blank in `text`, 0 when it has none.
std::int64_t firstBlank(const std::string& text) {
  const auto at = text.find(' ');
  return at == std::string::npos ? 0 : static_cast<std::int64_t>(at) + 1;
}

// Whether the file name at the end of `path` ends in an extension: a period and one to four
// letters or digits, a letter among them (".dat", ".txt", ".xls"; not the ".33" of an upload's
// time, "QV 05.Dec.06  14.05.33").
bool hasExtension(const std::string& path) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
  const std::string_view ext = std::string_view(path).substr(dot + 1);
  const auto isAlnum = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
  const auto isAlpha = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
  return !ext.empty() && ext.size() <= 4 && std::all_of(ext.begin(), ext.end(), isAlnum) &&
         std::any_of(ext.begin(), ext.end(), isAlpha);
}

store::Feedback progressOn(Presenter& present) {
  store::Feedback f;
  f.progress = [&present](std::int64_t value, std::int64_t maximum) {
    present.progressBar(static_cast<int>(value), static_cast<int>(maximum));
  };
  return f;
}

}  // namespace

void writeCsvFile(ports::FileSystem& fs, const std::string& path, const store::SampleTable& t,
                  const store::Feedback& feedback) {
  // Made whole in memory (a few megabytes at most), then put in place in one step; room for it
  // all at once (a line's date, time, probe and units, and up to 13 characters a value), so
  // that it is never copied as it grows.
  std::string content;
  const auto used = std::count_if(t.ColUsed.begin(), t.ColUsed.begin() + 24,
                                  [](std::int16_t u) { return u > 0; });
  content.reserve(static_cast<std::size_t>(t.NumSamples + 1) *
                  static_cast<std::size_t>(48 + 13 * used));
  view::WriteCsv(
      t, [&content](std::string_view bytes) { content.append(bytes); }, feedback);
  fs.writeAll(path, content);
}

void printPages(const std::vector<view::ReportPage>& pages, ports::Printer& printer) {
  printPageRun(pages, printer, false);
  printer.endDoc();
}

void printPageRun(std::span<const view::ReportPage> pages, ports::Printer& printer,
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

void mnuSave_Click(const Document& doc, const Files& files, Presenter& present,
                   ports::FileSystem& fs, ports::Dialogs& dialogs) {
  if (!view::hasColumnsInUse(doc.table())) {
    present.errorBox(doc.messages().saveEntry());
    return;
  }
  std::string path;
  try {
    // The raw data file's name with ".csv" in the place of its last four characters.
    const std::string current = files.CurrentFile();
    if (current.size() < 4) {
      throw Error(ErrorKind::kGeneral,
                  "No raw data file has been viewed or received to name the file after");
    }
    const auto chosen = dialogs.saveFile({"Save as",
                                          view::kCsvFilter,
                                          files.DataPath(),
                                          current.substr(0, current.size() - 4) + ".csv",
                                          true,
                                          {}});
    if (!chosen) return;
    path = chosen->path;
    // With the spreadsheet filter, a name typed without an extension gets ".csv"; "All Files"
    // keeps the name as typed. The dialog asked about the name as typed; the added extension may
    // name another file.
    if (chosen->filter == 0 && !hasExtension(path)) {
      path += ".csv";
      if (fs.exists(path) && !dialogs.YesNo("Save as", path + " already exists.  Replace it?"))
        return;
    }
    // The upload this table came from stays whatever name is chosen.
    if (fs.sameFile(path, ports::joinPath(files.DataPath(), current)))
      throw Error(ErrorKind::kGeneral, "The raw data file " + current + " cannot be replaced");
    present.genMsg().write("Saving " + view::shownFileName(path));
    present.progressBar(0, doc.table().NumSamples);
    writeCsvFile(fs, path, doc.table(), progressOn(present));
    present.genMsg().write(" ");
    present.hideProgressBar();
  } catch (const Error& e) {
    present.hideProgressBar();
    present.ask(
        {"Error on Save!  " + e.description() + "\n" + signedText(firstBlank(path)) + " " + path,
         Buttons::kOk, false, kFileErrorTitle});
  }
}

bool openCsvFile(Document& doc, Presenter& present, const ports::FileSystem& fs,
                 const std::string& path,
                 const std::function<void(const std::string&)>& dataLimitWarning, int* linesLost) {
  // "Opening ..." is written without the general message's timer, so it shows for as long as
  // the open takes; once the open has ended, the timer clears it as it clears any other news.
  struct ClearWhenDone {
    GeneralMessage& genMsg;
    ~ClearWhenDone() { genMsg.clearAfter(5000); }  // as long as ShowGeneralMsg shows news
  } clearWhenDone{present.genMsg()};
  try {
    // One byte more than an open takes tells a file that is too long.
    const std::string content = fs.readHead(path, view::kMaxCsvBytes + 1);
    view::CsvOpened opened;
    doc.replace([&](LoadedUpload& next) {
      opened = view::OpenCsvContent(
          content, next.table, next.header,
          [&](const view::CsvCount& count) {
            if (count.overLimit) dataLimitWarning(*store::Data_limit_err(0));
            next.path = path;
            present.genMsg().write("Opening " + view::shownFileName(path));
            present.progressBar(0, count.NumSamples());
          },
          progressOn(present));
      const auto& t = next.table;
      const bool clockTimes = t.NumSamples > 0 && t.SampleTime[0].ends_with('M');
      const std::string unread = view::stampCsvSamples(
          next.table, next.header.ProbeType >= 16 && !clockTimes, doc.dates().dateChoice);
      if (!unread.empty()) opened.messages.push_back(unread);
    });
    for (const std::string& message : opened.messages) {
      present.ask({message, Buttons::kOk, false, kFileErrorTitle});
    }
    if (linesLost != nullptr) *linesLost = opened.linesLost;
    doc.UpdateDataTable();
    return true;
  } catch (const Error& e) {
    present.hideProgressBar();
    present.ask({"Error on Open!  " + e.description(), Buttons::kOk, false, kFileErrorTitle});
    return false;
  }
}

void mnuopen_Click(Document& doc, Presenter& present, const ports::FileSystem& fs,
                   ports::Dialogs& dialogs, const std::string& dataPath) {
  if (doc.table().NumSamples != 0) {
    if (!dialogs.YesNo(kYesNoCaption, kYesNoText)) return;
    doc.clear_regs();
    doc.ClearDat();
  }
  doc.clear_regs();
  std::optional<std::string> chosen;
  try {
    chosen = dialogs.openFile({"Open Data File", view::kCsvFilter, dataPath, {}, false, {}});
  } catch (const Error& e) {
    present.ask({"Error on Open!  " + e.description(), Buttons::kOk, false, kFileErrorTitle});
    return;
  }
  if (!chosen) return;
  // A spreadsheet of another format is passed over without a word.
  if (chosen->ends_with(".xls")) return;
  openCsvFile(doc, present, fs, *chosen,
              [&dialogs](const std::string& text) { dialogs.showDataWarning(text); });
}

void cmdPrint_Click(const Document& doc, Presenter& present, ports::Printer* printer) {
  try {
    if (printer == nullptr) throw Error(ErrorKind::kGeneral, "No printer is installed");
    printPageRun(view::PrintReport(doc.table(), doc.header()), *printer, false);
    const int fits = printer->lineCharacters(view::kReportLeftInches);
    printer->endDoc();
    // The listing keeps its layout; a paper too narrow for it is said so, with the way out.
    const std::vector<std::string> cut =
        fits > 0 ? view::cutColumns(doc.table(), fits) : std::vector<std::string>();
    if (!cut.empty()) {
      std::string names;
      for (const std::string& name : cut) names += (names.empty() ? "" : ", ") + name;
      present.genMsg().ShowGeneralMsg("Print Data: the paper cuts the columns " + names +
                                      "; File > \"Save report as PDF...\" shows every column");
    }
  } catch (const Error& e) {
    present.errorBox("Error on Open!  " + e.description());
  }
}

}  // namespace kestrand::app
