#include "app/document.h"

#include "store/raw_reader.h"

namespace kestrand::app {

Document::Document(Deps deps) : header(deps.header), d_(deps) {}

view::DateContext Document::dates() const {
  return {d_.ElapsedMode, d_.formats.dateChoice(), d_.formats.timeChoice(), d_.clock.now()};
}

UploadReader Document::uploadReader() const {
  return {d_.fs, d_.probes, d_.messages, dates()};
}

void Document::ReadRawDataFile(const std::string& filename, const std::string& dir) {
  const store::ReadContext context{d_.probes, d_.messages, d_.formats.dateChoice(),
                                   d_.present.feedback()};
  shownFile = platform::joinPath(dir, filename);
  const store::ReadResult r = store::ReadRawDataFile(filename, d_.fs, dir, context, header, table);
  for (const std::string& text : r.messages) d_.present.errorBox(text);
}

void Document::showGrid() {
  platform::GridContent content;
  content.titles = grid.titles;
  content.widthsTwips = grid.widthsTwips;
  content.rows = grid.rows;
  content.cell = [this](int row, int col) { return view::cellText(grid, table, row, col); };
  d_.view.showGrid(std::move(content));
}

void Document::UpdateDataTable() {
  using platform::LabelId;
  const store::Feedback f = d_.present.feedback();
  try {
    const view::DataTableView shown = view::UpdateDataTable(table, header, dates(), f);
    grid = shown.grid;
    showGrid();
    labels_ = shown.labels;
    const view::InfoLabels& l = labels_;
    d_.view.setLabel(LabelId::kLblStartDate, l.lblStartDate);
    d_.view.setLabel(LabelId::kLblEndDate, l.lblEndDate);
    d_.view.setLabel(LabelId::kLblStartTime, l.lblStartTime);
    d_.view.setLabel(LabelId::kLblEndTime, l.lblEndTime);
    d_.view.setLabel(LabelId::kLblSampleCnt, l.lblSampleCnt);
    d_.view.setLabel(LabelId::kLblProbeModel, l.lblProbeModel);
    d_.view.setLabel(LabelId::kLblUnits, l.lblUnits);
    d_.view.setLabel(LabelId::kMavgMess, l.MAVG_mess);
    if (showChart) {
      // The header is taken as it is now: an upload rewrites it.
      showChart(
          [this, shownHeader = header, dateChoice = d_.formats.dateChoice()] {
            return view::chartData(grid, table, shownHeader, dateChoice);
          },
          d_.CurrentFile);
    }
  } catch (const Error& e) {
    f.setBusy(false);
    f.hide();
    d_.present.errorBox(e.description());
  }
}

void Document::UpdateDataTable2() {
  grid = view::UpdateDataTable2(d_.ElapsedMode);
  showGrid();
}

void Document::clear_regs() {
  store::clear_regs(table, header);
}

void Document::ClearDat() {
  table.NumSamples = 0;
  shownFile.clear();
  UpdateDataTable();
}

}  // namespace kestrand::app
