// Compositing kernels on 1920x1080 BGRA frames in megapixels per second, one thread and
// all threads, beside a memcpy of the frame: Mix (50 %), Copy and Paste in every blend.
// bench/compositing_vs_ffmpeg.sh sets these beside ffmpeg's blend filter.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "mix_kernel.h"
#include "paste_kernel.h"

namespace {

using namespace lumetra::effects;

constexpr int32_t kW = 1920;
constexpr int32_t kH = 1080;

std::vector<uint8_t> Frame(uint32_t seed) {
  std::vector<uint8_t> b(static_cast<std::size_t>(kW) * kH * 4);
  uint32_t s = seed;
  for (auto& v : b) {
    s = s * 1664525u + 1013904223u;
    v = static_cast<uint8_t>(s >> 24);
  }
  return b;
}

void Rate(benchmark::State& state) {
  state.counters["Mpix/s"] = benchmark::Counter(
      static_cast<double>(kW) * kH * 1e-6 * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}

BandRunner Bands(const benchmark::State& state) {
  return BandRunner{nullptr, nullptr, static_cast<int32_t>(state.range(0))};
}

void Threads(benchmark::internal::Benchmark* b) {
  b->ArgNames({"threads"})->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);
}

void BM_Memcpy(benchmark::State& state) {
  const auto a = Frame(1);
  std::vector<uint8_t> b(a.size());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  Rate(state);
}
BENCHMARK(BM_Memcpy)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Copy(benchmark::State& state) {
  const auto a = Frame(1);
  std::vector<uint8_t> b(a.size());
  const ConstImageView src{a.data(), kW * 4, kW, kH};
  const ImageView dst{b.data(), kW * 4, kW, kH};
  const BandRunner bands = Bands(state);
  for (auto _ : state) {
    CopyRows(src, dst, bands);
    benchmark::ClobberMemory();
  }
  Rate(state);
}
BENCHMARK(BM_Copy)->Apply(Threads);

void MixFrames(benchmark::State& state, MixLanes lanes) {
  const auto a = Frame(1);
  const auto b = Frame(2);
  std::vector<uint8_t> o(a.size());
  const PlacedView pa{{a.data(), kW * 4, kW, kH}, 0, 0};
  const PlacedView pb{{b.data(), kW * 4, kW, kH}, 0, 0};
  const PlacedImage out{{o.data(), kW * 4, kW, kH}, 0, 0};
  const BandRunner bands = Bands(state);
  for (auto _ : state) {
    MixPictures(pa, pb, out, MixShare(0.5), bands, {}, lanes);
    benchmark::ClobberMemory();
  }
  Rate(state);
}

void BM_Mix(benchmark::State& state) { MixFrames(state, MixLanes::kWidest); }
BENCHMARK(BM_Mix)->Apply(Threads);

// Each path on one thread (lanes: 1 one row, 2 two rows, 3 wide row), where it runs here.
void BM_MixLanes(benchmark::State& state) {
  const auto lanes = static_cast<MixLanes>(state.range(1));
  if (!MixLanesAvailable(lanes)) {
    state.SkipWithError("not on this processor");
    return;
  }
  MixFrames(state, lanes);
}
BENCHMARK(BM_MixLanes)
    ->ArgNames({"threads", "lanes"})
    ->ArgsProduct({{1}, {1, 2, 3}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_Paste(benchmark::State& state) {
  const auto bg = Frame(1);
  const auto fg = Frame(2);
  std::vector<uint8_t> o(bg.size());
  const PlacedView pb{{bg.data(), kW * 4, kW, kH}, 0, 0};
  const PlacedView pf{{fg.data(), kW * 4, kW, kH}, 0, 0};
  const PlacedImage out{{o.data(), kW * 4, kW, kH}, 0, 0};
  // Full opacity from an opaque source: every pixel blends at e = 255, as ffmpeg's blend
  // at opacity 1 does.
  const PasteParams p{1.f, static_cast<int32_t>(PasteSource::kOpaque), 0,
                      static_cast<int32_t>(state.range(1))};
  const BandRunner bands = Bands(state);
  for (auto _ : state) {
    Paste(pb, pf, pf, out, p, bands);
    benchmark::ClobberMemory();
  }
  Rate(state);
}
BENCHMARK(BM_Paste)
    ->ArgNames({"threads", "mode"})
    ->ArgsProduct({{1, 0}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
