// The modal and modeless windows: message boxes and the small dialogs.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include "adapters/qt/qt_dialogs.h"
#include "adapters/qt/qt_message_box.h"
#include "app/data_files.h"
#include "app/main_window.h"
#include "modal.h"

namespace kestrand::adapters::qt {
namespace {

using test::child;
using test::whenModalOpens;

TEST(QtMessageBox, ShowsPlainTextTitleIconAndButtonsAndReturnsTheButtonPressed) {
  using B = QMessageBox;
  const struct {
    const char* text;
    ports::Buttons buttons;
    bool warning;
    B::StandardButton press;
    ports::Answer answer;
    const char* shown;
  } rows[] = {{"<b>1 < 2</b>\n\rx", ports::Buttons::kOk, false, B::Ok, ports::Answer::kOk,
               "<b>1 < 2</b>\nx"},
              {"Delete?", ports::Buttons::kYesNo, true, B::No, ports::Answer::kNo, "Delete?"},
              {"Delete?", ports::Buttons::kYesNo, false, B::Yes, ports::Answer::kYes, "Delete?"}};
  for (const auto& r : rows) {
    whenModalOpens([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->text(), r.shown);
      EXPECT_EQ(box->textFormat(), Qt::PlainText);
      EXPECT_EQ(box->windowTitle(), QString::fromUtf8("mW/cm\u00B2"));
      EXPECT_EQ(box->icon(), r.warning ? B::Warning : B::NoIcon);
      EXPECT_EQ(box->standardButtons(), r.buttons == ports::Buttons::kOk ? B::Ok : B::Yes | B::No);
      box->button(r.press)->click();
    });
    EXPECT_EQ(QtMessageBox().show(r.text, r.buttons, r.warning, "mW/cm\xB2"), r.answer) << r.text;
  }
}

TEST(QtDialogs, SplashShowsTheVersionUntilClosed) {
  QtDialogs dialogs;
  dialogs.showSplash(app::splashText());
  EXPECT_EQ(child<QLabel>(dialogs.splash(), "lblVersion")->text(), "Version 3.2.15");
  EXPECT_TRUE(dialogs.splash()->isVisible());
  dialogs.closeSplash();
  EXPECT_EQ(dialogs.splash(), nullptr);
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
      QStringList checkedOnes;
      for (QRadioButton* o : w->findChildren<QRadioButton*>())
        if (o->isChecked()) checkedOnes << o->objectName();
      EXPECT_EQ(checkedOnes, QStringList({r.preselected}));
      // Room for the whole title in a bold title font a fifth larger, and the title bar's icon
      // and buttons.
      QFont bold = w->font();
      bold.setBold(true);
      bold.setPointSizeF(bold.pointSizeF() * 1.2);
      EXPECT_GE(w->width(), QFontMetrics(bold).horizontalAdvance("Select a Comm Port") + 100);
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
  EXPECT_EQ(child<QLabel>(warning, "lblDataWarning")->text(),
            "Too many samples\nThe rest is left out");

  child<QPushButton>(warning, "cmdDataExit")->click();
  EXPECT_FALSE(warning->isVisible());
  dialogs.showDataWarning("Second warning");
  ASSERT_FALSE(warning.isNull());  // hidden, not discarded
  EXPECT_TRUE(warning->isVisible());
  EXPECT_EQ(child<QLabel>(warning, "lblDataWarning")->text(), "Second warning");
}

TEST(QtDialogs, YesNoReturnsTheAnswerAndTheSaveDialogTheFilterChosen) {
  for (const std::string press : {"cmdYes", "cmdNo"}) {
    whenModalOpens([&](QWidget* w) {
      EXPECT_EQ(w->windowTitle(), "Delete All Data");
      EXPECT_EQ(child<QLabel>(w, "Label1")->text(),
                "This will delete all unsaved data!  Are you sure?");
      child<QPushButton>(w, press.c_str())->click();
    });
    EXPECT_EQ(QtDialogs().YesNo(app::kYesNoCaption, app::kYesNoText), press == "cmdYes");
  }
  const QTemporaryDir dir;
  whenModalOpens([&](QWidget* w) {
    auto* d = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->nameFilters(), QStringList({"Text *.txt (*.txt)", "All Files (*.*) (*)"}));
    d->selectNameFilter(d->nameFilters().at(1));
    child<QLineEdit>(d, "fileNameEdit")->setText("chart_test");
    auto* option = child<QCheckBox>(d, "chkOption");
    EXPECT_EQ(option->text(), "Summary only");
    option->setChecked(true);
    static_cast<QDialog*>(d)->accept();
  });
  const auto chosen = QtDialogs().saveFile({"Save", "Text  *.txt|*.txt|All Files (*.*)|*.*",
                                            dir.path().toStdString(), "x", false, "Summary only"});
  EXPECT_EQ(chosen,
            std::optional(ports::SaveChoice{dir.path().toStdString() + "/chart_test", 1, true}));
}

}  // namespace
}  // namespace kestrand::adapters::qt
