// Viewing a full raw data file: ReadRawDataFile on 16300 records with all sixteen columns and a
// moving average, then UpdateDataTable. The file is made with the upload's own writer functions.
//
//   read_content:   the reader on the file's content in memory (the parsing alone);
//   read_file:      the reader through the POSIX file system from a file in /tmp (or
//                   $KESTRAND_BENCH_DIR), the reading of the file included;
//   read_and_grid:  read_file, then the grid layout, labels and the texts of one screenful of
//                   cells (what a view shows at once);
//   all_cell_texts: every cell text of the full grid, as a CSV export or a report would ask.
//   list_hundred_files: the start-up file list of a data directory of 100 such files
//                   (SearchForFiles, each file's head only).
// The goal for read_and_grid is under 50 ms, for list_hundred_files under 20 ms.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "adapters/posix/posix_file_system.h"
#include "bench/full_upload.h"
#include "core/messages.h"
#include "store/catalogue.h"
#include "store/raw_format.h"
#include "store/raw_reader.h"
#include "view/grid.h"

namespace {

using namespace kestrand;

std::string fullFile() {
  return bench::fullUpload("02:05:09 PM", [](int i, int k) { return k * 1.37 + i * 0.0113; });
}

struct Rig {
  Rig() {
    probes.InitProbeTable();
    const char* env = std::getenv("KESTRAND_BENCH_DIR");
    dir = std::filesystem::path(env ? env : "/tmp") /
          ("kestrand-read-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    content = fullFile();
    fs.writeAll((dir / name).string(), content);
  }
  ~Rig() { std::filesystem::remove_all(dir); }
  store::ReadContext context() const { return {probes, messages, 3, {}}; }

  store::ProbeTable probes;
  MessageCatalogue messages;
  adapters::posix::PosixFileSystem fs;
  std::filesystem::path dir;
  std::string name = "QV 15.Jan.06  14.05.09.dat";
  std::string content;
  store::HeaderFields header;
  store::SampleTable table;
};

Rig& rig() {
  static Rig r;
  return r;
}

void check(benchmark::State& state, const store::ReadResult& r, const store::SampleTable& t) {
  if (r.end != store::ReadEnd::kComplete || t.NumSamples != store::kMaxSamples) {
    state.SkipWithError("the file was not read whole");
  }
}

void read_content(benchmark::State& state) {
  Rig& g = rig();
  for (auto _ : state) {
    const auto r = store::ReadRawDataContent(g.content, g.name, g.context(), g.header, g.table);
    check(state, r, g.table);
  }
  state.counters["MB/s"] = benchmark::Counter(
      static_cast<double>(g.content.size()) * static_cast<double>(state.iterations()) / 1e6,
      benchmark::Counter::kIsRate);
}

void read_file(benchmark::State& state) {
  Rig& g = rig();
  for (auto _ : state) {
    check(state,
          store::ReadRawDataFile(g.name, g.fs, g.dir.string(), g.context(), g.header, g.table),
          g.table);
  }
  state.counters["MB/s"] = benchmark::Counter(
      static_cast<double>(g.content.size()) * static_cast<double>(state.iterations()) / 1e6,
      benchmark::Counter::kIsRate);
}

void read_and_grid(benchmark::State& state) {
  Rig& g = rig();
  for (auto _ : state) {
    check(state,
          store::ReadRawDataFile(g.name, g.fs, g.dir.string(), g.context(), g.header, g.table),
          g.table);
    const view::DataTableView v = view::UpdateDataTable(g.table, g.header, {});
    std::size_t chars = 0;
    for (int row = 0; row < 40; ++row) {
      for (int col = 0; col < v.grid.cols(); ++col) {
        chars += view::cellText(v.grid, g.table, row, col).size();
      }
    }
    benchmark::DoNotOptimize(chars);
  }
}

void all_cell_texts(benchmark::State& state) {
  Rig& g = rig();
  store::ReadRawDataContent(g.content, g.name, g.context(), g.header, g.table);
  const view::DataTableView v = view::UpdateDataTable(g.table, g.header, {});
  for (auto _ : state) {
    std::size_t chars = 0;
    for (int row = 0; row < v.grid.rows; ++row) {
      for (int col = 0; col < v.grid.cols(); ++col) {
        chars += view::cellText(v.grid, g.table, row, col).size();
      }
    }
    benchmark::DoNotOptimize(chars);
  }
}

void list_hundred_files(benchmark::State& state) {
  Rig& g = rig();
  const std::filesystem::path listDir = g.dir / "list";
  std::filesystem::create_directories(listDir);
  for (int i = 0; i < 100; ++i) {
    g.fs.writeAll((listDir / ("QV " + std::to_string(1000 + i) + ".dat")).string(), g.content);
  }
  for (auto _ : state) {
    store::FileCatalogue catalogue;
    store::FileList list({catalogue, g.probes, g.messages, g.fs, listDir.string()});
    int listed = 0;
    list.SearchForFiles([&](const store::ListUpdate& u) { listed += u.added() ? 1 : 0; });
    if (listed != 100) state.SkipWithError("not every file was listed");
  }
  std::filesystem::remove_all(listDir);
}

BENCHMARK(read_content)->Unit(benchmark::kMillisecond);
BENCHMARK(read_file)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(read_and_grid)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(all_cell_texts)->Unit(benchmark::kMillisecond);
BENCHMARK(list_hundred_files)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
