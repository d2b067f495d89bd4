// Picture kernels on a 1920x1080 frame, in megapixels per second, against a plain memcpy
// of the frame. The argument is the thread count of the row splitter.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/parallel_rows.h"
#include "render/pic.h"
#include "render/pic_convert.h"
#include "render/pic_error.h"
#include "render/pic_field.h"
#include "render/pic_place.h"
#include "render/pic_scale.h"

namespace {

using namespace lumetra::render;

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

PicPtr Frame() {
  PicInit();
  PicPtr pic(PicCreate(kWidth, kHeight));
  uint32_t state = 1;
  for (std::size_t i = 0; i < std::size_t{kWidth} * kHeight * 4; ++i) {
    state = state * 1664525u + 1013904223u;
    pic->pixels[i] = static_cast<uint8_t>(state >> 24);
  }
  return pic;
}

void Rate(benchmark::State& state, int64_t pixels) {
  state.counters["Mpix/s"] = benchmark::Counter(
      static_cast<double>(pixels) * 1e-6 * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}

void Threads(benchmark::State& state) {
  lumetra::platform::ParallelRowsSetThreads(static_cast<int32_t>(state.range(0)));
}

void BM_Memcpy(benchmark::State& state) {
  const std::size_t bytes = std::size_t{kWidth} * kHeight * 4;
  std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  Rate(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_Memcpy);

// Scale to range(1) x range(2); the rate counts destination pixels.
void BM_PicScale(benchmark::State& state) {
  Threads(state);
  auto src = Frame();
  const auto w = static_cast<int32_t>(state.range(1));
  const auto h = static_cast<int32_t>(state.range(2));
  for (auto _ : state) {
    PicPtr out(PicScale(src.get(), w, h));
    benchmark::DoNotOptimize(out->pixels);
  }
  Rate(state, int64_t{w} * h);
}
BENCHMARK(BM_PicScale)
    ->ArgNames({"threads", "w", "h"})
    ->Args({1, 1280, 720})
    ->Args({2, 1280, 720})
    ->Args({1, 2560, 1440})
    ->Args({2, 2560, 1440})
    ->UseRealTime();

void BM_PicToRgb24(benchmark::State& state) {
  Threads(state);
  auto src = Frame();
  for (auto _ : state) {
    uint8_t* out = PicToRgb24(src.get());
    benchmark::DoNotOptimize(out);
    PicBufferFree(out);
  }
  Rate(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_PicToRgb24)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime();

void BM_PicToRgb555Scaled(benchmark::State& state) {
  Threads(state);
  auto src = Frame();
  for (auto _ : state) {
    uint16_t* out = PicToRgb555Scaled(src.get(), 1280, 720);
    benchmark::DoNotOptimize(out);
    PicBufferFree(out);
  }
  Rate(state, int64_t{1280} * 720);
}
BENCHMARK(BM_PicToRgb555Scaled)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime();

void BM_PicToRgb555Fit(benchmark::State& state) {
  Threads(state);
  auto src = Frame();
  for (auto _ : state) {
    uint16_t* out = PicToRgb555Fit(src.get(), 1024, 1024);
    benchmark::DoNotOptimize(out);
    PicBufferFree(out);
  }
  Rate(state, int64_t{1024} * 1024);
}
BENCHMARK(BM_PicToRgb555Fit)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime();

void BM_PicWeaveField(benchmark::State& state) {
  Threads(state);
  auto dest = Frame();
  auto field = Frame();
  for (auto _ : state) {
    PicWeaveField(dest.get(), field.get(), 1);
    benchmark::DoNotOptimize(dest->pixels);
    benchmark::ClobberMemory();
  }
  Rate(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_PicWeaveField)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime();

void BM_PicDeinterlace(benchmark::State& state) {
  Threads(state);
  auto pic = Frame();
  for (auto _ : state) {
    PicDeinterlace(pic.get(), 0);
    benchmark::DoNotOptimize(pic->pixels);
    benchmark::ClobberMemory();
  }
  Rate(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_PicDeinterlace)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime();

void BM_PicDeinterlaceCopy(benchmark::State& state) {
  Threads(state);
  auto pic = Frame();
  for (auto _ : state) {
    PicPtr out(PicDeinterlaceCopy(pic.get(), 1));
    benchmark::DoNotOptimize(out->pixels);
  }
  Rate(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_PicDeinterlaceCopy)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime();

// The frame placed over a 1920x1080 rectangle with fractional edges (faded border).
void BM_PicPlaceInRect(benchmark::State& state) {
  Threads(state);
  auto src = Frame();
  for (auto _ : state) {
    PicPtr out(PicPlaceInRect(src.get(), {0.25f, 0.5f, 1919.5f, 1079.75f}));
    benchmark::DoNotOptimize(out->pixels);
  }
  Rate(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_PicPlaceInRect)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime();

}  // namespace
