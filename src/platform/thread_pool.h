// A small persistent pool of worker threads that runs numbered tasks to completion.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace lumetra::platform {

class ThreadPool {
 public:
  // A task must not throw; index runs over [0, count).
  using Task = void (*)(void* context, int32_t index);

  // `workers` threads beside the calling thread (0: every call runs inline).
  explicit ThreadPool(int32_t workers);
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  int32_t Workers() const { return static_cast<int32_t>(threads_.size()); }

  // Runs task(context, i) for every i in [0, count) on the workers and the calling thread
  // and returns when all have finished. The pool runs one job at a time: a caller that
  // finds it busy, or a call made from inside a task, runs every task itself instead of
  // waiting, so concurrent and nested callers never deadlock.
  void Run(int32_t count, Task task, void* context);

 private:
  struct Job;
  void WorkerLoop();
  static void RunTasks(Job& job);

  std::mutex run_mutex_;  // held by the caller whose job the workers are running
  std::mutex mutex_;      // guards the fields below
  std::condition_variable wake_;
  std::condition_variable idle_;
  Job* job_ = nullptr;
  uint64_t generation_ = 0;
  int32_t busy_ = 0;  // workers currently inside job_
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace lumetra::platform
