// Tent blur: weights, exact division and the kernels against a plain reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "exact_divide.h"
#include "tent_blur.h"
#include "tent_short_lanes.h"

namespace lumetra::effects {
namespace {

struct Image {
  int32_t width, height;
  std::vector<uint8_t> bytes;
  Image(int32_t w, int32_t h) : width(w), height(h), bytes(static_cast<std::size_t>(w) * h * 4) {}
  ImageView View() { return {bytes.data(), std::ptrdiff_t{width} * 4, width, height}; }
  uint8_t& At(int32_t x, int32_t y, int32_t c) {
    return bytes[(static_cast<std::size_t>(y) * width + x) * 4 + c];
  }
};

Image Noise(int32_t w, int32_t h, uint32_t seed) {
  Image img(w, h);
  for (auto& b : img.bytes) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(seed >> 24);
  }
  return img;
}

// The blur as written: vertical sums into an integer buffer, then horizontal, each
// divided by the weights actually used.
Image ReferenceTent(Image& in, double r, bool alpha_only) {
  int32_t R = static_cast<int32_t>(r);
  if (R < r) ++R;
  if (R > 100) R = 100;
  if (!(r > 0)) R = 0;
  std::vector<int64_t> w(static_cast<std::size_t>(R) + 1);
  for (int32_t d = 0; d <= R; ++d) {
    w[d] = R == 0 ? 256 : (d <= r ? static_cast<int64_t>(256 - d * 256 / r) : 0);
  }
  Image out(in.width, in.height);
  std::vector<int64_t> buf(static_cast<std::size_t>(in.width) * 4);
  for (int32_t y = 0; y < in.height; ++y) {
    for (int32_t x = 0; x < in.width; ++x) {
      for (int32_t c = 0; c < 4; ++c) {
        int64_t s = 0, ws = 0;
        for (int32_t yy = std::max(0, y - R); yy <= std::min(in.height - 1, y + R); ++yy) {
          s += in.At(x, yy, c) * w[std::abs(yy - y)];
          ws += w[std::abs(yy - y)];
        }
        buf[x * 4 + c] = s / ws;
      }
    }
    for (int32_t x = 0; x < in.width; ++x) {
      for (int32_t c = 0; c < 4; ++c) {
        int64_t s = 0, ws = 0;
        for (int32_t xx = std::max(0, x - R); xx <= std::min(in.width - 1, x + R); ++xx) {
          s += buf[xx * 4 + c] * w[std::abs(xx - x)];
          ws += w[std::abs(xx - x)];
        }
        out.At(x, y, c) = (alpha_only && c < 3) ? in.At(x, y, c) : static_cast<uint8_t>(s / ws);
      }
    }
  }
  return out;
}

TEST(ExactDivide, EveryWeightSumDividesEveryByteMeanExactly) {
  // The overshoot grows with n, so the largest n of each quotient is the worst case.
  for (uint32_t d = 256; d <= kExactDivideMax; ++d) {
    const ExactDivisor q = MakeExactDivisor(d);
    for (uint32_t quotient = 0; quotient <= 255; ++quotient) {
      const uint32_t low = quotient * d;
      const uint32_t high = low + (quotient == 255 ? 0 : d - 1);
      if (ExactDivide(low, q) != quotient || ExactDivide(high, q) != quotient) {
        FAIL() << "d " << d << " quotient " << quotient;
      }
    }
  }
}

TEST(ExactDivide, AllNumeratorsForSmallAndLargestDivisors) {
  for (uint32_t d : {2u, 3u, 255u, 256u, 257u, 384u, 511u, 1000u, 51455u, kExactDivideMax}) {
    const ExactDivisor q = MakeExactDivisor(d);
    for (uint32_t n = 0; n <= 255 * d; ++n) ASSERT_EQ(ExactDivide(n, q), n / d) << d << " " << n;
  }
}

TEST(ExactDivide, ShortDivisorIsExactForEveryNumeratorWhenItSaysSo) {
  int exact = 0;
  for (uint32_t d = 1; d <= 258; ++d) {
    const ShortDivisor q = MakeShortDivisor(d);
    if (!q.exact) continue;
    ++exact;
    for (uint32_t n = 0; n <= 255 * d; ++n) ASSERT_EQ(ShortDivide(n, q), n / d) << d << " " << n;
  }
  // Every window and edge divisor of the radii that take 16-bit lanes is among them.
  for (uint32_t d : {2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, 14u, 16u}) {
    EXPECT_TRUE(MakeShortDivisor(d).exact) << d;
  }
  EXPECT_FALSE(MakeShortDivisor(1).exact);
  EXPECT_FALSE(MakeShortDivisor(258).exact);  // 255 x 258 needs 17 bits
  EXPECT_GT(exact, 150);
}

TEST(ShortTaps, WhichWindowsFitSixteenBits) {
  struct Case {
    double r;
    int32_t count, factor, centre;
    std::vector<int32_t> w;
  } cases[] = {
      {2.0, 1, 128, 2, {1}},      {4.0, 3, 64, 4, {3, 2, 1}}, {1.6, 1, 32, 8, {3}},
      {3.0, 0, 1, 0, {}},         {2.5, 0, 1, 0, {}},          {1.0, 0, 1, 0, {}},
      {100.0, 0, 1, 0, {}},       {27.0, 0, 1, 0, {}},
  };
  for (const Case& c : cases) {
    const ShortTaps s = ShortTapsFor(TentWeightsFor(c.r));
    ASSERT_EQ(s.count, c.count) << c.r;
    if (c.count == 0) continue;
    EXPECT_EQ(s.factor, c.factor) << c.r;
    EXPECT_EQ(s.centre, c.centre) << c.r;
    EXPECT_EQ(s.halves, c.r == 2.0) << c.r;
    for (int32_t j = 0; j < s.count; ++j) {
      EXPECT_EQ(s.w[j], c.w[static_cast<std::size_t>(j)]) << c.r;
      EXPECT_EQ(s.dist[j], j + 1) << c.r;
    }
  }
}

TEST(ExactDivide, FloatReciprocalUpToItsLimit) {
  // The vector loops divide by the float reciprocal when there is one: each quotient's
  // ends, as float(n) x reciprocal truncated, for every d that gets one.
  for (uint32_t d = kExactDivideMin; d <= kExactDivideMax; ++d) {
    const ExactDivisor q = MakeExactDivisor(d);
    if (d > kFloatDivideMax) {
      ASSERT_EQ(q.reciprocal, 0.0f) << d;
      continue;
    }
    for (uint32_t quotient = 0; quotient <= 255; ++quotient) {
      const uint32_t low = quotient * d;
      const uint32_t high = low + (quotient == 255 ? 0 : d - 1);
      const auto by_float = [&](uint32_t n) {
        return static_cast<uint32_t>(static_cast<float>(n) * q.reciprocal);
      };
      if (by_float(low) != quotient || by_float(high) != quotient) {
        FAIL() << "d " << d << " quotient " << quotient;
      }
    }
  }
}

TEST(TentWeights, RadiusFromTheFactorIsWorkedInDouble) {
  const double r = BlurRadius(1920, 0.01f);
  EXPECT_NEAR(r, 2.6666666, 1e-7);
  const TentWeights t = TentWeightsFor(r);
  ASSERT_EQ(t.radius, 3);
  EXPECT_EQ(t.w[0], 256);
  EXPECT_EQ(t.w[1], 159);
  EXPECT_EQ(t.w[2], 63);
  EXPECT_EQ(t.w[3], 0);
  // Worked all in float, the same radius would give 160 and 64.
  const float rf = 1920.0f * 0.01f * static_cast<float>(0.1388888888888889);
  EXPECT_EQ(static_cast<int32_t>(256.0f - 1.0f * 256.0f / rf), 160);
  EXPECT_EQ(static_cast<int32_t>(256.0f - 2.0f * 256.0f / rf), 64);
}

TEST(TentWeights, Table) {
  struct Case {
    double r;
    int32_t radius;
    std::vector<int32_t> w;
  } cases[] = {
      {0.0, 0, {256}},        {-3.0, 0, {256}},         {2.0, 2, {256, 128, 0}},
      {2.5, 3, {256, 153, 51, 0}}, {0.5, 1, {256, 0}},  {1e9, 100, {256, 255, 255}},
  };
  for (const Case& c : cases) {
    const TentWeights t = TentWeightsFor(c.r);
    EXPECT_EQ(t.radius, c.radius) << c.r;
    for (std::size_t d = 0; d < c.w.size(); ++d) EXPECT_EQ(t.w[d], c.w[d]) << c.r << " d " << d;
  }
  EXPECT_EQ(TentWeightsFor(std::nan("")).radius, 0);
  EXPECT_EQ(TentWeightsFor(150.0).radius, 100);
}

TEST(BlurRadius, FactorIsClampedToOne) {
  EXPECT_EQ(BlurRadius(1920, 5.0f), BlurRadius(1920, 1.0f));
  EXPECT_EQ(BlurRadius(1920, -1.0f), 0.0);
  EXPECT_EQ(BlurRadius(1920, std::nanf("")), 0.0);
}

struct SizeCase {
  int32_t w, h;
  double r;
};

class TentAgainstReference : public ::testing::TestWithParam<SizeCase> {};

TEST_P(TentAgainstReference, AllChannelsAndAlphaOnlyMatchExactly) {
  const SizeCase c = GetParam();
  Image in = Noise(c.w, c.h, static_cast<uint32_t>(c.w * 131 + c.h * 7 + static_cast<int>(c.r * 10)));
  for (bool alpha : {false, true}) {
    const Image want = ReferenceTent(in, c.r, alpha);
    for (int32_t threads : {1, 5}) {
      Image got(c.w, c.h);
      ASSERT_EQ(TentBlur(in.View(), got.View(), c.r, alpha ? TentChannels::kAlpha : TentChannels::kAll,
                         BandRunner{nullptr, nullptr, threads}),
                KernelStatus::kOk);
      EXPECT_EQ(got.bytes, want.bytes) << c.w << "x" << c.h << " r " << c.r << " alpha " << alpha
                                       << " threads " << threads;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, TentAgainstReference,
                         ::testing::Values(SizeCase{1, 1, 3.0}, SizeCase{7, 5, 2.6666666},
                                           SizeCase{13, 9, 1.0}, SizeCase{5, 17, 6.5},
                                           SizeCase{3, 4, 120.0}, SizeCase{200, 3, 27.0},
                                           SizeCase{600, 11, 100.0}, SizeCase{31, 260, 4.2},
                                           SizeCase{4, 4, 0.25},
                                           // Vector runs with tails, 1-pixel rows and columns,
                                           // pictures narrower than the window, the integer
                                           // division of wide windows.
                                           SizeCase{33, 7, 2.0}, SizeCase{129, 6, 3.0},
                                           SizeCase{37, 23, 2.5}, SizeCase{300, 1, 5.0},
                                           SizeCase{1, 300, 5.0}, SizeCase{2, 2, 100.0},
                                           SizeCase{61, 9, 100.0}, SizeCase{45, 230, 99.5},
                                           // 16-bit lanes (radii 2, 4, 1.6): every vector width
                                           // with a tail, pictures as small as the window or
                                           // smaller, edge rows and columns on both sides.
                                           SizeCase{1, 1, 2.0}, SizeCase{2, 3, 2.0},
                                           SizeCase{5, 5, 2.0}, SizeCase{70, 9, 2.0},
                                           SizeCase{3, 40, 2.0}, SizeCase{1, 2, 4.0},
                                           SizeCase{8, 9, 4.0}, SizeCase{85, 13, 4.0},
                                           SizeCase{300, 4, 1.6}, SizeCase{2, 70, 1.6}));

TEST(TentBlur, FactorZeroAndTheDefaultAt720AreExactCopies) {
  Image in = Noise(720, 9, 5);
  for (float factor : {0.0f, 0.01f}) {
    Image out(720, 9);
    ASSERT_EQ(TentBlur(in.View(), out.View(), BlurRadius(720, factor), TentChannels::kAll, {}),
              KernelStatus::kOk);
    EXPECT_EQ(out.bytes, in.bytes) << factor;
  }
}

TEST(TentBlur, UniformPictureStaysUniformAtTheEdges) {
  Image in(40, 30);
  for (std::size_t i = 0; i < in.bytes.size(); ++i) in.bytes[i] = static_cast<uint8_t>(200 + i % 4 * 17);
  for (double r : {1.5, 7.0, 33.3, 100.0}) {
    Image out(40, 30);
    ASSERT_EQ(TentBlur(in.View(), out.View(), r, TentChannels::kAll, {}), KernelStatus::kOk);
    EXPECT_EQ(out.bytes, in.bytes) << r;
  }
}

TEST(TentBlur, StridedViewsAndTheAbortCheck) {
  Image in = Noise(9, 40, 77);
  const Image want = ReferenceTent(in, 3.5, false);
  std::vector<uint8_t> wide(static_cast<std::size_t>(40) * 48, 0xEE);
  ImageView dst{wide.data(), 48, 9, 40};
  int calls = 0;
  double last = 0;
  struct Seen { int* calls; double* last; } seen{&calls, &last};
  AbortCheck count{[](void* c, double p) {
                     auto* s = static_cast<Seen*>(c);
                     ++*s->calls;
                     *s->last = p;
                     return false;
                   },
                   &seen};
  ASSERT_EQ(TentBlur(in.View(), dst, 3.5, TentChannels::kAll, {nullptr, nullptr, 2}, count),
            KernelStatus::kOk);
  EXPECT_GT(calls, 1);
  EXPECT_EQ(last, 1.0);
  for (int32_t y = 0; y < 40; ++y) {
    EXPECT_TRUE(std::equal(wide.begin() + y * 48, wide.begin() + y * 48 + 36, want.bytes.begin() + y * 36));
    EXPECT_EQ(wide[static_cast<std::size_t>(y) * 48 + 36], 0xEE);
  }
  AbortCheck stop{[](void*, double) { return true; }, nullptr};
  EXPECT_EQ(TentBlur(in.View(), dst, 3.5, TentChannels::kAlpha, {}, stop), KernelStatus::kAborted);
}

}  // namespace
}  // namespace lumetra::effects
