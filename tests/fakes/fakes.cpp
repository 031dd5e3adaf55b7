#include "tests/fakes/fakes.h"

#include <algorithm>
#include <cmath>

#include "core/error.h"

namespace kestrand::ports::fake {

void FakeClock::advanceSeconds(double s) {
  // Past midnight is the next day; the tests only cross midnight within a month.
  const double t = std::fmod(now_.secondsSinceMidnight + s, 86400.0);
  if (t < now_.secondsSinceMidnight + s) ++now_.day;
  const int whole = static_cast<int>(std::floor(t));
  now_ = {now_.year, now_.month, now_.day, whole / 3600, whole % 3600 / 60, whole % 60, t};
}

Answer ScriptedMessageBox::show(const std::string& text, Buttons buttons, bool warningIcon,
                                const std::string& title) {
  shown.push_back({text, buttons, warningIcon, title});
  if (whileOpen) whileOpen(shown.back());
  if (script_.empty()) return buttons == Buttons::kOk ? Answer::kOk : Answer::kNo;
  Answer a = script_.front();
  script_.pop_front();
  return a;
}

void FakeSerialPort::open(const std::string& device) {
  if (std::find(refused.begin(), refused.end(), device) != refused.end())
    throw Error(ErrorKind::kPortOpenFailed, "The port " + device + " cannot be opened");
  open_ = true;
  openedDevices.push_back(device);
}

std::string FakeSerialPort::systemDevice() const {
  if (!open_) return {};
  const auto it = links.find(openedDevices.back());
  return it == links.end() ? openedDevices.back() : it->second;
}

void FakeSerialPort::deliver(std::string_view bytes) {
  if (!open_) return;  // nothing arrives on a closed port
  pending_.append(bytes);
  raise(comm_event::kReceive);
}

void FakeSerialPort::raise(int code) {
  if (!open_) return;                                // a closed port raises nothing
  if (code == comm_event::kPortLost) open_ = false;  // a port closes itself as its device goes
  if (handler_) handler_(code);
}

void FakeMainView::build(const WindowLayout&, MainWindowEvents& events) {
  events_ = &events;
}

void FakeMainView::setLabel(LabelId id, const std::string& text) {
  labels[id] = text;
  labelLog.emplace_back(id, text);
}

std::string FakeMainView::label(LabelId id) const {
  auto it = labels.find(id);
  return it == labels.end() ? std::string() : it->second;
}

std::string FakeMainView::cell(int row, int col) const {
  if (row == 0) return grid.titles.at(static_cast<size_t>(col));
  return grid.cell ? grid.cell(row, col) : std::string();
}

void FakeMainView::listRemove(int index) {
  list.erase(list.begin() + index);
  if (selected >= listCount()) selected = -1;
}

void FakeMainView::setChecked(Command command, int number, bool on) {
  checks[{command, number}] = on;
}

bool FakeMainView::checked(Command command, int number) const {
  auto it = checks.find({command, number});
  return it != checks.end() && it->second;
}

void FakeDialogs::showSplash(const std::string& versionText) {
  events.push_back("splash shown: " + versionText);
}

int FakeDialogs::choosePort(int initial) {
  events.push_back("port dialog");
  if (duringPortDialog) duringPortDialog();
  if (portChoices.empty()) return initial;
  int p = portChoices.front();
  portChoices.pop_front();
  return p;
}

namespace {
std::optional<std::string> nextPath(std::deque<std::optional<std::string>>& script) {
  if (script.empty()) return std::nullopt;
  auto path = script.front();
  script.pop_front();
  return path;
}
}  // namespace

std::optional<std::string> FakeDialogs::openFile(const FileDialogRequest& request) {
  fileDialogs.push_back(request);
  events.push_back("open dialog");
  return nextPath(chosenPaths);
}

std::optional<SaveChoice> FakeDialogs::saveFile(const FileDialogRequest& request) {
  fileDialogs.push_back(request);
  events.push_back("save dialog");
  auto path = nextPath(chosenPaths);
  const int filter = chosenFilters.empty() ? 0 : chosenFilters.front();
  if (!chosenFilters.empty()) chosenFilters.pop_front();
  if (!path) return std::nullopt;
  return SaveChoice{std::move(*path), filter};
}

void FakePrinter::setFont(const std::string& name, int size) {
  if (refuse) throw Error(ErrorKind::kGeneral, "No printer is installed");
  font = name;
  points = size;
  if (pages.empty()) pages.emplace_back();
}

void FakePrinter::printLine(const std::string& text) {
  if (pages.empty()) pages.emplace_back();
  pages.back().push_back({x_, y_, text});
  x_ = 0.0;
  y_ += kLineInches;
}

bool FakeDialogs::YesNo(const std::string& caption, const std::string& text) {
  events.push_back("yes/no: " + caption + "|" + text);
  if (yesNoAnswers.empty()) return false;
  const bool yes = yesNoAnswers.front();
  yesNoAnswers.pop_front();
  return yes;
}

}  // namespace kestrand::ports::fake
