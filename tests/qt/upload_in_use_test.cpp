// The desktop program's own window logic, serial port, timers and files on a pseudo-terminal,
// the meter simulator at its other end: whatever the user does while an upload comes in (views
// of an older upload of another shape, an opened file, date formats, deletions of other entries,
// the chart, the report), the upload's files are byte for byte what the meter sent.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "adapters/posix/posix_file_system.h"
#include "adapters/posix/system_clock.h"
#include "adapters/qt/qt_main_view.h"
#include "adapters/qt/qt_timer.h"
#include "adapters/qt/serial/qt_serial_port.h"
#include "app/main_window.h"
#include "desktop/chart_tab.h"
#include "tests/fakes/fakes.h"
#include "tests/pty/process.h"

namespace kestrand::testing {
namespace {

using C = ports::Command;
using namespace std::chrono_literals;

// An older upload of another shape: three columns and a moving average of 5.
void writeOlderUpload(const std::string& path) {
  std::ofstream f(path, std::ios::binary);
  f << "\"12/04/2006\",\"10:00:00 AM\",1,1\r\n1,7,5\r\n";
  for (int i = 0; i < 40; ++i) f << i % 128 << ",2\r\n" << i << "\r\n1.5\r\n2.5\r\n3.5\r\n";
}

TEST(DesktopUpload, WhatTheUserDoesDuringALongUploadLeavesItsFilesAsTheMeterSentThem) {
  TempDir data, expect;
  std::ofstream(data / "riviriro.inf") << " 1\r\n";
  writeOlderUpload(data / "QV 04.Dec.06  10.00.00.dat");
  writeOlderUpload(data / "QV 04.Dec.06  09.00.00.dat");  // deleted during the upload
  std::ofstream(data / "older.csv") << "\"Date\",\"Time\",\"X-Point\"\r\n"
                                       "\"01/15/2006\",\"02:05:09 PM\",1.5\r\n";
  Process meter({KESTRAND_SIM, "--link", data / "COM1", "--expect-dir", expect.path, "--mode", "1",
                 "--columns", "0x30", "--records", "20000", "--records-per-message", "40",
                 "--connect-timeout", "60"},
                expect / "sim.out", expect / "sim.err");
  ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(data / "COM1"); }, 10s));

  adapters::posix::PosixFileSystem fs{data.path};
  adapters::posix::SystemClock clock;
  adapters::qt::QtTimerFactory timers;
  adapters::qt::QtSerialPort port;
  adapters::qt::QtMainView view;
  ports::fake::ScriptedMessageBox box;
  ports::fake::FakeDialogs dialogs;
  app::MainWindow window(app::Platform{view, box, fs, clock, timers, port}, dialogs, data.path);
  desktop::ChartTab chartTab(window, view, fs, dialogs);
  window.start();
  QTest::qWait(3200);  // the splash's three seconds
  ASSERT_FALSE(window.ended());

  const auto select = [&](const std::string& name) {
    for (int i = 0; i < view.listCount(); ++i) {
      if (view.listItem(i).ends_with(name)) view.listSelect(i);
    }
  };
  decltype(window.program().doc.shown()) held;  // as a chart or a report holds a view
  int status = -1;
  for (int round = 0; status < 0 && round < 3000; ++round) {
    select("QV 04.Dec.06  10.00.00.dat");
    window.command(C::kView, 0);
    if (!held) held = window.program().doc.shown();
    view.selectTab(2);  // the chart of what is on display
    QTest::qWait(20);
    dialogs.yesNoAnswers = {true};
    dialogs.chosenPaths = {data / "older.csv"};
    window.command(C::kOpen, 0);
    // Another date format and back before the next event: the upload's texts are written in
    // the format in force when they are written, which the simulator takes to be the default.
    window.command(C::kDateFormat, 5);
    window.command(C::kDateFormat, 3);
    if (round == 3) {
      select("QV 04.Dec.06  09.00.00.dat");
      box.answerNext(ports::Answer::kYes);
      window.command(C::kDelete, 0);
    }
    if (round == 5) {
      dialogs.chosenPaths = {data / "report.pdf"};
      window.command(C::kSaveReport, 0);
    }
    QTest::qWait(30);
    status = meter.wait(1ms);
  }
  EXPECT_EQ(status, 0) << slurp(expect / "sim.out") << slurp(expect / "sim.err");
  const auto expected = rawFiles(expect.path);
  ASSERT_EQ(expected.size(), 2u);  // 16300 records and 3700 in "A"
  auto stored = rawFiles(data.path);
  stored.erase("QV 04.Dec.06  10.00.00.dat");
  EXPECT_TRUE(stored == expected);  // megabytes: no print
  EXPECT_FALSE(std::filesystem::exists(data / "QV 04.Dec.06  09.00.00.dat"));
  ASSERT_TRUE(held);  // what others hold of a view never changes
  EXPECT_EQ(held->table.NumSamples, 40);
  EXPECT_EQ(held->path, data / "QV 04.Dec.06  10.00.00.dat");
}

}  // namespace
}  // namespace kestrand::testing
