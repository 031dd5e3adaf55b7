// Every sample keeps the instant the meter gave it, whatever the formats; one clock per upload.

#include <gtest/gtest.h>

#include <algorithm>

#include "app/data_files.h"
#include "app/whole_upload.h"
#include "datetime/datetime.h"
#include "store/raw_format.h"
#include "store/whole_upload.h"
#include "tests/link/frames.h"
#include "tests/support/program_rig.h"
#include "view/chart.h"
#include "view/stats.h"

namespace kestrand::testing {
namespace {

using datetime::Tenths;

constexpr std::uint32_t kDay = 3626;  // 5 December 2006: its day also reads as a month
const Tenths kFifth = datetime::tenthsOf({{2006, 12, 5}, 0});

struct Program : MemoryDataDirectory, ProgramRig {
  Program() : ProgramRig(fs, "/data") {}
  void choose(int date, int time) {
    prog.link.formats().dateClicked(date);
    prog.link.formats().timeClicked(time);
  }
  std::vector<Tenths> instants() const {
    const store::SampleTable& t = prog.doc.table();
    return {t.instants.begin(), t.instants.begin() + t.NumSamples};
  }
  view::ChartData chart() const {
    const auto& f = prog.link.formats();
    return view::chartData(prog.doc.grid(), prog.doc.table(), prog.doc.header(), f.dateChoice(),
                           f.timeChoice());
  }
};

// Time stamps from 22:00 on 5 December 2006, 241 s apart: past midnight (its "12:0x" hour).
std::uint32_t recordStamp(int n) {
  const std::uint32_t s = 79200 + 241 * static_cast<std::uint32_t>(n);
  return stamp(kDay + s / 86400, s % 86400);
}

TEST(Instants, RoundTripUnderEveryDateAndTimeFormat) {
  constexpr int kRecords = 400;
  std::vector<Tenths> stamped, periodic;
  // Periodic: 1.2 s apart, 9 samples in 10 s on, then 5 s off, from the header's start.
  for (int n = 0; n < kRecords; ++n) {
    stamped.push_back(kFifth + (79200 + 241 * (n + 1)) * 10);
    periodic.push_back(kFifth + 792000 + n / 9 * 158 + n % 9 * 12);
  }
  for (int d = 1; d <= 9; ++d) {
    for (int t = 1; t <= 4; ++t) {
      SCOPED_TRACE(std::to_string(d) + "/" + std::to_string(t));
      Program p;
      const link::FormatChoice upload{d, t};
      p.prog.link.meterLink().onBytes(headerFrame({.stamp = stamp(kDay, 79200), .mode = 0}),
                                      upload);
      for (const auto& f : dataFrames(kRecords, recordStamp))
        p.prog.link.meterLink().onBytes(f, upload);
      for (int k = 1; k <= 9; ++k) {  // viewed under every date format, the upload's last
        p.choose((d + k - 1) % 9 + 1, t);
        p.prog.doc.ReadRawDataFile("QV 05.Dec.06  22.00.00.dat", "/data");
        ASSERT_EQ(p.instants(), stamped) << "viewed under " << (d + k - 1) % 9 + 1;
      }
      const view::ChartData c = p.chart();
      EXPECT_EQ(c.at, stamped);
      EXPECT_DOUBLE_EQ(c.x.back(), 241.0 * (kRecords - 1));
      EXPECT_EQ(view::columnStats(c)[0].maxIso, "2006-12-05T22:04:01");
      // Saved and opened again under the format it was saved in.
      app::writeCsvFile(p.fs, "/data/saved.csv", p.prog.doc.table());
      app::openCsvFile(p.prog.doc, p.prog.present, p.fs, "/data/saved.csv", {}, nullptr);
      EXPECT_EQ(p.instants(), stamped);
      EXPECT_EQ(p.chart().x, c.x);

      Program q;
      q.choose(d, t);
      // clang-format off
      q.prog.link.meterLink().onBytes(headerFrame({.stamp = stamp(kDay, 79200), .mode = 2,
                                                   .rate = 2, .longForm = true, .periodOn = 10,
                                                   .periodOff = 5}), upload);
      // clang-format on
      for (const auto& f : dataFrames(kRecords)) q.prog.link.meterLink().onBytes(f, upload);
      q.prog.doc.ReadRawDataFile("QV 05.Dec.06  22.00.00.dat", "/data");
      EXPECT_EQ(q.instants(), periodic);
    }
  }
}

TEST(Instants, ThirtyHoursUnderADayFirstFormatSpanThirtyHoursMarkedAcrossMidnight) {
  Program p;
  p.choose(8, 1);
  const link::FormatChoice upload{8, 1};
  p.prog.link.meterLink().onBytes(headerFrame({.stamp = stamp(kDay, 79200), .mode = 1, .rate = 8}),
                                  upload);
  for (const auto& f : dataFrames(30 * 60 + 1)) p.prog.link.meterLink().onBytes(f, upload);
  p.prog.doc.ReadRawDataFile("QV 05.Dec.06  22.00.00.dat", "/data");
  const view::ChartData c = p.chart();
  EXPECT_DOUBLE_EQ(c.x.back(), 30 * 3600.0);
  // Marked every 3 hours across both days (from midnight, 2 h in), the date at midnight.
  EXPECT_DOUBLE_EQ(view::timeTicks(c, 0, c.x.back(), 12).at(1), 5 * 3600.0);
  EXPECT_EQ(view::axisText(c, 2 * 3600.0), "06/12/2006");
  EXPECT_EQ(view::pointerText(c, 2 * 3600.0 + 1.5), "06/12/2006 12:00:01 AM");
}

TEST(Instants, AnElapsedTimeUploadIsDrawnAndTimedFromTheStartOfLogging) {
  Program p;
  p.prog.link.meterLink().onBytes(headerFrame({.stamp = 7, .mode = 1, .rate = 0, .elapsed = true}),
                                  {});
  for (const auto& f : dataFrames(4, [](int n) { return stamp(0, 5 * static_cast<unsigned>(n)); }))
    p.prog.link.meterLink().onBytes(f, {});
  p.prog.doc.ReadRawDataFile(p.prog.link.meterLink().upload().CurrentFile, "/data");
  EXPECT_EQ(p.instants(), (std::vector<Tenths>{50, 100, 150, 200}));
  const view::ChartData c = p.chart();
  EXPECT_EQ(view::axisText(c, 3600), "01:00:05");  // elapsed, not a clock time of 1997
  EXPECT_EQ(view::columnStats(c)[0].maxIso, "+00:00:05");
}

// The `files` files of an upload, full but the last (which holds 40 samples), each continuation
// header with a start rounded as if one a second. Returns the number of samples.
int writeUpload(ports::FileSystem& fs, int mode, int rate, int files) {
  constexpr int perFile = store::kMaxSamples;
  store::HeaderFields h;
  h.SampDate = "05/12/2006";  // day first: the name settles it
  h.SampTime = " 23:50:00";
  h.LogMode = static_cast<std::int16_t>(mode);
  h.LogRate = static_cast<std::int16_t>(rate);
  h.DataFormat = 1;
  h.PeriodOn = 7;
  h.PeriodOff = 3;
  int samples = 0;
  for (int f = 0; f < files; ++f) {
    const int records = f + 1 == files ? 40 : perFile;
    if (f > 0) {
      const auto at = datetime::addSeconds({{2006, 12, 5}, 85800}, f * perFile);
      h.SampDate = "0" + std::to_string(at.date.day) + "/12/2006";
      h.SampTime = datetime::formatTime12(at.secondsOfDay);
    }
    std::string text = store::headerLine1(h, h.LogMode) + store::headerLine2(h);
    for (int r = 0; r < records; ++r) {
      text += store::rawLine({"1", "0"});
      if (mode == 0) {
        const int s = 85800 + 3 * (f * perFile + r);
        text += store::rawLine({store::textField(std::to_string(s / 86400 + 5) + "/12/2006"),
                                store::textField(datetime::formatTime12(s % 86400))});
      }
      text += store::rawLine({store::doubleField(f * perFile + r)});
    }
    fs.writeAll("/data/QV 05.Dec.06  23.50.00" +
                    (f == 0 ? "" : std::string(1, static_cast<char>('@' + f))) + ".dat",
                text);
    samples += records;
  }
  return samples;
}

TEST(Instants, TheWholeUploadNeverStepsBackAtAFileBoundary) {
  constexpr Tenths kTenths[] = {5, 10, 12, 15, 20, 30, 60, 120, 600};  // the log intervals
  for (int mode = 0; mode <= 3; ++mode) {
    for (int rate = 0; rate <= 8; ++rate) {
      SCOPED_TRACE(std::to_string(mode) + "/" + std::to_string(rate));
      Program p;
      // Every mode and rate over three files; one of them over all 27.
      const int samples = writeUpload(p.fs, mode, rate, mode == 2 && rate == 2 ? 27 : 3);
      const app::WholeUpload whole =
          app::readWholeUpload(p.prog.doc.uploadReader(), "/data", "QV 05.Dec.06  23.50.00.dat");
      const std::vector<Tenths>& at = whole.chart.at;
      ASSERT_EQ(at.size(), static_cast<std::size_t>(samples));
      const Tenths step = mode == 0 ? 30 : kTenths[rate];
      EXPECT_EQ(at.front(), kFifth + 858000);
      for (std::size_t j = 1; j < at.size(); ++j) {
        ASSERT_GT(at[j], at[j - 1]) << "sample " << j;
        if (mode != 2) {
          ASSERT_EQ(at[j] - at[j - 1], step) << "sample " << j;
        }
      }
    }
  }
}

// Samples `b` to `e` of `c` as a part of their own (as ChartBuilder::takePart gives them).
view::ChartData slice(const view::ChartData& c, std::size_t b, std::size_t e) {
  view::ChartData part = c;
  part.x.assign(c.x.begin() + static_cast<long>(b), c.x.begin() + static_cast<long>(e));
  part.at.assign(c.at.begin() + static_cast<long>(b), c.at.begin() + static_cast<long>(e));
  part.timeTexts.clear();
  for (view::ChartSeries& s : part.series)
    s.y.assign(s.y.begin() + static_cast<long>(b), s.y.begin() + static_cast<long>(e));
  part.runStarts.clear();
  for (const std::size_t r : c.runStarts)
    if (r >= b && r < e) part.runStarts.push_back(r - b);
  return part;
}

TEST(Instants, TheWholeUploadIsChartedAsFinelyAsIfItsLengthWereNotKnownBeforehand) {
  // The pass sets the chart's stretches from the first file on, for the length the files
  // after it will at least take; reducing the same samples file by file, told nothing, keeps the
  // same. Periodic logging (pauses) and not; the last file short.
  for (const int files : {3, 4, 6}) {
    for (const int mode : {1, 2}) {
      SCOPED_TRACE(std::to_string(files) + " files, mode " + std::to_string(mode));
      Program p;
      writeUpload(p.fs, mode, 2, files);
      const auto reader = p.prog.doc.uploadReader();
      const std::string first = "QV 05.Dec.06  23.50.00.dat";
      const app::WholeUpload every = app::readWholeUpload(reader, "/data", first);
      const app::WholeUpload reduced =
          app::readWholeUpload(reader, "/data", first, {300, std::nullopt, false});
      view::ChartReduction told(300);
      for (std::size_t b = 0; b < every.samples; b += store::kMaxSamples)
        told.add(
            slice(every.chart, b, std::min<std::size_t>(b + store::kMaxSamples, every.samples)));
      const view::ChartData expected = std::move(told).finish(every.chart);
      ASSERT_GT(expected.samples(), 300u);
      EXPECT_EQ(reduced.chart.x, expected.x);
      EXPECT_EQ(reduced.chart.runStarts, expected.runStarts);
      EXPECT_EQ(reduced.chart.series.at(0).y, expected.series.at(0).y);
    }
  }
}

TEST(Instants, AWholeUploadThatStopsEarlyIsChartedAsFinelyAsItsFilesAlone) {
  // Eight files, the fourth holding no records: the series stops after three. Its chart is
  // reduced as finely as the chart of an upload of those three files alone, not for the
  // length eight would have had.
  Program stops, three;
  writeUpload(stops.fs, 2, 2, 8);
  const std::string fourth = "/data/QV 05.Dec.06  23.50.00C.dat";
  const std::string head = stops.fs.readHead(fourth, 400);
  stops.fs.writeAll(fourth, head.substr(0, head.find('\n', head.find('\n') + 1) + 1));
  writeUpload(three.fs, 2, 2, 8);
  for (const char f : std::string("CDEFG"))
    three.fs.remove(std::string("/data/QV 05.Dec.06  23.50.00") + f + ".dat");
  const app::WholeUploadWanted wanted{300, std::nullopt, true};
  const app::WholeUpload a = app::readWholeUpload(stops.prog.doc.uploadReader(), "/data",
                                                  "QV 05.Dec.06  23.50.00.dat", wanted);
  const app::WholeUpload b = app::readWholeUpload(three.prog.doc.uploadReader(), "/data",
                                                  "QV 05.Dec.06  23.50.00.dat", wanted);
  ASSERT_EQ(a.files.size(), 3u);
  ASSERT_EQ(b.files, a.files);
  EXPECT_EQ(a.samples, b.samples);
  EXPECT_EQ(a.chart.x, b.chart.x);
  EXPECT_EQ(a.chart.runStarts, b.chart.runStarts);
  ASSERT_EQ(a.chart.series.size(), b.chart.series.size());
  for (std::size_t k = 0; k < a.chart.series.size(); ++k)
    EXPECT_EQ(a.chart.series[k].y, b.chart.series[k].y);
  // Its messages once each: the stop, said once.
  ASSERT_FALSE(a.messages.empty());
  EXPECT_NE(a.messages.back().find("the whole upload stops at QV 05.Dec.06  23.50.00B.dat"),
            std::string::npos)
      << a.messages.back();
  EXPECT_EQ(std::count(a.messages.begin(), a.messages.end(), a.messages.back()), 1);
  // A chart of every sample has no stretches to set: the files are read once.
  stops.fs.bytesRead = three.fs.bytesRead = 0;
  const app::WholeUploadWanted every{0, std::nullopt, false};
  app::readWholeUpload(stops.prog.doc.uploadReader(), "/data", "QV 05.Dec.06  23.50.00.dat", every);
  app::readWholeUpload(three.prog.doc.uploadReader(), "/data", "QV 05.Dec.06  23.50.00.dat", every);
  EXPECT_LT(stops.fs.bytesRead, three.fs.bytesRead * 3 / 2);
}

}  // namespace
}  // namespace kestrand::testing
