#pragma once
// The small windows: splash, port choice, About, data warning, the format help, the file
// dialogs and the Yes/No question.

#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "app/main_view.h"

class QDialog;
class QLabel;
class QPixmap;
class QWidget;

namespace kestrand::adapters::qt {

class QtDialogs : public ports::Dialogs {
 public:
  // Modal dialogs other than the port choice are centred over `owner` when given.
  explicit QtDialogs(QWidget* owner = nullptr);
  ~QtDialogs() override;
  QtDialogs(const QtDialogs&) = delete;
  QtDialogs& operator=(const QtDialogs&) = delete;

  void showSplash(const std::string& versionText) override;
  void closeSplash() override;
  int choosePort(int initial) override;
  void showAbout(const std::string& versionText) override;
  void showDataWarning(const std::string& text) override;
  void showHelp(const std::string& caption, const std::string& text) override;
  std::optional<std::string> openFile(const ports::FileDialogRequest& request) override;
  std::optional<ports::SaveChoice> saveFile(const ports::FileDialogRequest& request) override;
  bool YesNo(const std::string& caption, const std::string& text) override;

  // The open splash window and the data warning dialog (null before their first showing).
  QWidget* splash() const { return splash_.get(); }
  QDialog* dataWarning() const { return warning_.get(); }

 private:
  QWidget* owner_;
  std::unique_ptr<QWidget> splash_;
  std::unique_ptr<QDialog> warning_;
  QLabel* warningText_ = nullptr;
};

// A file dialog's filter ("Text  *.txt|*.txt|All Files (*.*)|*.*") as Qt's name filters, each
// "description (patterns)", with "*.*" matching every file.
QStringList nameFilters(const std::string& filter);

// The picture of the splash window.
QPixmap drawLogo();

}  // namespace kestrand::adapters::qt
