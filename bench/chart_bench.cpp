// The chart and statistics of a full upload: 16300 samples of sixteen value columns and a
// moving average (17 series), periodic logging (30 s on, 90 s off at 0.5 s: 272 runs).
//
//   column_stats:      columnStats of all 17 columns;
//   chart_data:        chartData from the table and its grid layout (time texts read back);
//   reduce_full:       every run of every column reduced for 1200 pixels, the whole upload;
//   reduce_zoomed:     the same for a tenth of the upload (what a zoom asks);
//   paint, png_file, pdf_file: the chart of such an upload logged without pause, with noisy
//                      values, as an image, the bytes of a PNG file, of a PDF file.
//
//   chart_bench --write-raw PATH   writes the same upload as a raw data file and ends, so that
//                                  `kestrand-cli chart PATH --png OUT.png` can be timed on it.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "adapters/qt/chart_painter.h"
#include "bench/full_upload.h"
#include "core/messages.h"
#include "store/raw_format.h"
#include "store/raw_reader.h"
#include "view/chart.h"
#include "view/grid.h"
#include "view/stats.h"

namespace {

using namespace kestrand;

std::string fullFile() {
  // The upload runs past midnight; ragged values, so that the reduction has work.
  return bench::fullUpload("11:55:09 PM",
                           [](int i, int k) { return k * 1.37 + (i * (k + 3)) % 97 * 0.21; });
}

// The same upload logged without pause, with the values a meter's noisy readings give (as the
// simulator makes them): each a random mantissa 0..8191 over a random power of ten 1..10^4, so
// that every pixel column of every line runs from near 0 to near 8192 and the picture is as busy
// as a real one.
std::string noisyFile() {
  return bench::fullUpload(
      "11:55:09 PM",
      [](int i, int k) {
        // splitmix64 of the value's place: the same values on every run.
        std::uint64_t z = static_cast<std::uint64_t>(i * 16 + k + 1) * 0x9E3779B97F4A7C15ull;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return static_cast<double>((z >> 8) % 8192) / std::pow(10.0, static_cast<double>(z % 5));
      },
      false);
}

struct Rig {
  explicit Rig(const std::string& content) {
    probes.InitProbeTable();
    store::ReadRawDataContent(content, "QV.dat", {probes, messages, 3, {}}, header, table);
    grid = view::UpdateDataTable(table, header, {}).grid;
    chart = view::chartData(grid, table, header);
  }
  store::ProbeTable probes;
  MessageCatalogue messages;
  store::HeaderFields header;
  store::SampleTable table;
  view::GridLayout grid;
  view::ChartData chart;
};

Rig& rig() {
  static Rig r(fullFile());
  return r;
}

Rig& noisyRig() {
  static Rig r(noisyFile());
  return r;
}

void column_stats(benchmark::State& state) {
  const Rig& g = rig();
  for (auto _ : state) benchmark::DoNotOptimize(view::columnStats(g.chart));
}

void chart_data(benchmark::State& state) {
  const Rig& g = rig();
  for (auto _ : state) benchmark::DoNotOptimize(view::chartData(g.grid, g.table, g.header));
}

void reduce(benchmark::State& state, double fraction) {
  const view::ChartData& c = rig().chart;
  const double x1 = c.x.back() * fraction;
  std::size_t points = 0;
  for (auto _ : state) {
    points = bench::reducedPoints(c, x1);
    benchmark::DoNotOptimize(points);
  }
  state.counters["points"] = static_cast<double>(points);
  state.counters["runs"] = static_cast<double>(c.runStarts.size());
}

void reduce_full(benchmark::State& state) {
  reduce(state, 1.0);
}
void reduce_zoomed(benchmark::State& state) {
  reduce(state, 0.1);
}

// The picture alone, into an image the size of the file's.
void paint(benchmark::State& state) {
  const QSize size(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  QImage image(size, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&image);
    adapters::qt::paintChart(painter, QRectF(QPointF(0, 0), QSizeF(size)), noisyRig().chart, {});
  }
}

void file(benchmark::State& state, adapters::qt::ChartFileType type) {
  const QSize size(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  adapters::qt::ChartOptions options;
  options.title = "QV 15.Jan.06  23.55.09.dat";
  options.reference = 150.0;
  qsizetype bytes = 0;
  for (auto _ : state)
    bytes = adapters::qt::chartFile(type, size, noisyRig().chart, options).size();
  state.counters["bytes"] = static_cast<double>(bytes);
}

void png_file(benchmark::State& state) {
  file(state, adapters::qt::ChartFileType::kPng);
}
void pdf_file(benchmark::State& state) {
  file(state, adapters::qt::ChartFileType::kPdf);
}

BENCHMARK(paint)->Args({900, 500})->Args({1200, 700})->Unit(benchmark::kMillisecond);
BENCHMARK(png_file)->Args({900, 500})->Args({1200, 700})->Unit(benchmark::kMillisecond);
BENCHMARK(pdf_file)->Args({1200, 700})->Unit(benchmark::kMillisecond);
BENCHMARK(column_stats)->Unit(benchmark::kMicrosecond);
BENCHMARK(chart_data)->Unit(benchmark::kMillisecond);
BENCHMARK(reduce_full)->Unit(benchmark::kMicrosecond);
BENCHMARK(reduce_zoomed)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-raw") == 0) {
    std::ofstream out(argv[2], std::ios::binary);
    out << fullFile();
    return out ? 0 : 1;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
