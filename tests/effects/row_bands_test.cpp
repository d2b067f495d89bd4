// The library's own band splitter: every row once, for one caller, for callers at once
// and for bands that split again.
#include "row_bands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace lumetra::effects {
namespace {

// Counts the visits of each row.
struct Visits {
  std::vector<std::atomic<int>> rows;
  explicit Visits(int32_t n) : rows(static_cast<size_t>(n)) {}
  void operator()(int32_t begin, int32_t end) {
    for (int32_t r = begin; r < end; ++r) rows[static_cast<size_t>(r)].fetch_add(1);
  }
  bool EachOnce() const {
    for (const auto& v : rows) {
      if (v.load() != 1) return false;
    }
    return true;
  }
};

constexpr int64_t kHeavyRow = kBandsMinWork;  // any row count is worth splitting

TEST(RowBands, EveryRowOnceForAnyThreadCount) {
  for (int32_t threads : {0, 2, 3, 8, 32, 100}) {
    for (int32_t rows : {1, 2, 7, 1000}) {
      SCOPED_TRACE(std::to_string(threads) + " threads, " + std::to_string(rows) + " rows");
      for (int repeat = 0; repeat < 3; ++repeat) {
        Visits v(rows);
        RunBands(BandRunner{nullptr, nullptr, threads}, rows, kHeavyRow, v);
        EXPECT_TRUE(v.EachOnce());
      }
    }
  }
}

TEST(RowBands, CallersAtOnce) {
  std::atomic<int> failures{0};
  std::vector<std::thread> callers;
  for (int c = 0; c < 4; ++c) {
    callers.emplace_back([&failures, c] {
      for (int repeat = 0; repeat < 50; ++repeat) {
        Visits v(97 + c);
        RunBands(BandRunner{nullptr, nullptr, 3}, 97 + c, kHeavyRow, v);
        if (!v.EachOnce()) failures.fetch_add(1);
      }
    });
  }
  for (auto& t : callers) t.join();
  EXPECT_EQ(failures.load(), 0);
}

TEST(RowBands, BandsThatSplitAgain) {
  const int32_t outer = 6, inner = 40;
  Visits v(outer * inner);
  auto band = [&v](int32_t begin, int32_t end) {
    for (int32_t o = begin; o < end; ++o) {
      auto part = [&v, o](int32_t b, int32_t e) { v(o * inner + b, o * inner + e); };
      RunBands(BandRunner{nullptr, nullptr, 3}, inner, kHeavyRow, part);
    }
  };
  RunBands(BandRunner{nullptr, nullptr, 3}, outer, kHeavyRow, band);
  EXPECT_TRUE(v.EachOnce());
}

}  // namespace
}  // namespace lumetra::effects
