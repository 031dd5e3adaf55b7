#include "app/start_up.h"

#include <algorithm>
#include <cmath>

#include "core/version.h"

namespace kestrand::app {

// The splash window stays this long, by the clock.
constexpr int kSplashMs = 3000;

std::string splashText() {
  return "Version " + versionText();
}

StartUp::StartUp(Program& prog, ports::Dialogs& dialogs, std::function<void()> unload)
    : prog_(prog),
      dialogs_(dialogs),
      unload_(std::move(unload)),
      splashTimer_(prog.services.timers.createTimer()) {
  splashTimer_->onTick([this] { splashTick(); });
}

void StartUp::start() {
  dialogs_.showSplash(splashText());
  splashStart_ = prog_.services.clock.now().secondsSinceMidnight;
  splashTimer_->setEnabled(false);
  splashTimer_->setInterval(kSplashMs);
  splashTimer_->setEnabled(true);
}

void StartUp::splashTick() {
  splashTimer_->setEnabled(false);
  // A reading below the start means midnight has passed.
  double reading = prog_.services.clock.now().secondsSinceMidnight;
  if (reading < splashStart_) reading += 86400.0;
  const double due = splashStart_ + kSplashMs / 1000.0;
  if (static_cast<float>(due) > static_cast<float>(reading)) {
    splashTimer_->setInterval(std::max(1, static_cast<int>(std::ceil((due - reading) * 1000.0))));
    splashTimer_->setEnabled(true);
    return;
  }
  prog_.services.view.show();
  loadWindow();
  dialogs_.closeSplash();
}

bool StartUp::loadWindow() {
  const auto choosePort = [this](int initial) { return dialogs_.choosePort(initial); };
  LoadPlan plan;
  plan.openPort = [this, choosePort] { prog_.link.GetDefaultPort(choosePort); };
  plan.failed = [this](const Error& e) {
    if (e.is(ErrorKind::kPortInUse) || e.is(ErrorKind::kFileNotFound)) {
      // Let the user pick another port, then run the failed step again.
      prog_.link.setPortNumber(dialogs_.choosePort(2));
      return true;
    }
    prog_.present.ask(errorBox("Error on Open!  " + e.description()));
    unload_();
    return false;
  };
  return prog_.load(plan);
}

}  // namespace kestrand::app
