// Spread copies and Motion Blur tables and accumulation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "motion_blur.h"
#include "spread.h"

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

ImageView View(std::vector<uint8_t>& b, int32_t w, int32_t h) { return {b.data(), std::ptrdiff_t{w} * 4, w, h}; }

// Spread as written, sampling at X - d: per pixel, per copy, four taps.
std::vector<uint8_t> ReferenceSpread(const std::vector<uint8_t>& in, int32_t w, int32_t h,
                                     const std::vector<SpreadStep>& steps, SpreadMethod m) {
  auto P = [&](int32_t x, int32_t y, int32_t c) -> int64_t {
    return x < 0 || y < 0 || x >= w || y >= h ? 0 : in[(static_cast<std::size_t>(y) * w + x) * 4 + c];
  };
  std::vector<uint8_t> out(in.size());
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      int64_t sum[4] = {0, 0, 0, 0}, ws = 0;
      for (const SpreadStep& s : steps) {
        const int32_t X = x - s.ix, Y = y - s.iy;
        if (X < 0 || X > w || Y < 0 || Y > h) continue;
        for (int32_t c = 0; c < 4; ++c) {
          const int64_t v = s.wd * P(X - 1, Y - 1, c) + s.wa * P(X - 1, Y, c) + s.wb * P(X, Y - 1, c) + s.wc * P(X, Y, c);
          switch (m) {
            case SpreadMethod::kLinear: sum[c] += v; break;
            case SpreadMethod::kAdditive: sum[c] = std::max(sum[c], v); break;
            case SpreadMethod::kManual: sum[c] += s.weight * v / 255; break;
            case SpreadMethod::kManualAdditive: sum[c] = std::max(sum[c], s.weight * v / 255); break;
          }
        }
        ws = m == SpreadMethod::kLinear ? ws + 4096 : m == SpreadMethod::kManual ? ws + s.weight * 4096 / 255 : 4096;
      }
      for (int32_t c = 0; c < 4; ++c) {
        out[(static_cast<std::size_t>(y) * w + x) * 4 + c] = static_cast<uint8_t>(ws == 0 ? 0 : std::min<int64_t>(255, sum[c] / ws));
      }
    }
  }
  return out;
}

float Ramp(void*, double t) { return static_cast<float>(1.0 - t); }

TEST(Spread, LengthZeroIsTheIdentity) {
  auto in = Noise(9, 7, 3);
  std::vector<uint8_t> out(in.size());
  const auto steps = SpreadSteps(0.0, 1.0, SpreadMethod::kLinear, nullptr, nullptr);
  ASSERT_EQ(steps.size(), 1u);
  ASSERT_EQ(Spread(View(in, 9, 7), View(out, 9, 7), steps, SpreadMethod::kLinear, {}), KernelStatus::kOk);
  EXPECT_EQ(out, in);
}

TEST(Spread, MethodTableAgainstReferenceOnOneAndFiveThreads) {
  struct Case { double length, angle; SpreadMethod m; } cases[] = {
      {5.5, 0.3, SpreadMethod::kLinear},       {7.0, 2.0, SpreadMethod::kAdditive},
      {4.25, -1.0, SpreadMethod::kManual},     {6.0, 4.0, SpreadMethod::kManualAdditive},
      {-3.5, 0.7, SpreadMethod::kLinear},      {30.0, 0.0, SpreadMethod::kManual},
  };
  const int32_t w = 23, h = 17;
  auto in = Noise(w, h, 11);
  for (const Case& c : cases) {
    const auto steps = SpreadSteps(c.length, c.angle, c.m, Ramp, nullptr);
    EXPECT_EQ(steps.size(), static_cast<std::size_t>(std::fabs(c.length)) + 1);
    const auto want = ReferenceSpread(in, w, h, steps, c.m);
    for (int32_t threads : {1, 5}) {
      std::vector<uint8_t> out(in.size());
      ASSERT_EQ(Spread(View(in, w, h), View(out, w, h), steps, c.m, {nullptr, nullptr, threads}), KernelStatus::kOk);
      EXPECT_EQ(out, want) << c.length << " method " << static_cast<int>(c.m) << " threads " << threads;
    }
  }
}

TEST(Spread, StepWeightsAndUnusableLengths) {
  const auto steps = SpreadSteps(2.0, 0.0, SpreadMethod::kManual, Ramp, nullptr);
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[0].weight, 255);
  EXPECT_EQ(steps[1].weight, 127);
  EXPECT_EQ(steps[2].weight, 0);
  EXPECT_EQ(SpreadSteps(2.0, 0.0, SpreadMethod::kLinear, Ramp, nullptr)[2].weight, 255);
  EXPECT_EQ(SpreadSteps(std::nan(""), 0.0, SpreadMethod::kLinear, nullptr, nullptr).size(), 1u);
  EXPECT_EQ(SpreadClampLength(std::numeric_limits<double>::infinity()), kSpreadMaxLength);
  EXPECT_EQ(SpreadClampLength(-1e300), -kSpreadMaxLength);
  EXPECT_EQ(SpreadMethodFrom(-1), SpreadMethod::kLinear);
  EXPECT_EQ(SpreadMethodFrom(3), SpreadMethod::kManualAdditive);
}

TEST(Spread, LongLinearSpreadDoesNotOverflow) {
  // 5000 copies of a white picture, all overlapping: 32-bit sums would wrap past 4112.
  const int32_t w = 4200;
  std::vector<uint8_t> in(static_cast<std::size_t>(w) * 4, 255), out(in.size());
  const auto steps = SpreadSteps(4999.0, 0.0, SpreadMethod::kLinear, nullptr, nullptr);
  ASSERT_EQ(Spread(View(in, w, 1), View(out, w, 1), steps, SpreadMethod::kLinear, {}), KernelStatus::kOk);
  // The middle pixel is reached by about 4200 full copies and a few at the fringe.
  for (int32_t c = 0; c < 4; ++c) EXPECT_GE(out[4 * (w / 2) + c], 254);
}

TEST(MotionBlur, RangeTablePerMode) {
  struct Case { MotionSteps mode; double t1, t2, value; double a, b; int32_t n; } cases[] = {
      {MotionSteps::kByFrames, 0.0, 1.0, 0, 0.0, 1.0, 26},
      {MotionSteps::kByFrames, 0.01, 0.5, 0, 0.04, 0.48, 12},
      {MotionSteps::kByFields, 0.0, 0.2, 0, 0.0, 0.2, 11},
      {MotionSteps::kByFrames, 0.41, 0.42, 0, 0.415, 0.415, 1},
      {MotionSteps::kByStepsValue, 0.0, 2.0, 15, 0.0, 2.0, 30},
      {MotionSteps::kConstantValue, 0.2, 0.6, 7.9, 0.2, 0.6, 7},
      {MotionSteps::kConstantValue, 0.2, 0.6, 1e12, 0.2, 0.6, kMotionBlurMaxSamples},
      {MotionSteps::kConstantValue, 0.2, 0.6, -4, 0.2, 0.6, 1},
  };
  for (const Case& c : cases) {
    const MotionRange r = MotionBlurRange(c.mode, {c.t1, c.t2}, 25, c.value);
    EXPECT_NEAR(r.a, c.a, 1e-12) << static_cast<int>(c.mode) << " " << c.t1;
    EXPECT_NEAR(r.b, c.b, 1e-12) << static_cast<int>(c.mode) << " " << c.t1;
    EXPECT_EQ(r.n, c.n) << static_cast<int>(c.mode) << " " << c.t1;
    // The sample times run from a to b, or sit at the middle for a single sample.
    const auto times = MotionBlurSamples(r, nullptr, nullptr);
    ASSERT_EQ(times.size(), static_cast<std::size_t>(c.n));
    EXPECT_NEAR(times.front().time, c.n == 1 ? (c.a + c.b) * 0.5 : c.a, 1e-12);
    EXPECT_NEAR(times.back().time, c.n == 1 ? (c.a + c.b) * 0.5 : c.b, 1e-12);
  }
}

TEST(MotionBlur, SegmentAlignsTheEndAndGuardsTheRate) {
  const MotionSegment s = MotionBlurSegment(MotionSteps::kByFrames, 0.0, 1.0, 0.0, 2.0, 25);
  EXPECT_NEAR(s.t2, 49.0 / 25, 1e-12);
  const MotionSegment f = MotionBlurSegment(MotionSteps::kByFields, 0.5, 0.25, 0.0, 2.0, 25);
  EXPECT_NEAR(f.t1, 0.5 * 99.0 / 50, 1e-12);
  EXPECT_EQ(f.t1, f.t2);  // to below from: a zero-length segment at T1
  const MotionSegment z = MotionBlurSegment(MotionSteps::kByFrames, 0.0, 1.0, 0.0, 2.0, 0);
  EXPECT_TRUE(std::isfinite(z.t2));
  EXPECT_GE(MotionBlurRange(MotionSteps::kByFrames, z, 0, 0).n, 1);
}

TEST(MotionBlur, ConstantOneSamplesTheMiddle) {
  const MotionRange r = MotionBlurRange(MotionSteps::kConstantValue, {0.2, 0.6}, 25, 1.0);
  const auto samples = MotionBlurSamples(r, Ramp, nullptr);
  ASSERT_EQ(samples.size(), 1u);
  EXPECT_DOUBLE_EQ(samples[0].time, 0.4);
  EXPECT_EQ(samples[0].weight, 1.0f);
  const auto three = MotionBlurSamples({0.0, 1.0, 3}, Ramp, nullptr);
  ASSERT_EQ(three.size(), 3u);
  EXPECT_DOUBLE_EQ(three[1].time, 0.5);
  EXPECT_EQ(three[2].weight, 0.0f);
}

struct FakeSource {
  std::vector<std::vector<uint8_t>> frames;
  int32_t w, h;
  int32_t ready;  // frames available before the source runs dry
  bool failed = false;
  int32_t held = 0, fetched = 0;
  MotionFrameSource Source() {
    return {this,
            [](void* c, double, MotionFrame* f) {
              auto* s = static_cast<FakeSource*>(c);
              if (s->fetched >= s->ready) return false;
              f->view = ConstImageView(s->frames[static_cast<std::size_t>(s->fetched)].data(), s->w * 4, s->w, s->h);
              ++s->fetched;
              ++s->held;
              return true;
            },
            [](void* c, MotionFrame*) { --static_cast<FakeSource*>(c)->held; },
            [](void* c) { return static_cast<FakeSource*>(c)->failed; }};
  }
};

TEST(MotionBlur, ResumeKeepsStateAndAbortFreesIt) {
  const int32_t w = 5, h = 3;
  FakeSource src{{Noise(w, h, 1), Noise(w, h, 2), Noise(w, h, 3)}, w, h, 1};
  auto samples = MotionBlurSamples({0.0, 1.0, 3}, nullptr, nullptr);
  MotionBlurState* state = MotionBlurStateCreate(w, h, 0, samples);
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(MotionBlurContinue(*state, src.Source(), {}), MotionBlurStatus::kWaiting);
  EXPECT_EQ(state->next, 1u);
  src.ready = 3;
  EXPECT_EQ(MotionBlurContinue(*state, src.Source(), {}), MotionBlurStatus::kDone);
  EXPECT_EQ(src.held, 0);
  // The same frames in one go give the same picture.
  FakeSource again{src.frames, w, h, 3};
  MotionBlurState* one = MotionBlurStateCreate(w, h, 0, samples);
  ASSERT_EQ(MotionBlurContinue(*one, again.Source(), {nullptr, nullptr, 5}), MotionBlurStatus::kDone);
  std::vector<uint8_t> a(static_cast<std::size_t>(w) * h * 4), b(a.size());
  MotionBlurFinish(*state, View(a, w, h), {});
  MotionBlurFinish(*one, View(b, w, h), {});
  EXPECT_EQ(a, b);
  MotionBlurStateFree(one);
  MotionBlurStateFree(state);

  static int freed = 0;
  FakeSource dry{{}, w, h, 0};
  dry.failed = true;
  MotionBlurState* aborted = MotionBlurStateCreate(w, h, 0, samples);
  aborted->output = &freed;
  aborted->output_free = [](void* p) { ++*static_cast<int*>(p); };
  EXPECT_EQ(MotionBlurContinue(*aborted, dry.Source(), {}), MotionBlurStatus::kFailed);
  MotionBlurStateFree(aborted);
  EXPECT_EQ(freed, 1);
}

TEST(MotionBlur, MixingAutoManualAndOnBlack) {
  // One pixel, two samples.
  std::vector<uint8_t> f1 = {200, 100, 50, 255}, f2 = {0, 0, 0, 0}, out(4);
  auto run = [&](uint32_t flags, float w1, float w2) {
    MotionBlurState* s = MotionBlurStateCreate(1, 1, flags, {{0.0, w1}, {1.0, w2}});
    MotionBlurAdd(*s, ConstImageView(f1.data(), 4, 1, 1), 0, 0, w1, {});
    MotionBlurAdd(*s, ConstImageView(f2.data(), 4, 1, 1), 0, 0, w2, {});
    MotionBlurFinish(*s, View(out, 1, 1), {});
    MotionBlurStateFree(s);
    return out;
  };
  EXPECT_EQ(run(0, 1, 1), (std::vector<uint8_t>{200, 100, 50, 127}));
  EXPECT_EQ(run(kMotionBlurManual, 5.0f, 1.0f), (std::vector<uint8_t>{200, 100, 50, 255}));
  // On Black with a faint alpha: colour x 255 / alpha is clamped, not wrapped.
  f1 = {200, 100, 50, 10};
  EXPECT_EQ(run(kMotionBlurOnBlack, 1, 1), (std::vector<uint8_t>{255, 255, 255, 5}));
  f1 = {0, 0, 0, 0};
  EXPECT_EQ(run(0, 1, 1), (std::vector<uint8_t>{0, 0, 0, 0}));
  // 300 opaque white samples: 16-bit sums would have wrapped.
  {
    std::vector<MotionSample> many(300, {0.0, 1.0f});
    MotionBlurState* w = MotionBlurStateCreate(1, 1, 0, many);
    std::vector<uint8_t> white = {255, 255, 255, 255};
    for (int k = 0; k < 300; ++k) MotionBlurAdd(*w, ConstImageView(white.data(), 4, 1, 1), 0, 0, 1.0f, {});
    MotionBlurFinish(*w, View(out, 1, 1), {});
    MotionBlurStateFree(w);
    EXPECT_EQ(out, white);
  }
  // A frame placed off the picture adds nothing.
  MotionBlurState* s = MotionBlurStateCreate(2, 2, 0, {{0.0, 1.0f}});
  std::vector<uint8_t> px = {9, 9, 9, 255};
  MotionBlurAdd(*s, ConstImageView(px.data(), 4, 1, 1), 5, -3, 1.0f, {});
  for (uint32_t v : s->accum) EXPECT_EQ(v, 0u);
  MotionBlurAdd(*s, ConstImageView(px.data(), 4, 1, 1), 1, 1, 1.0f, {});
  EXPECT_EQ(s->accum[3 * 5 + 3], 255u);
  MotionBlurStateFree(s);
}

}  // namespace
}  // namespace lumetra::effects
