#pragma once
// Helpers of the window tests: answering a modal window from inside its own event loop, finding
// widgets by name, walking the Tab chain.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

namespace kestrand::test {

// Once a modal window is open, runs `act` on it; a window that `act` leaves open is a failure
// and is closed so the test goes on. Looks every 10 ms for at most 5 s.
inline void whenModalOpens(std::function<void(QWidget*)> act) {
  auto* poll = new QTimer;
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [poll, tries = 0, act = std::move(act)]() mutable {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr && ++tries <= 500) return;
    poll->stop();
    poll->deleteLater();
    if (w == nullptr) {
      ADD_FAILURE() << "no modal window opened";
      return;
    }
    act(w);
    if (!w->isVisible()) return;
    ADD_FAILURE() << "the modal window " << w->objectName().toStdString() << " is still open";
    if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
    w->close();
  });
  poll->start();
}

// The child of `parent` named `name`. A missing child is a failure; a stand-in is returned so
// that the test goes on to its other checks.
template <typename T>
T* child(const QObject* parent, const char* name) {
  if (T* found = parent->findChild<T*>(name)) return found;
  ADD_FAILURE() << "no child named " << name;
  static T* const standIn = new T;  // kept to the end of the run
  return standIn;
}

// The Tab chain from the widget holding the focus, one Tab at a time, until the focus comes back
// to it (at most `most` stops, so a trap shows as one name repeated): the object names of the
// stops, joined by blanks. A stop that is hidden, tiny, or whose picture does not change when it
// takes the focus (the user cannot see where the focus went) is a failure.
inline std::string tabStops(int most = 40) {
  std::string names;
  QWidget* first = QApplication::focusWidget();
  QWidget* w = first;
  for (int k = 0; w != nullptr && k < most; ++k) {
    const std::string name = w->objectName().toStdString();
    names += (k > 0 ? " " : "") + name;
    EXPECT_TRUE(w->isVisible() && w->width() > 4 && w->height() > 4) << name;
    w->clearFocus();
    const QImage unfocused = w->grab().toImage();
    w->setFocus(Qt::TabFocusReason);
    w->window()->setAttribute(Qt::WA_KeyboardFocusChange);  // as a Tab press leaves it
    EXPECT_NE(w->grab().toImage(), unfocused) << "no sign of the focus on " << name;
    QTest::keyClick(w, Qt::Key_Tab);
    w = QApplication::focusWidget();
    if (w == first) break;
  }
  return names;
}

}  // namespace kestrand::test
