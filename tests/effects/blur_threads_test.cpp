// The blur kernels give the same bytes for every thread count.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "spread.h"
#include "tent_blur.h"

namespace lumetra::effects {
namespace {

std::vector<uint8_t> Noise(int32_t w, int32_t h, uint32_t seed) {
  std::vector<uint8_t> b(static_cast<std::size_t>(w) * h * 4);
  for (auto& v : b) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<uint8_t>(seed >> 24);
  }
  return b;
}

TEST(BlurThreads, TentBlurBytesDoNotDependOnTheThreadCount) {
  const int32_t w = 203, h = 157;
  const auto in = Noise(w, h, 9);
  const ConstImageView src(in.data(), w * 4, w, h);
  for (double r : {2.0, 27.5}) {
    for (TentChannels ch : {TentChannels::kAll, TentChannels::kAlpha}) {
      std::vector<uint8_t> one(in.size());
      ASSERT_EQ(TentBlur(src, {one.data(), w * 4, w, h}, r, ch, {nullptr, nullptr, 1}), KernelStatus::kOk);
      for (int32_t threads : {2, 3, 8}) {
        std::vector<uint8_t> many(in.size());
        ASSERT_EQ(TentBlur(src, {many.data(), w * 4, w, h}, r, ch, {nullptr, nullptr, threads}),
                  KernelStatus::kOk);
        EXPECT_EQ(many, one) << "r " << r << " threads " << threads;
      }
    }
  }
}

TEST(BlurThreads, SpreadBytesDoNotDependOnTheThreadCount) {
  const int32_t w = 150, h = 120;
  const auto in = Noise(w, h, 4);
  const ConstImageView src(in.data(), w * 4, w, h);
  const auto steps = SpreadSteps(40.0, 0.6, SpreadMethod::kLinear, nullptr, nullptr);
  std::vector<uint8_t> one(in.size());
  ASSERT_EQ(Spread(src, {one.data(), w * 4, w, h}, steps, SpreadMethod::kLinear, {nullptr, nullptr, 1}),
            KernelStatus::kOk);
  for (int32_t threads : {2, 5}) {
    std::vector<uint8_t> many(in.size());
    ASSERT_EQ(Spread(src, {many.data(), w * 4, w, h}, steps, SpreadMethod::kLinear, {nullptr, nullptr, threads}),
              KernelStatus::kOk);
    EXPECT_EQ(many, one) << threads;
  }
}

}  // namespace
}  // namespace lumetra::effects
