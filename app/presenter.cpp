#include "app/presenter.h"

namespace kestrand::app {

bool Presenter::list(const store::ListUpdate& update) {
  if (update.box) box_.show(*update.box);
  if (!update.added()) return false;
  view_.listAdd(update.entry);
  genMsg_.ShowGeneralMsg(update.generalMessage);
  return true;
}

void Presenter::checks(platform::Command menu, const datetime::FormatChange& change) {
  for (size_t i = 0; i < change.checks.size(); ++i) {
    view_.setChecked(menu, static_cast<int>(i) + 1, change.checks[i]);
  }
  if (change.unsaved) throw *change.unsaved;
}

}  // namespace kestrand::app
