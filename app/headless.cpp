#include "app/headless.h"

#include <algorithm>
#include <utility>

#include "app/data_files.h"
#include "core/error.h"
#include "core/messages.h"
#include "view/csv.h"
#include "view/stats.h"

namespace kestrand::app {

void HeadlessWindow::setLabel(ports::LabelId id, const std::string& text) {
  labels_[id] = text;
  // Clearing a label shows nothing new; only texts are handed on.
  if (text.empty() || !out_.label) return;
  using ports::LabelId;
  const std::pair<LabelId, std::string_view> said[] = {{LabelId::kStatDat, "status"},
                                                       {LabelId::kLblGenMsg, "message"},
                                                       {LabelId::kUploadProgress, "progress"},
                                                       {LabelId::kPortName, "port"}};
  for (const auto& [label, kind] : said) {
    if (id == label) out_.label(kind, text);
  }
}

std::string HeadlessWindow::label(ports::LabelId id) const {
  const auto it = labels_.find(id);
  return it == labels_.end() ? std::string() : it->second;
}

void HeadlessWindow::appendGridRow(int row, char separator, std::string& out) const {
  if (row > 0 && grid_.appendRow) {
    grid_.appendRow(row, separator, out);
    return;
  }
  for (int col = 0; col < static_cast<int>(grid_.titles.size()); ++col) {
    if (col > 0) out += separator;
    out += row == 0 ? grid_.titles[static_cast<size_t>(col)] : gridCell(row, col);
  }
}

void HeadlessWindow::listAdd(const std::string& entry) {
  list_.push_back(entry);
  if (out_.listed) out_.listed(entry);
}

ports::Answer HeadlessWindow::show(const std::string& text, ports::Buttons buttons, bool,
                                   const std::string& title) {
  if (title == kErrorTitle || title == "Error") ++errorBoxes_;
  if (out_.box) out_.box(title, text);
  return buttons == ports::Buttons::kOk ? ports::Answer::kOk : ports::Answer::kNo;
}

Headless::Headless(HeadlessServices s, const std::string& dataDir, HeadlessOutput out)
    : fs_(s.fs),
      window_(std::move(out)),
      prog({window_, window_, s.fs, s.clock, s.timers, s.port}, dataDir) {
  prog.link.formats().onlyRead();
}

std::optional<std::string> Headless::load(bool listFiles) {
  try {
    prog.load({.openPort = {}, .listFiles = listFiles, .failed = {}});
    return std::nullopt;
  } catch (const Error& e) {
    return e.description();
  }
}

void Headless::error(const std::string& text) {
  window_.show(text, ports::Buttons::kOk, false, kErrorTitle);
}

bool Headless::read(const std::string& path, int* linesLost) {
  if (view::endsWithCsv(path)) {
    return openCsvFile(
        prog.doc, prog.present, fs_, path,
        [this](const std::string& text) {
          window_.show(text, ports::Buttons::kOk, false, "Data Warning");
        },
        linesLost);
  }
  const auto [dir, name] = split(path);
  // The steps of "View" on a list entry.
  prog.present.status("Reading Raw Data File");
  const int before = window_.errorBoxes();
  prog.doc.ReadRawDataFile(name, dir);
  prog.present.status("Updating table");
  prog.doc.UpdateDataTable();
  prog.present.status("Table updated");
  return window_.errorBoxes() == before || prog.doc.table().NumSamples > 0;
}

WholeUpload Headless::whole(const std::string& path, const WholeUploadWanted& wanted) {
  const auto [dir, name] = split(path);
  WholeUpload upload = readWholeUpload(reader(), dir, name, wanted);
  for (const std::string& text : upload.messages) error(text);
  return upload;
}

view::ChartData Headless::chart(bool timeTexts) const {
  view::ChartBuilder builder(prog.doc.grid(), prog.doc.table(), prog.doc.header(),
                             prog.link.formats().dateChoice(), prog.link.formats().timeChoice());
  builder.keepTimeTexts(timeTexts);
  builder.add(prog.doc.table());
  return std::move(builder).finish();
}

WholeUpload Headless::shownSeries(const WholeUploadWanted& wanted) const {
  WholeUpload one;
  if (prog.doc.table().NumSamples < 1) return one;
  one.files = {prog.doc.shownName()};
  one.samples = static_cast<std::size_t>(prog.doc.table().NumSamples);
  if (wanted.stats)
    one.stats =
        view::columnStats(prog.doc.grid(), prog.doc.table(), prog.doc.header(),
                          prog.link.formats().dateChoice(), prog.link.formats().timeChoice());
  if (wanted.chartColumns == kNoChart && !wanted.assessment) return one;
  // Only a chart of every sample shows their time texts (at the pointer); a picture's axis and
  // the assessment are written from the instants.
  one.chart = chart(wanted.chartColumns == 0);
  if (wanted.assessment)
    one.assessment =
        view::assess(one.chart, wanted.assessment->limits, wanted.assessment->uncertaintyDb);
  return one;
}

std::pair<std::string, std::string> Headless::split(const std::string& path) {
  return {ports::folderOf(path), ports::fileNameOf(path)};
}

}  // namespace kestrand::app
