#include "app/program.h"

#include <array>

#include "store/raw_reader.h"

namespace kestrand::app {

namespace {
std::unique_ptr<platform::Timer> makeTimer(platform::TimerFactory& f, int interval, bool enabled) {
  auto t = f.createTimer();
  t->setInterval(interval);
  t->setEnabled(enabled);
  return t;
}
}  // namespace

Program::Program(Platform plat, std::string dataPath)
    : p(plat),
      DataPath(std::move(dataPath)),
      Timer1(makeTimer(p.timers, 2000, false)),
      tmrReadingData(makeTimer(p.timers, 0, false)),
      tmrShowGenMsg(makeTimer(p.timers, 0, false)),
      tmrReopen(makeTimer(p.timers, 1000, false)),
      genMsg(p.view, *tmrShowGenMsg),
      present(p.view, p.box, genMsg),
      formats(p.fs, DataPath),
      fileList(store::FileList::Deps{catalogue, header, probes, messages, p.fs, DataPath}),
      link(LinkController::Deps{p.port, present, p.fs, p.clock, *Timer1, *tmrReadingData,
                                *tmrReopen, messages, header, catalogue,
                                [this](std::int16_t extLogMode) { return AddToList(extLogMode); },
                                formats, ElapsedMode, DataPath}) {}

bool Program::load(const LoadPlan& plan) {
  using platform::Command;
  const std::array<std::function<void()>, 7> steps = {
      [&] { p.view.setLabel(platform::LabelId::kLabel1, "Data Path: " + DataPath); },
      [&] {
        if (plan.openPort) plan.openPort();
      },
      [&] {
        present.checks(Command::kDateFormat, formats.GetDefault2());
        present.checks(Command::kTimeFormat, formats.GetDefault3());
      },
      [&] { probes.InitProbeTable(); },
      [&] { initialize_global_vars(); },
      [&] {
        if (plan.listFiles) fileList.SearchForFiles([&](const auto& u) { present.list(u); });
      },
      [&] { UpdateDataTable2(); },
  };
  for (const auto& runStep : steps) {
    for (;;) {
      try {
        runStep();
        break;
      } catch (const Error& e) {
        if (!plan.failed) throw;
        if (!plan.failed(e)) return false;
      }
    }
  }
  return true;
}

void Program::initialize_global_vars() {
  // The link's control bytes, LineBreak and the message catalogue are constants of the
  // program, built with it.
  catalogue.NumFiles = 0;
  link.meterLink().clearReceive();
  p.view.selectTab(1);
  Timer1->setEnabled(false);
}

bool Program::AddToList(std::int16_t extLogMode) {
  return present.list(fileList.AddToList(extLogMode));
}

store::Feedback Program::feedback() {
  store::Feedback f;
  f.busy = [this](bool on) { p.view.setBusy(on); };
  f.status = [this](const std::string& text) {
    p.view.setLabel(platform::LabelId::kStatDat, text);
  };
  f.progress = [this](std::int64_t value, std::int64_t maximum) {
    // A file's size in bytes becomes a thousand steps.
    constexpr std::int64_t kSteps = 1000;
    if (maximum > kSteps) {
      value = value * kSteps / maximum;
      maximum = kSteps;
    }
    p.view.setProgressVisible(true);
    p.view.setProgress(static_cast<int>(value), static_cast<int>(maximum));
  };
  f.hideProgress = [this] { p.view.setProgressVisible(false); };
  return f;
}

void Program::ReadRawDataFile(const std::string& filename, const std::string& dir) {
  const store::ReadContext context{probes, messages, formats.dateChoice(), feedback()};
  shownFile = platform::joinPath(dir, filename);
  const store::ReadResult r = store::ReadRawDataFile(filename, p.fs, dir, context, header, table);
  for (const std::string& text : r.messages) p.box.show(errorBox(text));
}

void Program::showGrid() {
  platform::GridContent content;
  content.titles = grid.titles;
  content.widthsTwips = grid.widthsTwips;
  content.rows = grid.rows;
  content.cell = [this](int row, int col) { return view::cellText(grid, table, row, col); };
  p.view.showGrid(std::move(content));
}

void Program::UpdateDataTable() {
  using platform::LabelId;
  const view::DateContext dates{ElapsedMode, formats.dateChoice(), formats.timeChoice(),
                                p.clock.now()};
  const store::Feedback f = feedback();
  try {
    const view::DataTableView shown = view::UpdateDataTable(table, header, dates, f);
    grid = shown.grid;
    showGrid();
    const view::InfoLabels& l = shown.labels;
    p.view.setLabel(LabelId::kLblStartDate, l.lblStartDate);
    p.view.setLabel(LabelId::kLblEndDate, l.lblEndDate);
    p.view.setLabel(LabelId::kLblStartTime, l.lblStartTime);
    p.view.setLabel(LabelId::kLblEndTime, l.lblEndTime);
    p.view.setLabel(LabelId::kLblSampleCnt, l.lblSampleCnt);
    p.view.setLabel(LabelId::kLblProbeModel, l.lblProbeModel);
    p.view.setLabel(LabelId::kLblUnits, l.lblUnits);
    p.view.setLabel(LabelId::kMavgMess, l.MAVG_mess);
    if (showChart) {
      // The header is taken as it is now: an upload rewrites it.
      showChart(
          [this, shownHeader = header, dateChoice = formats.dateChoice()] {
            return view::chartData(grid, table, shownHeader, dateChoice);
          },
          catalogue.CurrentFile);
    }
  } catch (const Error& e) {
    f.setBusy(false);
    f.hide();
    p.box.show(errorBox(e.description()));
  }
}

void Program::UpdateDataTable2() {
  grid = view::UpdateDataTable2(ElapsedMode);
  showGrid();
}

void Program::clear_regs() {
  store::clear_regs(table, header);
}

void Program::ClearDat() {
  table.NumSamples = 0;
  shownFile.clear();
  UpdateDataTable();
}

void Program::Show_list_status(int selected, int choice) {
  fileList.Show_list_status(
      selected, choice,
      {[this](const std::string& text) { p.view.setLabel(platform::LabelId::kStatDat, text); },
       [this](const std::string& name) { ReadRawDataFile(name); }, [this] { UpdateDataTable(); }});
}

}  // namespace kestrand::app
