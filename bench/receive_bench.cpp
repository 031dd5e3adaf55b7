// Cost of one receive chunk after a long run of noise.
//
// Before the timing, the receive path takes `noise_kb` kilobytes of noise in 4 KB chunks: either
// bytes without any DLE (a wrong line speed, a chattering adapter), or bytes behind a DLE that
// never meet a terminator (a message start followed by garbage). Then each timed iteration hands
// it one 64-byte chunk of the same noise. The time per chunk must not grow with the noise before
// it; the memory the buffer holds (counter buffer_bytes) must stay under a few kilobytes.

#include <benchmark/benchmark.h>

#include <string>

#include "link/receive_path.h"

namespace kestrand {
namespace {

std::string noise(std::size_t size, bool withDle) {
  const std::string pattern = withDle ? std::string("\x41\x10\x10\x04\x42\x43\x10\x41", 8)
                                      : std::string("ABC\x03\x04\x05\x17xyz");
  std::string s;
  while (s.size() < size) s += pattern;
  s.resize(size);
  return s;
}

void BM_ChunkAfterNoise(benchmark::State& state) {
  const auto noiseKb = static_cast<std::size_t>(state.range(0));
  const bool withDle = state.range(1) != 0;
  link::ReceivePath rx;
  if (withDle) rx.onChunk("\x10\x02");
  const std::string block = noise(4096, withDle);
  for (std::size_t sent = 0; sent < noiseKb * 1024; sent += block.size()) rx.onChunk(block);
  const std::string chunk = noise(64, withDle);
  for (auto _ : state) {
    const link::RxOutcome out = rx.onChunk(chunk);
    if (out.kind != link::RxOutcome::Kind::kNeedMore) {
      state.SkipWithError("the noise completed something");
      break;
    }
    benchmark::DoNotOptimize(out);
  }
  state.counters["buffer_bytes"] =
      static_cast<double>(rx.RxBuffer().capacity() + rx.LastMsg().capacity());
  state.counters["bytes/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(chunk.size()),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ChunkAfterNoise)
    ->ArgNames({"noise_kb", "dle"})
    ->ArgsProduct({{0, 1024, 8192}, {0, 1}})
    ->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace kestrand

BENCHMARK_MAIN();
