#include "app/document.h"

#include "store/raw_reader.h"

namespace kestrand::app {

Document::Document(Deps deps) : d_(deps) {}

namespace {

// What a document shows before its first read, made when first asked for.
const std::shared_ptr<const LoadedUpload>& nothingLoaded() {
  static const auto nothing = std::make_shared<const LoadedUpload>();
  return nothing;
}

}  // namespace

std::shared_ptr<const LoadedUpload> Document::shown() const {
  return shown_ ? shown_ : nothingLoaded();
}

void Document::replace(const std::function<void(LoadedUpload&)>& change) {
  // Copied on write: when nothing else holds the upload shown, no one can see it change.
  std::shared_ptr<LoadedUpload> next = !shown_ ? std::make_shared<LoadedUpload>()
                                       : shown_.use_count() == 1
                                           ? std::move(shown_)
                                           : std::make_shared<LoadedUpload>(*shown_);
  try {
    change(*next);
  } catch (...) {
    shown_ = std::move(next);  // a read that failed half-way shows what it read, as it said
    throw;
  }
  shown_ = std::move(next);
}

view::DateContext Document::dates() const {
  return {d_.ElapsedMode, d_.formats.dateChoice(), d_.formats.timeChoice(), d_.clock.now()};
}

UploadReader Document::uploadReader() const {
  return {d_.fs, d_.probes, d_.messages, dates()};
}

void Document::ReadRawDataFile(const std::string& filename, const std::string& dir) {
  const store::ReadContext context{d_.probes, d_.messages, d_.formats.dateChoice(),
                                   d_.present.feedback()};
  store::ReadResult r;
  replace([&](LoadedUpload& next) {
    next.path = ports::joinPath(dir, filename);
    next.name = filename;
    r = store::ReadRawDataFile(filename, d_.fs, dir, context, next.header, next.table);
  });
  for (const std::string& text : r.messages) d_.present.errorBox(text);
}

void Document::showGrid() {
  ports::GridContent content;
  content.titles = grid_.titles;
  content.widthsTwips = grid_.widthsTwips;
  content.rows = grid_.rows;
  // The cells are asked for as they are drawn: a grid never drawn needs no table behind it.
  content.cell = [grid = grid_, upload = std::shared_ptr<const LoadedUpload>(shown_)](int row,
                                                                                      int col) {
    return view::cellText(grid, (upload ? upload : nothingLoaded())->table, row, col);
  };
  content.appendRow = [grid = grid_, upload = std::shared_ptr<const LoadedUpload>(shown_)](
                          int row, char separator, std::string& out) {
    view::appendRowText(grid, (upload ? upload : nothingLoaded())->table, row, separator, out);
  };
  d_.view.showGrid(std::move(content));
}

void Document::UpdateDataTable() {
  using ports::LabelId;
  const store::Feedback f = d_.present.feedback();
  try {
    view::DataTableView made;
    // The labels' work strings and the moving average's mark are set as the grid is made.
    replace([&](LoadedUpload& next) {
      made = view::UpdateDataTable(next.table, next.header, dates(), f);
    });
    grid_ = made.grid;
    showGrid();
    labels_ = made.labels;
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
      showChart(
          [grid = grid_, upload = shown(), dateChoice = d_.formats.dateChoice(),
           timeChoice = d_.formats.timeChoice()] {
            return view::chartData(grid, upload->table, upload->header, dateChoice, timeChoice);
          },
          shownName());
    }
  } catch (const Error& e) {
    f.setBusy(false);
    f.hide();
    d_.present.errorBox(e.description());
  }
}

void Document::UpdateDataTable2() {
  grid_ = view::UpdateDataTable2(d_.ElapsedMode);
  showGrid();
}

void Document::clear_regs() {
  replace([](LoadedUpload& next) { store::clear_regs(next.table, next.header); });
}

void Document::ClearDat() {
  replace([](LoadedUpload& next) {
    next.table.NumSamples = 0;
    next.path.clear();
  });
  UpdateDataTable();
}

}  // namespace kestrand::app
