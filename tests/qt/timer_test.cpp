#include "platform/qt/qt_timer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

namespace kestrand::platform::qt {
namespace {

struct Counted {
  std::unique_ptr<Timer> timer = QtTimerFactory().createTimer();
  int ticks = 0;
  Counted() {
    timer->onTick([this] { ++ticks; });
  }
};

TEST(QtTimer, ANewTimerIsEnabledWithIntervalZeroAndDoesNotTick) {
  Counted c;
  EXPECT_TRUE(c.timer->enabled());
  EXPECT_EQ(c.timer->interval(), 0);
  EXPECT_FALSE(c.timer->running());
  QTest::qWait(60);
  EXPECT_EQ(c.ticks, 0);
}

TEST(QtTimer, TicksRepeatedlyWhileEnabledWithAnInterval) {
  Counted c;
  c.timer->setInterval(20);
  EXPECT_TRUE(c.timer->running());
  QTest::qWait(130);
  EXPECT_GE(c.ticks, 2);
}

TEST(QtTimer, DisablingOrIntervalZeroStopsTheTicks) {
  Counted c;
  c.timer->setInterval(20);
  c.timer->setEnabled(false);
  EXPECT_FALSE(c.timer->running());
  EXPECT_EQ(c.timer->interval(), 20);
  QTest::qWait(70);
  EXPECT_EQ(c.ticks, 0);

  c.timer->setEnabled(true);
  c.timer->setInterval(0);
  EXPECT_TRUE(c.timer->enabled());
  QTest::qWait(70);
  EXPECT_EQ(c.ticks, 0);
}

TEST(QtTimer, AHandlerThatStopsItsTimerGetsOneTick) {
  auto timer = QtTimerFactory().createTimer();
  int ticks = 0;
  timer->onTick([&] {
    ++ticks;
    timer->setInterval(0);
    timer->setEnabled(false);
  });
  timer->setInterval(20);
  timer->setEnabled(true);
  QTest::qWait(120);
  EXPECT_EQ(ticks, 1);
}

// Setting the interval again, even to the same value, starts the count anew: a tick that was
// due from the first start does not come.
TEST(QtTimer, SettingTheIntervalRestartsTheCount) {
  Counted c;
  QElapsedTimer clock;
  c.timer->setInterval(200);
  clock.start();
  QTest::qWait(120);
  c.timer->setInterval(200);
  QElapsedTimer sinceRestart;
  sinceRestart.start();
  QTest::qWait(120);  // now at least 240 ms after the first start
  const qint64 waited = sinceRestart.elapsed();
  if (waited >= 190) GTEST_SKIP() << "the machine was too slow to tell (" << waited << " ms)";
  EXPECT_GE(clock.elapsed(), 200);
  EXPECT_EQ(c.ticks, 0);
  QTest::qWait(160);
  EXPECT_GE(c.ticks, 1);
}

TEST(QtTimer, EnablingAStoppedTimerRestartsTheCountButEnablingARunningOneDoesNot) {
  Counted stopped;
  Counted running;
  stopped.timer->setInterval(200);
  running.timer->setInterval(200);
  QElapsedTimer sinceStart;
  sinceStart.start();
  stopped.timer->setEnabled(false);
  QTest::qWait(120);
  stopped.timer->setEnabled(true);
  running.timer->setEnabled(true);  // already enabled: keeps counting from the start
  QElapsedTimer sinceRestart;
  sinceRestart.start();
  QTest::qWait(120);
  const qint64 waited = sinceRestart.elapsed();
  if (waited >= 190 || sinceStart.elapsed() >= 390) {
    GTEST_SKIP() << "the machine was too slow to tell";
  }
  EXPECT_EQ(stopped.ticks, 0);
  EXPECT_EQ(running.ticks, 1);
}

TEST(QtTimer, ADestroyedTimerNoLongerCallsItsHandler) {
  int ticks = 0;
  {
    auto timer = QtTimerFactory().createTimer();
    timer->onTick([&] { ++ticks; });
    timer->setInterval(20);
  }
  QTest::qWait(60);
  EXPECT_EQ(ticks, 0);
}

}  // namespace
}  // namespace kestrand::platform::qt
