#pragma once
// The main window as a QMainWindow: tabs, labels, list box, buttons and menus built from the
// layout the logic hands in. Every widget carries its control name as objectName; menu items of
// a control array carry their index from 1 in the property "index".

#include <QElapsedTimer>
#include <QString>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/main_view.h"

class QAction;
class QWidget;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QListWidget;
class QMainWindow;
class QMenu;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QScrollArea;
class QWidget;

namespace kestrand::adapters::qt {

// The control name of a label, as its objectName ("StatDat", "lblGenMsg", ...).
const char* labelName(ports::LabelId id);

class QtMainView : public ports::MainView {
 public:
  QtMainView();
  ~QtMainView() override;
  QtMainView(const QtMainView&) = delete;
  QtMainView& operator=(const QtMainView&) = delete;

  // The window itself, as owner of dialogs and message boxes.
  QMainWindow* window() const;

  void build(const ports::WindowLayout& layout, ports::MainWindowEvents& events) override;
  // Adds a page of the desktop program's own after the window's tabs (built first).
  void addPage(QWidget* page, const QString& title);
  void show() override;
  void quit() override;

  void setLabel(ports::LabelId id, const std::string& text) override;
  std::string label(ports::LabelId id) const override;

  void selectTab(int index) override;
  int selectedTab() const override;

  void listAdd(const std::string& entry) override;
  void listRemove(int index) override;
  int listCount() const override;
  std::string listItem(int index) const override;
  int listSelected() const override;
  void listSelect(int index) override;

  void setChecked(ports::Command command, int number, bool checked) override;
  bool checked(ports::Command command, int number) const override;

  void setBusy(bool busy) override;
  void setProgress(int value, int maximum) override;
  void setProgressVisible(bool visible) override;
  void showGrid(ports::GridContent grid) override;

  bool quitRequested() const { return quitRequested_; }

 private:
  class Window;
  class GridModel;
  class Grid;
  using ItemKey = std::pair<ports::Command, int>;

  // The window's parts: the data tab, the incoming tab with its status area, and the row
  // under the tabs.
  QWidget* makeDataPage();
  QWidget* makeIncomingPage();
  QScrollArea* makeStatusArea(QWidget* page);
  QHBoxLayout* makeBottomRow(QWidget* central);
  void addMenuItems(QMenu* menu, const std::vector<ports::MenuEntry>& items);
  QAction* addCommand(QWidget* owner, const ports::MenuEntry& entry, int index);
  void send(ports::Command command, int number);
  // The window's close box: the logic decides whether the window closes.
  bool closeRequested();

  std::unique_ptr<Window> window_;
  ports::MainWindowEvents* events_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QWidget* dataButtons_ = nullptr;
  QWidget* incomingButtons_ = nullptr;
  QGroupBox* info_ = nullptr;
  Grid* grid_ = nullptr;
  QListWidget* list_ = nullptr;
  QProgressBar* progress_ = nullptr;
  std::map<ports::LabelId, QLabel*> labels_;
  std::map<ports::LabelId, std::string> labelTexts_;
  std::vector<QPushButton*> buttons_;
  std::map<ItemKey, QAction*> actions_;
  std::map<ItemKey, bool> checks_;
  QElapsedTimer progressPainted_;  // when the progress bar was last painted at once
  bool busy_ = false;
  bool quitRequested_ = false;
  bool inCloseEvent_ = false;
  bool muteList_ = false;  // selection changes made by the logic are not reported back
};

}  // namespace kestrand::adapters::qt
