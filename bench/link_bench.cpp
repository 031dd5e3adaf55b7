// Parse-and-write throughput of the meter link.
//
// A whole upload (a header and data messages of 60 records each) goes through the meter link
// (receive path, upload session, the loop that carries out its actions, upload writer; the
// store's file list behind it, and fakes for the replies, texts and timers), into
//   - an in-memory file system: the CPU cost alone;
//   - real files in a fresh directory on the real disk (/tmp, or $KESTRAND_BENCH_DIR), with the
//     fdatasync the writer does before every ACK.
// Each upload arrives either as one chunk per message or in 16-byte chunks (one notification per
// chunk, as a serial port hands over bytes when the line is busy).
//
// Counters: records/s and bytes/s (the bytes as they travel on the wire), and x_line: how many
// times faster than the 9600-baud line (960 bytes/s at 8N1) the upload is taken in. In memory
// the times are CPU times (the cost alone, whatever else the machine runs); on disk they are
// wall-clock times, since waiting for the disk is the point. The goal is x_line of at least 100
// with the sync included; each disk benchmark runs for at least 3 s so that several uploads are
// averaged. bench/README.md has the measured numbers.
//
// Also: ReceivePath::onChunk fed a 1 KB message one byte at a time (its worst case: each byte
// searches the whole buffer for every terminator again) and in one chunk.

#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "adapters/posix/posix_file_system.h"
#include "bench/upload_frames.h"
#include "link/receive_path.h"
#include "tests/fakes/memory_file_system.h"
#include "tests/support/link_rig.h"

namespace {

namespace fs = std::filesystem;
using namespace kestrand;

constexpr double kLineBytesPerSecond = 960.0;  // 9600 baud, 10 bits a byte

// A fresh directory on the real disk for one benchmark, removed afterwards.
class DiskDirectory {
 public:
  DiskDirectory() {
    const char* parent = std::getenv("KESTRAND_BENCH_DIR");
    std::string templ = std::string(parent && *parent ? parent : "/tmp") + "/kestrand-bench-XXXXXX";
    if (::mkdtemp(templ.data())) path_ = templ;
  }
  ~DiskDirectory() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  DiskDirectory(const DiskDirectory&) = delete;
  DiskDirectory& operator=(const DiskDirectory&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

using Rig = testing::LinkRig;

bench::UploadShape shapeFor(int mode) {
  bench::UploadShape s;
  s.mode = mode;
  s.columns = 2;
  s.movingAverage = true;
  s.recordsPerMessage = 60;
  s.dataMessages = 100;  // 6000 records: one file, no continuation
  return s;
}

void deliver(Rig& rig, const std::string& message, std::size_t chunk) {
  if (chunk == 0) {
    rig.deliver(message);
    return;
  }
  for (std::size_t at = 0; at < message.size(); at += chunk)
    rig.deliver(std::string_view(message).substr(at, chunk));
}

// One upload per iteration; a fresh link (and an emptied directory) before each, untimed.
// Seconds on the thread's CPU clock, or on the wall clock.
double secondsNow(bool cpu) {
  if (cpu) {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void runUploads(benchmark::State& state, ports::FileSystem& files, const std::string& dataDir,
                bool cpuTime, const std::function<void()>& resetFiles) {
  const int mode = static_cast<int>(state.range(0));
  const auto chunk = static_cast<std::size_t>(state.range(1));
  const bench::Upload upload = bench::makeUpload(shapeFor(mode));
  const std::string expectedAnswers(upload.data.size() + 1, bench::kAck);

  // Time of the timed parts, for the multiple of the line rate.
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    resetFiles();
    auto rig = std::make_unique<Rig>(files, dataDir);
    state.ResumeTiming();

    const double start = secondsNow(cpuTime);
    deliver(*rig, upload.header, chunk);
    for (const std::string& m : upload.data) deliver(*rig, m, chunk);
    seconds += secondsNow(cpuTime) - start;

    state.PauseTiming();
    // The upload must have gone through: one ACK per message, nothing else, one listed file.
    if (rig->replies.written != expectedAnswers || rig->list.catalogue.NumFiles != 1 ||
        rig->link.fileOpen()) {
      state.SkipWithError("the upload did not complete as expected");
      break;
    }
    rig.reset();
    state.ResumeTiming();
  }

  const auto n = static_cast<double>(state.iterations());
  state.counters["records/s"] =
      benchmark::Counter(n * static_cast<double>(upload.records), benchmark::Counter::kIsRate);
  state.counters["bytes/s"] =
      benchmark::Counter(n * static_cast<double>(upload.wireBytes), benchmark::Counter::kIsRate);
  if (seconds > 0)
    state.counters["x_line"] =
        n * static_cast<double>(upload.wireBytes) / seconds / kLineBytesPerSecond;
  state.counters["messages"] = static_cast<double>(upload.data.size() + 1);
  state.counters["wire_bytes"] = static_cast<double>(upload.wireBytes);
}

void BM_UploadToMemory(benchmark::State& state) {
  ports::fake::MemoryFileSystem files("/data");
  runUploads(state, files, "/data", true, [&] {
    files.files.clear();
    files.synced.clear();
  });
}

void BM_UploadToDisk(benchmark::State& state) {
  const DiskDirectory dir;
  if (dir.path().empty()) {
    state.SkipWithError("cannot create a directory for the files");
    return;
  }
  adapters::posix::PosixFileSystem files(dir.path());
  runUploads(state, files, dir.path(), false, [&] {
    for (const fs::directory_entry& e : fs::directory_iterator(dir.path())) fs::remove(e.path());
  });
}

// Arguments: mode field (1 = records without stamps, 0 = time-stamped records), chunk size
// (0 = one chunk per message).
BENCHMARK(BM_UploadToMemory)
    ->ArgNames({"mode", "chunk"})
    ->Args({1, 0})
    ->Args({0, 0})
    ->Args({1, 16})
    ->Args({0, 16})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadToDisk)
    ->ArgNames({"mode", "chunk"})
    ->Args({1, 0})
    ->Args({0, 0})
    ->Args({1, 16})
    ->Args({0, 16})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime();

// A data message of about 1 KB (the most the message array takes), free of DLE bytes so that
// nothing ends it early.
std::string kilobyteMessage() {
  std::vector<std::uint8_t> body;
  while (body.size() < 1015) body.push_back(static_cast<std::uint8_t>(0x20 + body.size() % 90));
  std::string m = bench::frame(2, body, 4);
  return m;
}

void BM_ReceivePathBytewise(benchmark::State& state) {
  const std::string message = kilobyteMessage();
  for (auto _ : state) {
    link::ReceivePath rx;
    link::RxOutcome out;
    for (char c : message) out = rx.onChunk(std::string_view(&c, 1));
    if (out.kind != link::RxOutcome::Kind::kMessage) {
      state.SkipWithError("the message was not recognised");
      break;
    }
    benchmark::DoNotOptimize(rx.message().MsgLength);
  }
  state.counters["message_bytes"] = static_cast<double>(message.size());
  state.counters["bytes/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(message.size()),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReceivePathBytewise)->Unit(benchmark::kMicrosecond);

void BM_ReceivePathWholeMessage(benchmark::State& state) {
  const std::string message = kilobyteMessage();
  for (auto _ : state) {
    link::ReceivePath rx;
    const link::RxOutcome out = rx.onChunk(message);
    if (out.kind != link::RxOutcome::Kind::kMessage) {
      state.SkipWithError("the message was not recognised");
      break;
    }
    benchmark::DoNotOptimize(rx.message().MsgLength);
  }
  state.counters["bytes/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(message.size()),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReceivePathWholeMessage)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
