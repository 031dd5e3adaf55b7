#include "platform/qt/qt_timer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

namespace kestrand::platform::qt {
namespace {

// A new timer that counts its ticks, given an interval and disabled when asked.
struct Counted {
  explicit Counted(int interval = 0, bool enabled = true) {
    timer->onTick([this] { ++ticks; });
    if (interval != 0) timer->setInterval(interval);
    if (!enabled) timer->setEnabled(false);
  }
  std::unique_ptr<Timer> timer = QtTimerFactory().createTimer();
  int ticks = 0;
};

// Setting the interval again (even to the same value) or enabling a stopped timer starts the
// count anew: the tick due from the first start does not come. Enabling a running timer does
// not.
TEST(QtTimer, SettingTheIntervalOrEnablingAStoppedTimerRestartsTheCount) {
  Counted reset(200);
  Counted reenabled(200, false);
  Counted untouched(200);
  QElapsedTimer sinceStart;
  sinceStart.start();
  QTest::qWait(120);
  reset.timer->setInterval(200);
  reenabled.timer->setEnabled(true);
  untouched.timer->setEnabled(true);
  QElapsedTimer sinceRestart;
  sinceRestart.start();
  QTest::qWait(120);  // now past the first 200 ms
  if (sinceRestart.elapsed() >= 190 || sinceStart.elapsed() >= 390) {
    GTEST_SKIP() << "the machine was too slow to tell";
  }
  EXPECT_EQ(reset.ticks, 0);
  EXPECT_EQ(reenabled.ticks, 0);
  EXPECT_EQ(untouched.ticks, 1);
  QTest::qWait(160);
  EXPECT_GE(reset.ticks, 1);
  EXPECT_GE(reenabled.ticks, 1);
}

}  // namespace
}  // namespace kestrand::platform::qt
