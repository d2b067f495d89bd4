// Speed of the time conversions and time texts that every time field and ruler uses.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "timecode/time_base.h"
#include "timecode/time_format.h"

using namespace lumetra::project;

static void BM_TimeToFrameRoundTrip(benchmark::State& state) {
  const int32_t base = static_cast<int32_t>(state.range(0));
  int32_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TimeToFrame(FrameToTime(n, base), base, kFrameEpsDisplay));
    n = n == 7200 * base ? 0 : n + 1;
  }
}
BENCHMARK(BM_TimeToFrameRoundTrip)->Arg(25)->Arg(1000);

static void BM_TimeFormat(benchmark::State& state) {
  const int32_t mode = static_cast<int32_t>(state.range(0));
  float t = 0.0f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TimeFormat(t, 25, mode));
    t = t > 7200.0f ? 0.0f : t + 0.04f;
  }
}
BENCHMARK(BM_TimeFormat)
    ->Arg(kTimeDisplayTimeCode)
    ->Arg(kTimeDisplayFrames)
    ->Arg(kTimeDisplaySeconds);

static void BM_TimeParseTimeCode(benchmark::State& state) {
  std::vector<std::string> texts;
  for (int i = 0; i < 1000; ++i) texts.push_back(TimeFormat(i * 7.13f, 25, kTimeDisplayTimeCode));
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TimeParse(texts[i], 25, kTimeDisplayTimeCode));
    i = (i + 1) % texts.size();
  }
}
BENCHMARK(BM_TimeParseTimeCode);

static void BM_DurationFormat(benchmark::State& state) {
  float t = 0.0f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(DurationFormat(t, 25));
    t = t > 7200.0f ? 0.0f : t + 0.37f;
  }
}
BENCHMARK(BM_DurationFormat);
