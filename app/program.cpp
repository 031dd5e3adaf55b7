#include "app/program.h"

#include <array>

namespace kestrand::app {

ReceiveSide::ReceiveSide(Platform platform, std::string dataPath)
    : services(platform),
      present(services.view, services.box, services.timers),
      files({services.view, present, services.fs, probes, messages, dataPath}),
      link({services.port, services.fs, services.clock, services.timers, present, messages, files,
            std::move(dataPath)}) {}

bool ReceiveSide::runLoad(const LoadPlan& plan, const std::function<void()>& gridLayout) {
  using ports::Command;
  const std::array<std::function<void()>, 7> steps = {
      [&] { files.showDataPath(); },
      [&] {
        if (plan.openPort) plan.openPort();
      },
      [&] {
        present.checks(Command::kDateFormat, link.formats().GetDefault2());
        present.checks(Command::kTimeFormat, link.formats().GetDefault3());
      },
      [&] { probes.InitProbeTable(); },
      [&] { initialize_global_vars(); },
      [&] {
        if (plan.listFiles) files.SearchForFiles();
      },
      [&] {
        if (gridLayout) gridLayout();
      },
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

void ReceiveSide::initialize_global_vars() {
  // The link's control bytes, LineBreak and the message catalogue are constants of the
  // program, built with it.
  files.catalogue.NumFiles = 0;
  link.meterLink().clearReceive();
  present.selectTab(1);
  link.stopStatusTimer();
}

Program::Program(Platform platform, std::string dataPath)
    : ReceiveSide(platform, std::move(dataPath)),
      doc({services.view, present, services.fs, services.clock, messages, probes, link.formats(),
           link.ElapsedMode()}) {}

}  // namespace kestrand::app
