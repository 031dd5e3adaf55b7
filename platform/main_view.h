#pragma once
// The main window and its small dialogs, as the logic drives them. The window's menus, tabs and
// controls are built by the realisation from the layout the logic hands in; the logic then
// only sets texts, check marks and states, and receives commands by control name.

#include <string>
#include <vector>

namespace kestrand::platform {

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
};

// One menu entry: a named command with a caption, a separator, or a sub-menu.
struct MenuEntry {
  std::string name;  // control name, for example "mnuDate3"; empty for a separator
  std::string caption;
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
  };
  std::vector<Button> buttons;
  std::string infoFrameCaption;
};

// Commands the window reports to the logic, by control name ("cmdView", "mnuDate3",
// "mnuCommPort" with index 1..5, "List1" click, "List1.dbl" double click, "close" for the
// window's close box).
class MainWindowEvents {
 public:
  virtual ~MainWindowEvents() = default;
  virtual void command(const std::string& control, int index) = 0;
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
  virtual void listClear() = 0;
  virtual int listCount() const = 0;
  virtual std::string listItem(int index) const = 0;
  virtual int listSelected() const = 0;  // -1 when no entry is selected
  virtual void listSelect(int index) = 0;

  virtual void setChecked(const std::string& menuItem, int index, bool checked) = 0;
  virtual bool checked(const std::string& menuItem, int index) const = 0;

  virtual void setBusy(bool busy) = 0;
  virtual void setProgress(int value, int maximum) = 0;
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
};

}  // namespace kestrand::platform
