#include "app/presenter.h"

#include "core/messages.h"

namespace kestrand::app {

namespace {

// "h:mm:ss"
std::string clockText(std::chrono::milliseconds d) {
  const std::chrono::hh_mm_ss<std::chrono::seconds> t(
      std::chrono::duration_cast<std::chrono::seconds>(d));
  auto two = [](long long n) { return (n < 10 ? "0" : "") + std::to_string(n); };
  return std::to_string(t.hours().count()) + ":" + two(t.minutes().count()) + ":" +
         two(t.seconds().count());
}

}  // namespace

std::string uploadProgressText(const link::UploadProgress& p) {
  std::string head = "Receiving: ";
  std::string time = " since the header";
  if (p.end) {
    head = *p.end == link::UploadEnd::kLastMessage ? "Received: " : "Upload incomplete: ";
    time = clockText(p.elapsed);
    time.insert(0, " in ");
  } else {
    time.insert(0, clockText(p.elapsed));
    time.insert(0, ", ");
  }
  std::string text = head + std::to_string(p.records) + " records";
  if (p.refused > 0) text += " stored, " + std::to_string(p.refused) + " sent and not stored";
  text += ", " + std::to_string(p.bytes) + " bytes" + time;
  if (p.elapsed >= std::chrono::seconds(1)) {
    text += ", " + std::to_string(p.bytes * 1000 / static_cast<std::uint64_t>(p.elapsed.count())) +
            " bytes/s";
  }
  return text;
}

Presenter::Presenter(ports::MainView& view, ports::MessageBox& box, ports::TimerFactory& timers)
    : view_(view),
      box_(box),
      tmrShowGenMsg_(timers.createTimer()),
      boxTimer_(timers.createTimer()),
      genMsg_(view, *tmrShowGenMsg_) {
  // Off until a message is shown.
  tmrShowGenMsg_->setInterval(0);
  tmrShowGenMsg_->setEnabled(false);
  boxTimer_->setEnabled(false);
  boxTimer_->setInterval(1);
  boxTimer_->onTick([this] { showQueuedBoxes(); });
}

void Presenter::queueBox(const BoxRequest& request) {
  queued_.push_back(request);
  if (!showingBoxes_) boxTimer_->setEnabled(true);
}

void Presenter::showQueuedBoxes() {
  boxTimer_->setEnabled(false);
  if (showingBoxes_) return;  // the loop below shows it after the box open now
  showingBoxes_ = true;
  while (!queued_.empty()) {
    const BoxRequest next = queued_.front();
    queued_.pop_front();
    box_.show(next);
  }
  showingBoxes_ = false;
}

Answer Presenter::ask(const BoxRequest& request) {
  return box_.show(request);
}

void Presenter::check(ports::Command menu, int number, bool on) {
  view_.setChecked(menu, number, on);
}

void Presenter::checks(ports::Command menu, const datetime::FormatChange& change) {
  for (size_t i = 0; i < change.checks.size(); ++i) {
    check(menu, static_cast<int>(i) + 1, change.checks[i]);
  }
  if (change.unsaved) throw *change.unsaved;
}

void Presenter::selectTab(int index) {
  view_.selectTab(index);
}

void Presenter::progressBar(int value, int maximum) {
  view_.setProgress(value, maximum);
}

void Presenter::hideProgressBar() {
  view_.setProgressVisible(false);
}

store::Feedback Presenter::feedback() {
  store::Feedback f;
  f.busy = [this](bool on) { busy(on); };
  f.status = [this](const std::string& text) { status(text); };
  f.progress = [this](std::int64_t value, std::int64_t maximum) {
    constexpr std::int64_t kSteps = 1000;
    if (maximum > kSteps) {
      value = value * kSteps / maximum;
      maximum = kSteps;
    }
    view_.setProgressVisible(true);
    progressBar(static_cast<int>(value), static_cast<int>(maximum));
  };
  f.hideProgress = [this] { hideProgressBar(); };
  return f;
}

void Presenter::status(const std::string& text) {
  view_.setLabel(ports::LabelId::kStatDat, text);
}

void Presenter::generalMessage(const std::string& text) {
  genMsg_.ShowGeneralMsg(text);
}

void Presenter::notice(const std::string& text, int ms) {
  genMsg_.write(text);
  genMsg_.clearAfter(ms);
}

void Presenter::errorBox(const std::string& text) {
  ask(kestrand::errorBox(text));
}

void Presenter::errorNotice(const std::string& text) {
  queueBox(kestrand::errorBox(text));
}

void Presenter::busy(bool on) {
  view_.setBusy(on);
}

void Presenter::progress(const link::UploadProgress& p) {
  if (!p.end && p.upload == shownUpload_ && p.elapsed - shownAt_ < std::chrono::seconds(1)) return;
  shownUpload_ = p.upload;
  shownAt_ = p.elapsed;
  view_.setLabel(ports::LabelId::kUploadProgress, uploadProgressText(p));
}

void Presenter::portName(const std::string& text) {
  view_.setLabel(ports::LabelId::kPortName, text);
}

}  // namespace kestrand::app
