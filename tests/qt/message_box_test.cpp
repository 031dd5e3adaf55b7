#include "platform/qt/qt_message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>

#include "modal.h"

namespace kestrand::platform::qt {
namespace {

using test::whenModalOpens;

struct Seen {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  Qt::TextFormat format = Qt::AutoText;
};

// Shows a box, records what it showed and presses `press`.
Answer showAndPress(const std::string& text, Buttons buttons, bool warning,
                    const std::string& title, QMessageBox::StandardButton press, Seen& seen) {
  whenModalOpens([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
            box->textFormat()};
    box->button(press)->click();
  });
  QtMessageBox boxes;
  return boxes.show(text, buttons, warning, title);
}

TEST(QtMessageBox, OkBoxWithoutIconShowsTextAndTitle) {
  Seen seen;
  const Answer a = showAndPress("The raw data file has an error in the header block.", Buttons::kOk,
                                false, "RIviriro Error", QMessageBox::Ok, seen);
  EXPECT_EQ(a, Answer::kOk);
  EXPECT_EQ(seen.title, "RIviriro Error");
  EXPECT_EQ(seen.text, "The raw data file has an error in the header block.");
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST(QtMessageBox, LineBreaksAndUpperHalfBytesAreConverted) {
  Seen seen;
  showAndPress("Upload of data is incomplete\n\rCheck connections and retry", Buttons::kOk, true,
               "Units mW/cm\xB2", QMessageBox::Ok, seen);
  EXPECT_EQ(seen.text, "Upload of data is incomplete\nCheck connections and retry");
  EXPECT_EQ(seen.title, QString::fromUtf8("Units mW/cm\u00B2"));
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
}

TEST(QtMessageBox, YesNoBoxReturnsTheButtonPressed) {
  Seen seen;
  EXPECT_EQ(showAndPress("Delete?", Buttons::kYesNo, true, "Delete All", QMessageBox::No, seen),
            Answer::kNo);
  EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(showAndPress("Delete?", Buttons::kYesNo, true, "Delete All", QMessageBox::Yes, seen),
            Answer::kYes);
}

TEST(QtMessageBox, TextIsShownAsPlainText) {
  Seen seen;
  showAndPress("<b>1 < 2</b>", Buttons::kOk, false, "t", QMessageBox::Ok, seen);
  EXPECT_EQ(seen.text, "<b>1 < 2</b>");
  EXPECT_EQ(seen.format, Qt::PlainText);
}

}  // namespace
}  // namespace kestrand::platform::qt
