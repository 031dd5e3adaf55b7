// The modal and modeless windows: message boxes and the small dialogs.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "app/data_files.h"
#include "app/main_window.h"
#include "modal.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_message_box.h"

namespace kestrand::platform::qt {
namespace {

using test::child;
using test::whenModalOpens;

// Shows a box, expects it to look as given, presses `press` and expects `answer`.
void expectBox(const std::string& text, Buttons buttons, bool warning, const std::string& title,
               QMessageBox::StandardButton press, Answer answer, const QString& shownText,
               const QString& shownTitle, QMessageBox::Icon icon,
               QMessageBox::StandardButtons shownButtons) {
  SCOPED_TRACE(text);
  whenModalOpens([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), shownText);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->windowTitle(), shownTitle);
    EXPECT_EQ(box->icon(), icon);
    EXPECT_EQ(box->standardButtons(), shownButtons);
    box->button(press)->click();
  });
  EXPECT_EQ(QtMessageBox().show(text, buttons, warning, title), answer);
}

TEST(QtMessageBox, ShowsPlainTextTitleIconAndButtonsAndReturnsTheButtonPressed) {
  using B = QMessageBox;
  expectBox("<b>1 < 2</b>", Buttons::kOk, false, "RIviriro Error", B::Ok, Answer::kOk,
            "<b>1 < 2</b>", "RIviriro Error", B::NoIcon, B::Ok);
  expectBox("Upload of data is incomplete\n\rCheck connections", Buttons::kOk, true, "mW/cm\xB2",
            B::Ok, Answer::kOk, "Upload of data is incomplete\nCheck connections",
            QString::fromUtf8("mW/cm\u00B2"), B::Warning, B::Ok);
  expectBox("Delete?", Buttons::kYesNo, true, "Delete All", B::No, Answer::kNo, "Delete?",
            "Delete All", B::Warning, B::Yes | B::No);
  expectBox("Delete?", Buttons::kYesNo, false, "Delete All", B::Yes, Answer::kYes, "Delete?",
            "Delete All", B::NoIcon, B::Yes | B::No);
}

TEST(QtDialogs, SplashShowsTheVersionUntilClosed) {
  QtDialogs dialogs;
  dialogs.showSplash(app::splashText());
  QWidget* splash = dialogs.splash();
  ASSERT_NE(splash, nullptr);
  EXPECT_TRUE(splash->isVisible());
  EXPECT_EQ(child<QLabel>(splash, "lblVersion")->text(), "Version 3.2.15");
  EXPECT_FALSE(child<QLabel>(splash, "picLogo")->pixmap().isNull());
  dialogs.closeSplash();
  EXPECT_EQ(dialogs.splash(), nullptr);
  dialogs.closeSplash();  // a second close is harmless
}

TEST(QtDialogs, PortDialogOffersFivePortsAndReturnsTheOneChosen) {
  struct Row {
    int initial;
    const char* preselected;
    std::vector<const char*> clicks;
    bool viaContinue;  // else closed another way, which keeps the choice
    int chosen;
  };
  const Row rows[] = {{2, "OptCom2", {"OptCom3", "OpCom5"}, true, 5},
                      {2, "OptCom2", {"OpCom4"}, false, 4},
                      {5, "OpCom5", {}, true, 5}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.initial);
    whenModalOpens([&](QWidget* w) {
      EXPECT_EQ(w->windowTitle(), "Select a Comm Port");
      EXPECT_EQ(child<QGroupBox>(w, "Frame1")->title(), "Port Number");
      QStringList captions;
      QStringList checkedOnes;
      for (QRadioButton* o : w->findChildren<QRadioButton*>()) {
        captions << o->text();
        if (o->isChecked()) checkedOnes << o->objectName();
      }
      captions.sort();
      EXPECT_EQ(captions, QStringList({"Comm1", "Comm2", "Comm3", "Comm4", "Comm5"}));
      EXPECT_EQ(checkedOnes, QStringList({r.preselected}));
      const QRect screen = w->screen()->geometry();  // centred on the screen
      EXPECT_NEAR(w->geometry().center().x(), screen.center().x(), 2);
      EXPECT_NEAR(w->geometry().center().y(), screen.center().y(), 2);
      for (const char* option : r.clicks) child<QRadioButton>(w, option)->click();
      if (r.viaContinue) {
        child<QPushButton>(w, "Command1")->click();
      } else {
        static_cast<QDialog*>(w)->reject();
      }
    });
    EXPECT_EQ(QtDialogs().choosePort(r.initial), r.chosen);
  }
}

TEST(QtDialogs, DataWarningDoesNotBlockAndOkOnlyHidesIt) {
  QtDialogs dialogs;
  dialogs.showDataWarning("Too many samples\n\rThe rest is left out");
  const QPointer<QDialog> warning = dialogs.dataWarning();
  ASSERT_FALSE(warning.isNull());
  EXPECT_TRUE(warning->isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(warning->windowTitle(), "Data Warning");
  EXPECT_EQ(child<QLabel>(warning, "lblDataWarning")->text(),
            "Too many samples\nThe rest is left out");

  child<QPushButton>(warning, "cmdDataExit")->click();
  EXPECT_FALSE(warning->isVisible());
  dialogs.showDataWarning("Second warning");
  ASSERT_FALSE(warning.isNull());  // hidden, not discarded
  EXPECT_TRUE(warning->isVisible());
  EXPECT_EQ(child<QLabel>(warning, "lblDataWarning")->text(), "Second warning");
}

TEST(QtDialogs, YesNoReturnsTheAnswerAndFiltersShowEveryFile) {
  for (const std::string press : {"cmdYes", "cmdNo"}) {
    whenModalOpens([&](QWidget* w) {
      EXPECT_EQ(w->windowTitle(), "Delete All Data");
      EXPECT_EQ(child<QLabel>(w, "Label1")->text(),
                "This will delete all unsaved data!  Are you sure?");
      child<QPushButton>(w, press.c_str())->click();
    });
    EXPECT_EQ(QtDialogs().YesNo(app::kYesNoCaption, app::kYesNoText), press == "cmdYes");
  }
  EXPECT_EQ(nameFilters("Excel Spreadsheet  *.csv|*.csv|All Files (*.*)|*.*"),
            QStringList({"Excel Spreadsheet  *.csv (*.csv)", "All Files (*.*) (*)"}));
}

TEST(QtDialogs, HelpShowsCaptionAndOneLinePerSentence) {
  bool seen = false;
  whenModalOpens([&](QWidget* w) {
    seen = true;
    EXPECT_EQ(w->windowTitle(), "Date  Format  Help");
    QLabel* label = child<QLabel>(w, "lblHelpText");
    EXPECT_EQ(label->text(),
              "Goto Regional Settings Window  under Control Panel.\nSelect the Date Tab.\n"
              "Select the setting that matches  Short date style:");
    // The label is wide enough that wrapping adds no line of its own.
    const int height = label->heightForWidth(label->width());
    EXPECT_GE(height, 3 * label->fontMetrics().height());
    EXPECT_LT(height, 4 * label->fontMetrics().height());
    child<QPushButton>(w, "TimeHelpOK")->click();
  });
  QtDialogs().showHelp("Date  Format  Help", app::dateHelpText());
  EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace kestrand::platform::qt
