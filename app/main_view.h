#pragma once
// The main window and its small dialogs, as the logic drives them. The window's menus, tabs and
// controls are built by the realisation from the layout the logic hands in; the logic then
// only sets texts, check marks and states, and receives typed commands.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrand::ports {

enum class LabelId {
  kStatDat,    // link status
  kLblGenMsg,  // general message
  kLabel1,     // data path
  kLblStartDate,
  kLblEndDate,
  kLblStartTime,
  kLblEndTime,
  kLblSampleCnt,
  kLblProbeModel,
  kLblUnits,
  kMavgMess,
  // Beside the status label: the device the port has open, and the upload in progress.
  kPortName,
  kUploadProgress,
};

// The commands of the main window: menu items, buttons, the file list and the close box. The
// port, date format and time format items carry their number (1..5, 1..9, 1..4) with them.
enum class Command {
  kNone,  // sub-menus and separators
  kOpen,
  kSaveAs,
  kExit,
  kCommPort,
  kDateFormat,
  kTimeFormat,
  kDateHelp,
  kTimeHelp,
  kAbout,
  kView,
  kLastMessage,
  kDelete,
  kDeleteAll,
  kPrint,
  kSaveReport,  // File > "Save report as PDF..." (the survey report)
  kListClick,
  kListDoubleClick,
  kListEnter,  // Enter (Return) on the selected entry
  kClose,
};

// One menu entry: a command with its control name and caption, a separator, or a sub-menu.
struct MenuEntry {
  std::string name;  // control name, for example "mnuDate3"; empty for a separator
  std::string caption;
  Command command = Command::kNone;
  int number = 0;                // the port or format number of the command
  std::vector<MenuEntry> items;  // non-empty for a sub-menu
  bool isSeparator() const { return name.empty() && caption.empty(); }
};

struct WindowLayout {
  std::string caption;
  std::vector<std::string> tabs;  // tab captions, tab 0 first
  std::vector<MenuEntry> menuBar;
  struct Button {
    std::string name;
    std::string caption;
    int tab;
    Command command;
  };
  std::vector<Button> buttons;
  std::string infoFrameCaption;
};

// The data grid as the window shows it: one fixed title row, then data rows whose cell texts are
// asked for only when they come into view. A column is never narrower than its title and texts:
// its width is the least it gets.
struct GridContent {
  std::vector<std::string> titles;  // row 0: one per column, centred like every column
  std::vector<int> widthsTwips;     // per column, in twips (1/1440 inch); negative: the widget's
  int rows = 1;                     // the title row included
  // The text of data cell (row >= 1, col); it reads the logic's table, so it stays valid until
  // the next showGrid.
  std::function<std::string(int row, int col)> cell;
  // Row `row`'s cells, as `cell` gives them, `separator` before every cell but the first,
  // appended to `out` (for a front end that writes the whole grid as text); may be empty.
  std::function<void(int row, char separator, std::string& out)> appendRow;
};

// The commands the window reports to the logic, with the item's number where it has one.
class MainWindowEvents {
 public:
  virtual ~MainWindowEvents() = default;
  virtual void command(Command command, int number) = 0;
};

class MainView {
 public:
  virtual ~MainView() = default;

  virtual void build(const WindowLayout& layout, MainWindowEvents& events) = 0;
  virtual void show() = 0;
  // Ends the program's event loop (File > Exit, or after the close step).
  virtual void quit() = 0;

  virtual void setLabel(LabelId id, const std::string& text) = 0;
  virtual std::string label(LabelId id) const = 0;

  virtual void selectTab(int index) = 0;
  virtual int selectedTab() const = 0;

  virtual void listAdd(const std::string& entry) = 0;
  virtual void listRemove(int index) = 0;
  virtual int listCount() const = 0;
  virtual std::string listItem(int index) const = 0;
  virtual int listSelected() const = 0;  // -1 when no entry is selected
  virtual void listSelect(int index) = 0;

  // The check mark of the menu item of `command` with `number`.
  virtual void setChecked(Command command, int number, bool checked) = 0;
  virtual bool checked(Command command, int number) const = 0;

  virtual void setBusy(bool busy) = 0;
  // Shows the progress bar at `value` of `maximum`.
  virtual void setProgress(int value, int maximum) = 0;
  virtual void setProgressVisible(bool visible) = 0;

  // Replaces the data grid's columns, rows and cells.
  virtual void showGrid(GridContent grid) = 0;
};

// A file dialog as the logic asks for it. `filter` lists description and pattern pairs, all
// joined by "|" ("Text  *.txt|*.txt|All Files (*.*)|*.*"); "*.*" means every file.
struct FileDialogRequest {
  std::string title;
  std::string filter;
  std::string folder;             // the folder shown first
  std::string fileName;           // the name proposed (save dialogs)
  bool confirmOverwrite = false;  // ask before replacing an existing file (save dialogs)
  // A check box under the file's name with this text, unchecked at first (save dialogs; none
  // when empty).
  std::string option;
  bool operator==(const FileDialogRequest&) const = default;
};

// What a save dialog returns: the chosen full path and which pair of the request's filter was
// chosen (0 for the first), so that a caller can write the type chosen.
struct SaveChoice {
  std::string path;
  int filter = 0;
  bool option = false;  // the request's check box was checked
  bool operator==(const SaveChoice&) const = default;
};

// The small windows of the program. Texts are Windows-1252 bytes.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows the splash window with its version text and paints it at once.
  virtual void showSplash(const std::string& versionText) = 0;
  virtual void closeSplash() = 0;
  // "Select a Comm Port": modal, centred; `initial` is selected on opening. Returns the port
  // chosen when "Continue" was pressed.
  virtual int choosePort(int initial) = 0;
  virtual void showAbout(const std::string& versionText) = 0;
  // Modeless: sets the warning text and shows the dialog; "OK" only hides it.
  virtual void showDataWarning(const std::string& text) = 0;
  virtual void showHelp(const std::string& caption, const std::string& text) = 0;
  // The open and save dialogs: the chosen full path (with the filter chosen, when saving), or
  // nullopt when the user cancelled. The chosen folder always exists. A dialog that cannot be
  // shown throws kestrand::Error.
  virtual std::optional<std::string> openFile(const FileDialogRequest& request) = 0;
  virtual std::optional<SaveChoice> saveFile(const FileDialogRequest& request) = 0;
  // The modal "Yes"/"No" question window `YesNo`: true after "Yes".
  virtual bool YesNo(const std::string& caption, const std::string& text) = 0;
};

}  // namespace kestrand::ports
