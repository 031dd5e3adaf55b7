#include "app/program.h"

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
      genMsg(p.view, *tmrShowGenMsg),
      formats(p.fs, &p.view, DataPath),
      fileList(store::FileList::Deps{catalogue, header, probes, messages, p.view, p.box, p.fs,
                                     DataPath,
                                     [this](const std::string& m) { genMsg.ShowGeneralMsg(m); }}),
      link(LinkController::Deps{p.port, p.view, p.box, p.fs, p.clock, *Timer1, *tmrReadingData,
                                genMsg, messages, header, catalogue, fileList, formats, ElapsedMode,
                                DataPath}) {}

}  // namespace kestrand::app
