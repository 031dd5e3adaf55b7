#include "platform/qt/qt_dialogs.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

#include "app/main_window.h"
#include "modal.h"

namespace kestrand::platform::qt {
namespace {

using test::child;
using test::whenModalOpens;

TEST(QtDialogs, SplashShowsTheVersionUntilClosed) {
  QtDialogs dialogs;
  dialogs.showSplash(app::splashText());
  QWidget* splash = dialogs.splash();
  ASSERT_NE(splash, nullptr);
  EXPECT_TRUE(splash->isVisible());
  EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(child<QLabel>(splash, "lblVersion")->text(), "Version 3.2.15");
  EXPECT_FALSE(child<QLabel>(splash, "picLogo")->pixmap().isNull());
  dialogs.closeSplash();
  EXPECT_EQ(dialogs.splash(), nullptr);
  dialogs.closeSplash();  // a second close is harmless
}

TEST(QtDialogs, PortDialogOffersFivePortsWithTheInitialOneSelected) {
  QtDialogs dialogs;
  whenModalOpens([](QWidget* w) {
    EXPECT_EQ(w->windowTitle(), "Select a Comm Port");
    EXPECT_EQ(child<QGroupBox>(w, "Frame1")->title(), "Port Number");
    const QList<QRadioButton*> options = w->findChildren<QRadioButton*>();
    ASSERT_EQ(options.size(), 5);
    QStringList captions;
    QStringList checkedOnes;
    for (QRadioButton* o : options) {
      captions << o->text();
      if (o->isChecked()) checkedOnes << o->objectName();
    }
    captions.sort();
    EXPECT_EQ(captions, QStringList({"Comm1", "Comm2", "Comm3", "Comm4", "Comm5"}));
    EXPECT_EQ(checkedOnes, QStringList({"OptCom2"}));
    // Centred on the screen.
    const QRect screen = w->screen()->geometry();
    EXPECT_NEAR(w->geometry().center().x(), screen.center().x(), 2);
    EXPECT_NEAR(w->geometry().center().y(), screen.center().y(), 2);
    child<QPushButton>(w, "Command1")->click();
  });
  EXPECT_EQ(dialogs.choosePort(2), 2);
}

TEST(QtDialogs, PortDialogReturnsTheOptionChosen) {
  QtDialogs dialogs;
  whenModalOpens([](QWidget* w) {
    child<QRadioButton>(w, "OptCom3")->click();
    child<QRadioButton>(w, "OpCom5")->click();
    EXPECT_FALSE(child<QRadioButton>(w, "OptCom2")->isChecked());
    child<QPushButton>(w, "Command1")->click();
  });
  EXPECT_EQ(dialogs.choosePort(2), 5);
}

TEST(QtDialogs, PortDialogClosedWithoutContinueKeepsTheChoice) {
  QtDialogs dialogs;
  whenModalOpens([](QWidget* w) {
    child<QRadioButton>(w, "OpCom4")->click();
    static_cast<QDialog*>(w)->reject();
  });
  EXPECT_EQ(dialogs.choosePort(2), 4);
}

TEST(QtDialogs, AboutShowsNameAndVersionAndClosesOnOk) {
  QtDialogs dialogs;
  bool seen = false;
  whenModalOpens([&](QWidget* w) {
    seen = true;
    EXPECT_EQ(w->objectName(), "About");
    EXPECT_EQ(child<QLabel>(w, "Label1")->text(), "RI-Viriro");
    EXPECT_EQ(child<QLabel>(w, "Version")->text(), "Rev.  3.2.15");
    child<QPushButton>(w, "cmdAboutOK")->click();
  });
  dialogs.showAbout(app::aboutText());
  EXPECT_TRUE(seen);
}

TEST(QtDialogs, DataWarningDoesNotBlockAndOkOnlyHidesIt) {
  QtDialogs dialogs;
  dialogs.showDataWarning("Too many samples\n\rThe rest is left out");
  QDialog* warning = dialogs.dataWarning();
  ASSERT_NE(warning, nullptr);
  EXPECT_TRUE(warning->isVisible());
  EXPECT_FALSE(warning->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(warning->windowTitle(), "Data Warning");
  QLabel* text = child<QLabel>(warning, "lblDataWarning");
  EXPECT_EQ(text->text(), "Too many samples\nThe rest is left out");

  child<QPushButton>(warning, "cmdDataExit")->click();
  EXPECT_FALSE(warning->isVisible());
  EXPECT_EQ(dialogs.dataWarning(), warning);  // hidden, not discarded
  EXPECT_EQ(text->text(), "Too many samples\nThe rest is left out");

  dialogs.showDataWarning("Second warning");
  EXPECT_EQ(dialogs.dataWarning(), warning);
  EXPECT_TRUE(warning->isVisible());
  EXPECT_EQ(text->text(), "Second warning");
}

TEST(QtDialogs, HelpShowsCaptionAndThreeLines) {
  QtDialogs dialogs;
  bool seen = false;
  whenModalOpens([&](QWidget* w) {
    seen = true;
    EXPECT_EQ(w->windowTitle(), "Date  Format  Help");
    QLabel* label = child<QLabel>(w, "lblHelpText");
    EXPECT_TRUE(label->wordWrap());
    EXPECT_EQ(label->text().split('\n').size(), 3);
    EXPECT_TRUE(label->text().startsWith("Goto Regional Settings Window  under Control Panel.\n"));
    // The label is wide enough that wrapping adds no line of its own.
    const int height = label->heightForWidth(label->width());
    const int line = label->fontMetrics().height();
    EXPECT_GE(height, 3 * line);
    EXPECT_LT(height, 4 * line);
    child<QPushButton>(w, "TimeHelpOK")->click();
  });
  dialogs.showHelp("Date  Format  Help", app::dateHelpText());
  EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace kestrand::platform::qt
