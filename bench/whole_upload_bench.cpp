// The whole upload as one series: 27 files (the first and A to Z) of 16300 periodic records of
// sixteen value columns and a moving average each, 440,100 samples of 17 series, against the
// same work on the first file alone.
//
//   read/files:N       the files read one after another and built into one series (from disk);
//   column_stats/N     the statistics of all 17 columns of the series;
//   assess/N           all 17 columns assessed against a standard: limits, maximum and the
//                      highest 6-minute time average;
//   reduce_full/N      every run of every column reduced for a 1200-pixel line.
//   pass/N/kind        one pass over the files, a file at a time, for what a command wants:
//                      0 the statistics (stats --whole), 1 a chart reduced to 1200 columns
//                      (chart --whole), 2 the assessment (assess --whole), 3 all three with
//                      the report's 1000 columns (report --whole's summary).
//
//   whole_upload_bench --write-upload DIR   writes the 27 files into DIR and ends, so that
//        `kestrand-cli report --whole "DIR/QV 15.Jan.06  23.55.09.dat" --pdf OUT.pdf` can be
//        timed on them.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "adapters/posix/posix_file_system.h"
#include "app/whole_upload.h"
#include "bench/full_upload.h"
#include "view/assessment.h"
#include "view/stats.h"

namespace {

using namespace kestrand;

const std::string kFirst = "QV 15.Jan.06  23.55.09.dat";

// Writes the first file and `files - 1` continuation files into `dir`.
void writeUpload(const std::string& dir, int files) {
  const std::string content = bench::fullUpload(
      "11:55:09 PM", [](int i, int k) { return k * 1.37 + (i * (k + 3)) % 97 * 0.21; });
  for (int f = 0; f < files; ++f) {
    std::string name = kFirst;
    if (f > 0) name.insert(name.size() - 4, 1, static_cast<char>('A' + f - 1));
    std::ofstream(std::filesystem::path(dir) / name, std::ios::binary) << content;
  }
}

struct Upload {
  explicit Upload(int files)
      : dir(std::filesystem::temp_directory_path() / ("kestrand-whole-" + std::to_string(files))),
        fs(dir) {
    std::filesystem::create_directories(dir);
    writeUpload(dir, files);
    probes.InitProbeTable();
    whole = read();
  }
  ~Upload() { std::filesystem::remove_all(dir); }
  app::WholeUpload read() const {
    return app::readWholeUpload({fs, probes, messages, {}}, dir, kFirst);
  }
  std::string dir;
  adapters::posix::PosixFileSystem fs;
  store::ProbeTable probes;
  MessageCatalogue messages;
  app::WholeUpload whole;
};

const Upload& upload(int files) {
  static Upload one(1), all(27);
  return files == 1 ? one : all;
}

// What the series holds in memory: the times, the time texts and the values.
double seriesBytes(const view::ChartData& c) {
  double bytes = static_cast<double>(c.x.capacity() * sizeof(double));
  for (const std::string& t : c.timeTexts)
    bytes += sizeof(std::string) + (t.capacity() > 15 ? static_cast<double>(t.capacity()) : 0.0);
  for (const auto& s : c.series) bytes += static_cast<double>(s.y.capacity() * sizeof(float));
  return bytes;
}

void read(benchmark::State& state) {
  const Upload& u = upload(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(u.read());
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  state.counters["samples"] = static_cast<double>(u.whole.chart.samples());
  state.counters["series_MB"] = seriesBytes(u.whole.chart) / 1e6;
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1e3;
}

void column_stats(benchmark::State& state) {
  const view::ChartData& c = upload(static_cast<int>(state.range(0))).whole.chart;
  for (auto _ : state) benchmark::DoNotOptimize(view::columnStats(c));
}

void assess(benchmark::State& state) {
  const view::ChartData& c = upload(static_cast<int>(state.range(0))).whole.chart;
  const view::Limits limits =
      view::limitsAt(*view::findStandard("icnirp1998-public"), 900e6).value();
  for (auto _ : state) benchmark::DoNotOptimize(view::assess(c, limits, 1.0));
}

void reduce_full(benchmark::State& state) {
  const view::ChartData& c = upload(static_cast<int>(state.range(0))).whole.chart;
  std::size_t points = 0;
  for (auto _ : state) {
    points = bench::reducedPoints(c, c.x.back());
    benchmark::DoNotOptimize(points);
  }
  state.counters["points"] = static_cast<double>(points);
}

void pass(benchmark::State& state) {
  const Upload& u = upload(static_cast<int>(state.range(0)));
  const view::Limits limits =
      view::limitsAt(*view::findStandard("icnirp1998-public"), 900e6).value();
  const app::WholeUploadWanted::Assessing assessing{limits, 1.0};
  const app::WholeUploadWanted wanted[] = {{app::kNoChart, std::nullopt, true},
                                           {1200, std::nullopt, false},
                                           {app::kNoChart, assessing, false},
                                           {1000, assessing, true}};
  const app::WholeUploadWanted& w = wanted[state.range(1)];
  std::size_t kept = 0;
  for (auto _ : state) {
    const app::WholeUpload whole =
        app::readWholeUpload({u.fs, u.probes, u.messages, {}}, u.dir, kFirst, w);
    kept = whole.chart.samples();
    benchmark::DoNotOptimize(whole.samples);
  }
  state.counters["chart_samples"] = static_cast<double>(kept);
}

BENCHMARK(pass)
    ->ArgNames({"files", "kind"})
    ->ArgsProduct({{1, 27}, {0, 1, 2, 3}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(read)->ArgName("files")->Arg(1)->Arg(27)->Unit(benchmark::kMillisecond);
BENCHMARK(column_stats)->ArgName("files")->Arg(1)->Arg(27)->Unit(benchmark::kMillisecond);
BENCHMARK(assess)->ArgName("files")->Arg(1)->Arg(27)->Unit(benchmark::kMillisecond);
BENCHMARK(reduce_full)->ArgName("files")->Arg(1)->Arg(27)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-upload") == 0) {
    writeUpload(argv[2], 27);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
