// The library's own row-band splitter.
#include "row_bands.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace lumetra::effects {

namespace {

constexpr int32_t kMaxThreads = 32;

void SplitOverThreads(int32_t threads, int32_t rows, int64_t work_per_row, BandFn fn,
                      void* context) {
  if (threads <= 0) threads = static_cast<int32_t>(std::thread::hardware_concurrency());
  threads = std::clamp(threads, 1, kMaxThreads);
  if (static_cast<int64_t>(rows) * std::max<int64_t>(work_per_row, 1) < kBandsMinWork) threads = 1;
  threads = std::min(threads, rows);
  if (threads <= 1) {
    fn(context, 0, rows);
    return;
  }
  std::vector<std::thread> workers;
  workers.reserve(static_cast<std::size_t>(threads - 1));
  int32_t begin = 0;
  try {
    for (int32_t i = 1; i < threads; ++i) {
      const int32_t end = static_cast<int32_t>(static_cast<int64_t>(rows) * i / threads);
      workers.emplace_back(fn, context, begin, end);
      begin = end;
    }
  } catch (...) {
    // No thread could be started: the caller does the rest itself.
  }
  fn(context, begin, rows);
  for (auto& w : workers) w.join();
}

}  // namespace

void RunBands(const BandRunner& runner, int32_t rows, int64_t work_per_row, BandFn fn,
              void* context) {
  if (rows <= 0) return;
  if (runner.run != nullptr) {
    runner.run(runner.self, rows, work_per_row, fn, context);
    return;
  }
  SplitOverThreads(runner.threads, rows, work_per_row, fn, context);
}

}  // namespace lumetra::effects
