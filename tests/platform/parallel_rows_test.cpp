// The row splitter and its thread pool: coverage, inline small jobs, nesting and
// concurrent callers.
#include "platform/parallel_rows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/thread_pool.h"

namespace lumetra::platform {
namespace {

// Counts how often each row was visited and by how many distinct threads.
struct Visits {
  explicit Visits(int32_t rows) : count(static_cast<std::size_t>(rows)) {}
  std::vector<std::atomic<int32_t>> count;
  std::mutex mutex;
  std::set<std::thread::id> threads;
  std::condition_variable second_thread;
  bool wait_for_second = false;  // set: each band holds on until two threads have run one
  void Band(int32_t begin, int32_t end) {
    for (int32_t r = begin; r < end; ++r) count[r].fetch_add(1);
    std::unique_lock lock(mutex);
    threads.insert(std::this_thread::get_id());
    if (!wait_for_second) return;
    second_thread.notify_all();
    // Bounded only so that a splitter that runs every band on one thread fails instead of
    // hanging; a working one meets the condition as soon as a worker takes a band.
    second_thread.wait_for(lock, std::chrono::seconds(30), [&] { return threads.size() >= 2; });
  }
  bool EachOnce() const {
    for (const auto& c : count)
      if (c.load() != 1) return false;
    return true;
  }
};

TEST(ParallelRows, CoversEveryRowOnceForAnyThreadCount) {
  for (int32_t threads : {1, 2, 3, 8}) {
    ParallelRowsSetThreads(threads);
    EXPECT_EQ(ParallelRowsThreads(), threads);
    for (int32_t rows : {1, 2, 7, 1080}) {
      Visits v(rows);
      const bool split = threads > 1 && rows >= 1080;
      v.wait_for_second = split;
      ParallelRows(rows, kParallelRowsMinWork, [&](int32_t b, int32_t e) { v.Band(b, e); });
      EXPECT_TRUE(v.EachOnce()) << threads << " threads, " << rows << " rows";
      if (split) {
        EXPECT_GE(v.threads.size(), 2u) << threads << " threads, " << rows << " rows";
      }
    }
  }
  ParallelRowsSetThreads(0);
  EXPECT_GE(ParallelRowsThreads(), 1);
  EXPECT_LE(ParallelRowsThreads(), kParallelRowsMaxThreads);
  ParallelRowsSetThreads(1000);
  EXPECT_EQ(ParallelRowsThreads(), kParallelRowsMaxThreads);
  ParallelRowsSetThreads(0);
}

TEST(ParallelRows, SmallJobsRunInlineAsOneBand) {
  ParallelRowsSetThreads(4);
  int calls = 0;
  std::thread::id who;
  ParallelRows(100, 10, [&](int32_t b, int32_t e) {
    ++calls;
    who = std::this_thread::get_id();
    EXPECT_EQ(b, 0);
    EXPECT_EQ(e, 100);
  });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(who, std::this_thread::get_id());
  ParallelRows(0, 1 << 20, [&](int32_t, int32_t) { ++calls; });
  EXPECT_EQ(calls, 1);
  ParallelRowsSetThreads(0);
}

TEST(ParallelRows, NestedAndConcurrentCallersFinish) {
  ParallelRowsSetThreads(3);
  std::vector<std::thread> callers;
  std::atomic<int64_t> total{0};
  for (int c = 0; c < 4; ++c) {
    callers.emplace_back([&] {
      for (int round = 0; round < 20; ++round) {
        ParallelRows(64, kParallelRowsMinWork, [&](int32_t b, int32_t e) {
          for (int32_t r = b; r < e; ++r) {
            // A kernel that itself splits rows runs the inner call inline.
            ParallelRows(16, kParallelRowsMinWork,
                         [&](int32_t ib, int32_t ie) { total.fetch_add(ie - ib); });
          }
        });
      }
    });
  }
  for (auto& t : callers) t.join();
  EXPECT_EQ(total.load(), 4 * 20 * 64 * 16);
  ParallelRowsSetThreads(0);
}

TEST(ThreadPool, RunsEveryIndexOnWorkersAndCaller) {
  ThreadPool pool(3);
  EXPECT_EQ(pool.Workers(), 3);
  std::vector<std::atomic<int32_t>> hits(1000);
  for (int round = 0; round < 50; ++round) {
    pool.Run(
        1000,
        [](void* ctx, int32_t i) {
          (*static_cast<std::vector<std::atomic<int32_t>>*>(ctx))[i].fetch_add(1);
        },
        &hits);
  }
  for (const auto& h : hits) ASSERT_EQ(h.load(), 50);
  ThreadPool empty(0);
  int32_t sum = 0;
  empty.Run(
      4, [](void* ctx, int32_t i) { *static_cast<int32_t*>(ctx) += i; }, &sum);
  EXPECT_EQ(sum, 6);
}

}  // namespace
}  // namespace lumetra::platform
