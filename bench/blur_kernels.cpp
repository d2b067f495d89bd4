// Tent blur kernels at 1920x1080 and 720x576 BGRA in megapixels per second, beside a
// memcpy of the frame and, when OpenCV is there, sepFilter2D with the same integer kernel
// and cv::blur of the same window. Arguments: width, height, radius, threads (0 = all).
// One-thread runs are timed by the thread's processor time, so a loaded machine's waits
// do not count; all-thread runs by the clock.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "tent_blur.h"

#if LUMETRA_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using namespace lumetra::effects;

std::vector<uint8_t> Frame(int64_t w, int64_t h) {
  std::vector<uint8_t> b(static_cast<std::size_t>(w * h * 4));
  uint32_t s = 1;
  for (auto& v : b) {
    s = s * 1664525u + 1013904223u;
    v = static_cast<uint8_t>(s >> 24);
  }
  return b;
}

void Rate(benchmark::State& state, int64_t pixels) {
  state.counters["Mpix/s"] = benchmark::Counter(
      static_cast<double>(pixels) * 1e-6 * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}

void Sizes(benchmark::internal::Benchmark* b, int threads) {
  b->ArgNames({"w", "h", "r", "threads"});
  for (auto [w, h] : {std::pair{1920, 1080}, std::pair{720, 576}}) {
    for (int r : {2, 3, 27, 100}) b->Args({w, h, r, threads});
  }
  if (threads != 1) b->UseRealTime();
  b->Unit(benchmark::kMillisecond);
}
void OneThread(benchmark::internal::Benchmark* b) { Sizes(b, 1); }
void AllThreads(benchmark::internal::Benchmark* b) { Sizes(b, 0); }

void BM_Memcpy(benchmark::State& state) {
  const int64_t w = state.range(0), h = state.range(1);
  auto a = Frame(w, h);
  std::vector<uint8_t> b(a.size());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  Rate(state, w * h);
}
BENCHMARK(BM_Memcpy)->ArgNames({"w", "h"})->Args({1920, 1080})->Args({720, 576})->Unit(benchmark::kMillisecond);

void BM_TentBlur(benchmark::State& state) {
  const auto w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
  auto src = Frame(w, h);
  std::vector<uint8_t> dst(src.size());
  const BandRunner bands{nullptr, nullptr, static_cast<int32_t>(state.range(3))};
  for (auto _ : state) {
    TentBlur({src.data(), w * 4, w, h}, {dst.data(), w * 4, w, h},
             static_cast<double>(state.range(2)), TentChannels::kAll, bands);
    benchmark::DoNotOptimize(dst.data());
  }
  Rate(state, int64_t{w} * h);
}
BENCHMARK(BM_TentBlur)->Apply(OneThread);
BENCHMARK(BM_TentBlur)->Apply(AllThreads);

void BM_TentBlurAlpha(benchmark::State& state) {
  const auto w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
  auto src = Frame(w, h);
  std::vector<uint8_t> dst(src.size());
  const BandRunner bands{nullptr, nullptr, static_cast<int32_t>(state.range(3))};
  for (auto _ : state) {
    TentBlur({src.data(), w * 4, w, h}, {dst.data(), w * 4, w, h},
             static_cast<double>(state.range(2)), TentChannels::kAlpha, bands);
    benchmark::DoNotOptimize(dst.data());
  }
  Rate(state, int64_t{w} * h);
}
BENCHMARK(BM_TentBlurAlpha)->Apply(OneThread);

#if LUMETRA_BENCH_OPENCV
// Half-width of the tent's non-zero taps (a whole-number r has a zero outermost weight).
int Reach(double r) {
  const TentWeights t = TentWeightsFor(r);
  int reach = t.radius;
  while (reach > 0 && t.w[static_cast<std::size_t>(reach)] == 0) --reach;
  return reach;
}

// The same integer weights as a normalised float kernel, zero ends left out.
cv::Mat Kernel(double r) {
  const TentWeights t = TentWeightsFor(r);
  const int reach = Reach(r);
  cv::Mat k(2 * reach + 1, 1, CV_32F);
  double sum = 0;
  for (int d = -reach; d <= reach; ++d) sum += t.w[static_cast<std::size_t>(std::abs(d))];
  for (int d = -reach; d <= reach; ++d) {
    k.at<float>(d + reach) = static_cast<float>(t.w[static_cast<std::size_t>(std::abs(d))] / sum);
  }
  return k;
}

void OpenCvThreads(int64_t threads) { cv::setNumThreads(threads == 1 ? 1 : -1); }

void BM_CvSepFilter2D(benchmark::State& state) {
  const auto w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  OpenCvThreads(state.range(3));
  auto bytes = Frame(w, h);
  cv::Mat src(h, w, CV_8UC4, bytes.data()), dst(h, w, CV_8UC4);
  const cv::Mat k = Kernel(static_cast<double>(state.range(2)));
  for (auto _ : state) {
    cv::sepFilter2D(src, dst, -1, k, k, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
    benchmark::DoNotOptimize(dst.data);
  }
  Rate(state, int64_t{w} * h);
}
BENCHMARK(BM_CvSepFilter2D)->Apply(OneThread);
BENCHMARK(BM_CvSepFilter2D)->Apply(AllThreads);

void BM_CvBlur(benchmark::State& state) {
  const auto w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  OpenCvThreads(state.range(3));
  auto bytes = Frame(w, h);
  cv::Mat src(h, w, CV_8UC4, bytes.data()), dst(h, w, CV_8UC4);
  const int side = 2 * Reach(static_cast<double>(state.range(2))) + 1;
  for (auto _ : state) {
    cv::blur(src, dst, cv::Size(side, side));
    benchmark::DoNotOptimize(dst.data);
  }
  Rate(state, int64_t{w} * h);
}
BENCHMARK(BM_CvBlur)->Apply(OneThread);
BENCHMARK(BM_CvBlur)->Apply(AllThreads);
#endif

}  // namespace

int main(int argc, char** argv) {
#if !LUMETRA_BENCH_OPENCV
  std::fprintf(stderr, "OpenCV not found: sepFilter2D and cv::blur are skipped "
                       "(install libopencv-imgproc-dev).\n");
#endif
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
