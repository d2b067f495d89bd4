// The library's own row-band splitter. Its workers live as long as the library: starting
// threads on every call costs more than a small kernel does. One caller at a time has the
// workers; another caller meanwhile (or a band that splits again) starts threads of its
// own, as the workers would do the same bands.
#include "row_bands.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace lumetra::effects {

namespace {

constexpr int32_t kMaxThreads = 32;

int32_t BandEdge(int32_t rows, int32_t band, int32_t bands) {
  return static_cast<int32_t>(static_cast<int64_t>(rows) * band / bands);
}

void FreshThreads(int32_t threads, int32_t rows, BandFn fn, void* context) {
  std::vector<std::thread> workers;
  workers.reserve(static_cast<std::size_t>(threads - 1));
  int32_t begin = 0;
  try {
    for (int32_t i = 1; i < threads; ++i) {
      const int32_t end = BandEdge(rows, i, threads);
      workers.emplace_back(fn, context, begin, end);
      begin = end;
    }
  } catch (...) {
    // No thread could be started: the caller does the rest itself.
  }
  fn(context, begin, rows);
  for (auto& w : workers) w.join();
}

// Bands are handed out under the lock, so a worker only ever runs a band of the job it
// saw, and a job is over once each of its bands has come back.
class Workers {
 public:
  ~Workers() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (auto& t : threads_) t.join();
  }

  // False when another caller has the workers.
  bool Run(int32_t bands, int32_t rows, BandFn fn, void* context) {
    std::unique_lock<std::mutex> slot(slot_, std::try_to_lock);
    if (!slot.owns_lock()) return false;
    Grow(bands - 1);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      fn_ = fn;
      context_ = context;
      rows_ = rows;
      bands_ = bands;
      next_ = 0;
      returned_ = 0;
    }
    posted_.fetch_add(1, std::memory_order_release);
    wake_.notify_all();
    // The caller runs the last band, then whichever no worker has taken yet (all of them
    // if no worker could be started).
    std::unique_lock<std::mutex> lock(mutex_);
    RunOne(lock, bands - 1);
    while (next_ < bands_ - 1) RunOne(lock, next_++);
    if (returned_ != bands_) {
      // The workers' bands are mostly about to end: sleeping and being woken would cost
      // more than they have left.
      lock.unlock();
      Spin([this, bands] { return returned_.load(std::memory_order_acquire) == bands; });
      lock.lock();
    }
    done_.wait(lock, [this] { return returned_ == bands_; });
    bands_ = 0;
    return true;
  }

 private:
  void Grow(int32_t count) {
    try {
      while (static_cast<int32_t>(threads_.size()) < count) {
        threads_.emplace_back([this] { Serve(); });
      }
    } catch (...) {
      // Fewer workers: the caller runs what they would have.
    }
  }

  // Waits up to kSpin for done() without a system call (a pause between looks leaves the
  // core's other thread its share).
  template <class Done>
  static void Spin(Done done) {
    const auto until = std::chrono::steady_clock::now() + kSpin;
    for (uint32_t looks = 1; !done(); ++looks) {
#if defined(__x86_64__) || defined(__i386__)
      __builtin_ia32_pause();
#else
      std::this_thread::yield();
#endif
      if (looks % 64 == 0 && std::chrono::steady_clock::now() >= until) return;
    }
  }

  // Runs one band with the lock released; called and returns with it held.
  void RunOne(std::unique_lock<std::mutex>& lock, int32_t band) {
    const BandFn fn = fn_;
    void* const context = context_;
    const int32_t begin = BandEdge(rows_, band, bands_), end = BandEdge(rows_, band + 1, bands_);
    lock.unlock();
    fn(context, begin, end);
    lock.lock();
    if (++returned_ == bands_) done_.notify_all();
  }

  void Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (!stop_ && next_ >= bands_ - 1) {
        // Kernels come back to back: a worker that waits a little before it sleeps takes
        // the next job's band at once instead of after a wake-up of tens of microseconds.
        const uint64_t seen = posted_.load(std::memory_order_relaxed);
        lock.unlock();
        Spin([this, seen] { return posted_.load(std::memory_order_acquire) != seen; });
        lock.lock();
      }
      wake_.wait(lock, [this] { return stop_ || next_ < bands_ - 1; });
      if (stop_) return;
      RunOne(lock, next_++);
    }
  }

  static constexpr std::chrono::microseconds kSpin{100};
  std::atomic<uint64_t> posted_{0};  // jobs handed out, for the waiting workers

  std::mutex slot_;  // held by the caller whose job it is
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::vector<std::thread> threads_;
  bool stop_ = false;
  BandFn fn_ = nullptr;
  void* context_ = nullptr;
  int32_t rows_ = 0, bands_ = 0, next_ = 0;
  std::atomic<int32_t> returned_{0};  // written under the lock, watched by a spinning caller
};

void SplitOverThreads(int32_t threads, int32_t rows, int64_t work_per_row, BandFn fn,
                      void* context) {
  // Asked once: the count is read from a system file on every call.
  static const int32_t processors = static_cast<int32_t>(std::thread::hardware_concurrency());
  if (threads <= 0) threads = processors;
  threads = std::clamp(threads, 1, kMaxThreads);
  if (static_cast<int64_t>(rows) * std::max<int64_t>(work_per_row, 1) < kBandsMinWork) threads = 1;
  threads = std::min(threads, rows);
  if (threads <= 1) {
    fn(context, 0, rows);
    return;
  }
  // Stopped and joined when the library unloads.
  static Workers workers;
  if (!workers.Run(threads, rows, fn, context)) FreshThreads(threads, rows, fn, context);
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
