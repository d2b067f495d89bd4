// The persistent worker pool: workers sleep on a condition variable between jobs and
// claim task indices from a shared counter.
#include "platform/thread_pool.h"

#include <atomic>

namespace lumetra::platform {

namespace {
thread_local bool t_inside_task = false;
}  // namespace

struct ThreadPool::Job {
  Task task;
  void* context;
  int32_t count;
  std::atomic<int32_t> next{0};
};

ThreadPool::ThreadPool(int32_t workers) {
  threads_.reserve(static_cast<std::size_t>(workers > 0 ? workers : 0));
  for (int32_t i = 0; i < workers; ++i) threads_.emplace_back([this] { WorkerLoop(); });
}

ThreadPool::~ThreadPool() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (auto& t : threads_) t.join();
}

void ThreadPool::RunTasks(Job& job) {
  const bool was_inside = t_inside_task;
  t_inside_task = true;
  for (int32_t i = job.next.fetch_add(1); i < job.count; i = job.next.fetch_add(1)) {
    job.task(job.context, i);
  }
  t_inside_task = was_inside;
}

void ThreadPool::Run(int32_t count, Task task, void* context) {
  if (count <= 0) return;
  std::unique_lock run(run_mutex_, std::defer_lock);
  if (count == 1 || threads_.empty() || t_inside_task || !run.try_lock()) {
    for (int32_t i = 0; i < count; ++i) task(context, i);
    return;
  }
  Job job{task, context, count};
  {
    std::lock_guard lock(mutex_);
    job_ = &job;
    ++generation_;
  }
  wake_.notify_all();
  RunTasks(job);
  // Every index is claimed once our loop ends; wait for workers still inside the job.
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return busy_ == 0; });
  job_ = nullptr;
}

void ThreadPool::WorkerLoop() {
  uint64_t seen = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
    if (stop_) return;
    seen = generation_;
    Job* job = job_;
    if (job == nullptr) continue;
    ++busy_;
    lock.unlock();
    RunTasks(*job);
    lock.lock();
    if (--busy_ == 0) idle_.notify_all();
  }
}

}  // namespace lumetra::platform
