#pragma once
// The program without a window, for a front end that shows what it says in its own way
// (kestrand-cli, on a console). The main window's labels, file list and grid are kept as values;
// message boxes are answered OK (No to a question) and counted; and what the window would show
// as it happens (the status, the general message, the progress, the port, a new list entry, a
// box) is handed on as it comes.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_view.h"
#include "app/program.h"
#include "app/whole_upload.h"
#include "ports/message_box.h"

namespace kestrand::app {

struct HeadlessOutput {
  // A label given a text: "status", "message", "progress" or "port" (not when it is emptied).
  std::function<void(std::string_view kind, const std::string& text)> label;
  std::function<void(const std::string& entry)> listed;  // an entry added to the file list
  std::function<void(const std::string& title, const std::string& text)> box;
};

class HeadlessWindow final : public ports::MainView, public ports::MessageBox {
 public:
  explicit HeadlessWindow(HeadlessOutput out) : out_(std::move(out)) {}

  void build(const ports::WindowLayout&, ports::MainWindowEvents&) override {}
  void show() override {}
  void quit() override {}
  void setLabel(ports::LabelId id, const std::string& text) override;
  std::string label(ports::LabelId id) const override;
  void selectTab(int index) override { tab_ = index; }
  int selectedTab() const override { return tab_; }
  void listAdd(const std::string& entry) override;
  void listRemove(int index) override { list_.erase(list_.begin() + index); }
  int listCount() const override { return static_cast<int>(list_.size()); }
  std::string listItem(int index) const override { return list_.at(static_cast<size_t>(index)); }
  int listSelected() const override { return -1; }
  void listSelect(int) override {}
  void setChecked(ports::Command, int, bool) override {}
  bool checked(ports::Command, int) const override { return false; }
  void setBusy(bool) override {}
  void setProgress(int, int) override {}
  void setProgressVisible(bool) override {}
  void showGrid(ports::GridContent grid) override { grid_ = std::move(grid); }

  using ports::MessageBox::show;
  ports::Answer show(const std::string& text, ports::Buttons buttons, bool warningIcon,
                     const std::string& title) override;

  // Boxes shown with an error title ("RIviriro Error", "Error").
  int errorBoxes() const { return errorBoxes_; }
  // The grid as shown: its columns' titles, then `gridRows() - 1` rows of cells (1 on).
  const std::vector<std::string>& gridTitles() const { return grid_.titles; }
  int gridRows() const { return grid_.rows; }
  std::string gridCell(int row, int col) const {
    return grid_.cell ? grid_.cell(row, col) : std::string();
  }
  // Row `row`'s cells (the titles for row 0), `separator` before every cell but the first.
  void appendGridRow(int row, char separator, std::string& out) const;

 private:
  HeadlessOutput out_;
  std::map<ports::LabelId, std::string> labels_;
  std::vector<std::string> list_;
  ports::GridContent grid_;
  int tab_ = 1;
  int errorBoxes_ = 0;
};

// The services a headless program takes from its front end.
struct HeadlessServices {
  ports::FileSystem& fs;
  ports::Clock& clock;
  ports::TimerFactory& timers;
  ports::SerialPort& port;  // never opened
};

// The program loaded as at start-up without a port, for commands that only read: the display
// formats come from the data folder's settings files, or are the defaults in memory; no
// settings file is created or changed.
class Headless {
 public:
  Headless(HeadlessServices services, const std::string& dataDir, HeadlessOutput out);

  // The load steps, with or without the file list; the reason when one failed.
  std::optional<std::string> load(bool listFiles);
  // Reads FILE (a path, or a bare name in the current directory) into the table as the desktop
  // program shows it: a raw data file as "View" reads it, a saved CSV file as "Open" does.
  // False when nothing could be read; `linesLost`: the lines of a CSV file not read.
  bool read(const std::string& path, int* linesLost = nullptr);
  // An error box, as the program shows one.
  void error(const std::string& text);
  // 1 once an error box was shown, else 0.
  int status() const { return window_.errorBoxes() > 0 ? 1 : 0; }

  // How the program reads files for a series of its own, with its formats and today's date.
  UploadReader reader() const { return prog.doc.uploadReader(); }
  // The whole upload raw data file `path` belongs to, its messages shown as error boxes.
  WholeUpload whole(const std::string& path, const WholeUploadWanted& wanted);
  // The chart of the table on display, as the "Chart" tab draws it; its samples' time texts
  // only when `timeTexts`.
  view::ChartData chart(bool timeTexts = true) const;
  // The table on display as a series of one file, with what `wanted` asks for (its chart with
  // every sample); none when it has no samples.
  WholeUpload shownSeries(const WholeUploadWanted& wanted) const;

  const HeadlessWindow& window() const { return window_; }

  // The directory of `path` and the name in it.
  static std::pair<std::string, std::string> split(const std::string& path);

 private:
  ports::FileSystem& fs_;
  HeadlessWindow window_;

 public:
  Program prog;
};

}  // namespace kestrand::app
