// Row bands over the shared pool: the pool is replaced when the thread count changes, and
// a call in flight keeps the pool it started with.
#include "platform/parallel_rows.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/thread_pool.h"

namespace lumetra::platform {

namespace {

std::mutex g_pool_mutex;
std::shared_ptr<ThreadPool> g_pool;  // guarded by g_pool_mutex
int32_t g_threads = 0;               // guarded by g_pool_mutex; 0 until first use

int32_t ProcessorCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int32_t>(std::min<unsigned>(n, kParallelRowsMaxThreads));
}

// Must hold g_pool_mutex.
void SetThreadsLocked(int32_t threads) {
  threads = threads <= 0 ? ProcessorCount() : std::min(threads, kParallelRowsMaxThreads);
  if (threads == g_threads && (g_pool || threads == 1)) return;
  g_threads = threads;
  g_pool = threads > 1 ? std::make_shared<ThreadPool>(threads - 1) : nullptr;
}

std::shared_ptr<ThreadPool> CurrentPool(int32_t& threads) {
  std::lock_guard lock(g_pool_mutex);
  if (g_threads == 0) SetThreadsLocked(0);
  threads = g_threads;
  return g_pool;
}

struct BandJob {
  RowBandFn fn;
  void* context;
  int32_t rows;
  int32_t bands;
};

void RunBand(void* context, int32_t index) {
  const auto& job = *static_cast<const BandJob*>(context);
  const auto begin = static_cast<int32_t>(int64_t{job.rows} * index / job.bands);
  const auto end = static_cast<int32_t>(int64_t{job.rows} * (index + 1) / job.bands);
  if (begin < end) job.fn(job.context, begin, end);
}

}  // namespace

void ParallelRowsSetThreads(int32_t threads) {
  std::shared_ptr<ThreadPool> old;
  std::lock_guard lock(g_pool_mutex);
  old = g_pool;  // released after the lock, so joining its workers never blocks a caller
  SetThreadsLocked(threads);
}

int32_t ParallelRowsThreads() {
  int32_t threads = 0;
  CurrentPool(threads);
  return threads;
}

void ParallelRowsRun(int32_t rows, int64_t work_per_row, RowBandFn fn, void* context) {
  if (rows <= 0) return;
  int32_t threads = 1;
  const std::shared_ptr<ThreadPool> pool =
      rows > 1 && int64_t{rows} * std::max<int64_t>(work_per_row, 1) >= kParallelRowsMinWork
          ? CurrentPool(threads)
          : nullptr;
  if (!pool || threads <= 1) {
    fn(context, 0, rows);
    return;
  }
  // A few bands per thread keep the threads busy when one of them is slowed down.
  BandJob job{fn, context, rows, std::min(rows, threads * 4)};
  pool->Run(job.bands, RunBand, &job);
}

}  // namespace lumetra::platform
