// Saving, reopening and printing a full table: 16300 samples with sixteen value columns and a
// moving average (17 numbers a line), dates, times, probe and units.
//
//   export_to_memory: the CSV file's bytes (the formatting alone);
//   export_to_file:   "Save as" onto the disk in /tmp (or $KESTRAND_BENCH_DIR): temporary file,
//                     sync, rename;
//   open_content:     "Open" on the file's content: clear_regs, both passes, every line parsed
//                     (the clearing of the table included in the MB/s);
//   report_pages:     the printed report's pages (two column blocks, 616 pages).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "adapters/posix/posix_file_system.h"
#include "app/data_files.h"
#include "view/csv.h"
#include "view/report.h"

namespace {

using namespace kestrand;

struct Rig {
  Rig() {
    t.NumSamples = store::kMaxSamples;
    for (int k = 0; k < 16; ++k) t.ColUsed[static_cast<std::size_t>(k)] = 1;
    t.ColUsed[store::kMoveAvgColumn] = 1;
    for (int j = 0; j < store::kMaxSamples; ++j) {
      const auto row = static_cast<std::size_t>(j);
      for (int k = 0; k < 16; ++k) t.SampleData(k, j) = static_cast<float>(k * 1.37 + j * 0.0113);
      t.MoveAvgData[row] = static_cast<float>(100.0 + j * 0.00731);
      t.SampleDate[row] = "01/15/2006";
      t.SampleTime[row] = "02:05:09 PM";
      t.SampleUnits[row] = "V/m";
    }
    t.SampleProbe[0] = "QV-1100";
    t.SampleProbe[2] = "M-Avg= 720";
    view::WriteCsv(t, [&](std::string_view b) { csv += b; });
    const char* env = std::getenv("KESTRAND_BENCH_DIR");
    dir = std::filesystem::path(env ? env : "/tmp") /
          ("kestrand-csv-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
  }
  ~Rig() { std::filesystem::remove_all(dir); }

  store::SampleTable t;
  store::HeaderFields h;
  std::string csv;
  std::filesystem::path dir;
};

Rig& rig() {
  static Rig r;
  return r;
}

void export_to_memory(benchmark::State& state) {
  Rig& g = rig();
  for (auto _ : state) {
    std::size_t bytes = 0;
    view::WriteCsv(g.t, [&](std::string_view b) { bytes += b.size(); });
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["MB/s"] = benchmark::Counter(
      static_cast<double>(g.csv.size()) * static_cast<double>(state.iterations()) / 1e6,
      benchmark::Counter::kIsRate);
}

void export_to_file(benchmark::State& state) {
  Rig& g = rig();
  adapters::posix::PosixFileSystem fs(g.dir.string());
  const std::string path = (g.dir / "saved data.csv").string();
  for (auto _ : state) app::writeCsvFile(fs, path, g.t);
}

void open_content(benchmark::State& state) {
  Rig& g = rig();
  store::SampleTable t;
  store::HeaderFields h;
  for (auto _ : state) {
    store::clear_regs(t, h);
    const view::CsvOpened r = view::OpenCsvContent(g.csv, t, h);
    if (t.NumSamples != store::kMaxSamples || !r.messages.empty() || t.ColUsed[15] != 18) {
      state.SkipWithError("the file was not read back whole");
    }
  }
  state.counters["MB/s"] = benchmark::Counter(
      static_cast<double>(g.csv.size()) * static_cast<double>(state.iterations()) / 1e6,
      benchmark::Counter::kIsRate);
}

void report_pages(benchmark::State& state) {
  Rig& g = rig();
  for (auto _ : state) {
    const auto pages = view::PrintReport(g.t, g.h);
    if (pages.size() != 616) state.SkipWithError("unexpected page count");
  }
}

BENCHMARK(export_to_memory)->Unit(benchmark::kMillisecond);
BENCHMARK(export_to_file)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(open_content)->Unit(benchmark::kMillisecond);
BENCHMARK(report_pages)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
