#include "app/program.h"

#include <array>

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
      link(LinkController::Deps{p.port, p.view, p.box, p.fs, p.clock, *Timer1, *tmrReadingData,
                                *tmrReopen, genMsg, messages, header, catalogue,
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
      // The grid's start layout arrives with the data table.
      [] {},
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
  link.receivePath().clear();
  p.view.selectTab(1);
  Timer1->setEnabled(false);
}

bool Program::AddToList(std::int16_t extLogMode) {
  return present.list(fileList.AddToList(extLogMode));
}

}  // namespace kestrand::app
