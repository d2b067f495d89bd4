// Evaluation: key values, loops, corner and smooth shapes, easing, and the per-thread cache.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <thread>

#include "anim/curve_fixture.h"
#include "anim/keyfloat.h"
#include "anim/keyfloat_segment_cache.h"

using namespace lumetra::anim;
using lumetra::anim::test::Curve;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The textbook Hermite segment with the tangents in their product form, as an independent
// check of the evaluator's form.
double ReferenceSegment(double p0, double p1, double p2, double p3, const KeyfloatKey& s,
                        const KeyfloatKey& c, double frac) {
  const double d = p2 - p1, d_in = p1 - p0, d_out = p3 - p2;
  const double ts =
      0.5 * (1 + s.tension) *
      ((1 - s.continuity) * (1 - s.bias) * d_in + (1 + s.continuity) * (1 + s.bias) * d);
  const double td =
      0.5 * (1 + c.tension) *
      ((1 + c.continuity) * (1 - c.bias) * d + (1 - c.continuity) * (1 + c.bias) * d_out);
  const double a = s.ease_from, b = c.ease_to;
  const double e = -(a + b) * frac * frac * frac + (2 * a + b) * frac * frac + (1 - a) * frac;
  const double h00 = 2 * e * e * e - 3 * e * e + 1, h10 = e * e * e - 2 * e * e + e;
  const double h01 = -2 * e * e * e + 3 * e * e, h11 = e * e * e - e * e;
  return h00 * p1 + h10 * ts + h01 * p2 + h11 * td;
}

}  // namespace

TEST(KeyfloatEvaluate, EmptyAndSingleKey) {
  float x = 7.f, y = 7.f, z = 7.f;
  KeyfloatEvaluate(nullptr, 1.f, &x, &y, &z);
  EXPECT_EQ(x, 0.f);
  EXPECT_EQ(y, 0.f);
  EXPECT_EQ(z, 0.f);

  Curve c;
  c.Add(0.5f, 1.f, 2.f, 3.f, 1);
  for (float t : {-100.f, 0.f, 0.5f, 0.6f, 1e5f, kNaN, kInf, -kInf}) {
    KeyfloatEvaluate(c.head, t, &x, &y, &z);
    // A key's stored values are copied whole, beyond the curve's one component.
    EXPECT_EQ(x, 1.f) << t;
    EXPECT_EQ(y, 2.f) << t;
    EXPECT_EQ(z, 3.f) << t;
  }
}

TEST(KeyfloatEvaluate, KeyTimesAndOutsideTheKeys) {
  Curve c{{0.1f, 0.3f}, {0.7f, -1.7f}, {1.3f, 5.1f}, {2.9f, 0.123456f}};
  for (KeyfloatKey* k : c.Keys()) {
    EXPECT_EQ(std::bit_cast<uint32_t>(c.At(k->time)), std::bit_cast<uint32_t>(k->x));
  }
  struct Case {
    float t, expected;
  } cases[] = {{-5.f, 0.3f},      {0.1f, 0.3f},      {0.0999f, 0.3f}, {3.f, 0.123456f},
               {1e6f, 0.123456f}, {kInf, 0.123456f}, {-kInf, 0.3f},   {kNaN, 0.3f}};
  for (const Case& tc : cases) EXPECT_EQ(c.At(tc.t), tc.expected) << tc.t;
}

TEST(KeyfloatEvaluate, LoopRepeatsTheSpanBeforeTheLoopKey) {
  Curve c{{0.f, 0.f}, {1.f, 10.f}, {2.f, 99.f}};
  c.Keys()[2]->flags = KEYFLOAT_FLAG_LOOP;
  KeyfloatEdited();
  EXPECT_EQ(c.At(2.f), 0.f);  // the loop key stands for the first key
  EXPECT_EQ(c.At(2.5f), c.At(0.5f));
  EXPECT_EQ(c.At(4.25f), c.At(0.25f));
  EXPECT_EQ(c.At(1001.f), 10.f);
  // The segments around the loop see the keys across it: both tangents are flat here.
  EXPECT_EQ(c.At(0.25f), 1.5625f);
  EXPECT_EQ(c.At(1.25f), 8.4375f);
  for (float t : {-0.5f, -1.f, -3.75f, -kInf, kInf, kNaN}) EXPECT_EQ(c.At(t), 0.f) << t;
  // The closing segment runs back to the first key's value and the curve stays finite.
  EXPECT_NEAR(c.At(1.999f), 0.f, 0.1f);
  EXPECT_TRUE(std::isfinite(c.At(1.5f)));
}

TEST(KeyfloatEvaluate, LoopCurveBeforeItsFirstKeyGivesTheFirstKeyExactly) {
  // Odd key times, so that folded times do not land on the loop's end exactly.
  Curve c;
  c.Add(0.37f, -78.03087f, 12.5f, 0.3f, 3);
  c.Add(1.13f, 40.f, -3.f, 9.f, 3);
  c.Add(2.71f, 5.f, 77.f, -1.f, 3);
  c.Add(3.3f, 1.f, 1.f, 1.f, 3)->flags = KEYFLOAT_FLAG_LOOP;
  KeyfloatEdited();
  const KeyfloatKey* first = c.head;
  const float period = 3.3f - first->time;
  int off = 0;
  auto check = [&](float t) {
    float x = 0.f, y = 0.f, z = 0.f;
    KeyfloatEvaluate(c.head, t, &x, &y, &z);
    if (std::bit_cast<uint32_t>(x) != std::bit_cast<uint32_t>(first->x) ||
        std::bit_cast<uint32_t>(y) != std::bit_cast<uint32_t>(first->y) ||
        std::bit_cast<uint32_t>(z) != std::bit_cast<uint32_t>(first->z))
      ++off;
  };
  for (int i = 1; i <= 20000; ++i) check(first->time - static_cast<float>(i) * 0.00731f);
  // Whole periods before the first key, and a few float steps either side: where the
  // folded time lands next to the loop's end.
  for (int k = 1; k <= 2000; ++k) {
    float t = first->time - static_cast<float>(k) * period;
    for (int step = 0; step < 4; ++step) t = std::nextafter(t, kInf);
    for (int step = 0; step < 8; ++step, t = std::nextafter(t, -kInf)) check(t);
  }
  EXPECT_EQ(off, 0);
  EXPECT_EQ(c.At(std::nextafter(first->time, -kInf)), first->x);
}

TEST(KeyfloatEvaluate, LoopOfNoLengthHoldsTheFirstKey) {
  Curve c{{1.f, 4.f}, {2.f, 8.f}};
  KeyfloatKey* loop = c.Keys()[1];
  loop->flags = KEYFLOAT_FLAG_LOOP;
  loop->time = 1.f;  // what a direct edit or a file could produce
  KeyfloatEdited();
  for (float t : {0.f, 1.f, 1.5f, 7.f}) EXPECT_EQ(c.At(t), 4.f) << t;
}

TEST(KeyfloatEvaluate, CornerKeysGiveStraightLines) {
  Curve c{{0.f, 0.f}, {1.f, 10.f}, {3.f, 0.f}, {3.5f, 7.f}};
  for (KeyfloatKey* k : c.Keys()) k->continuity = 1.f;
  std::vector<KeyfloatKey*> keys = c.Keys();
  for (float t = 0.f; t <= 3.5f; t += 0.0625f) {
    std::size_t i = 1;
    while (i + 1 < keys.size() && keys[i]->time < t) ++i;
    const double frac =
        (double(t) - keys[i - 1]->time) / (double(keys[i]->time) - keys[i - 1]->time);
    const double line = keys[i - 1]->x + frac * (double(keys[i]->x) - keys[i - 1]->x);
    EXPECT_NEAR(c.At(t), line, 1e-5) << t;
  }
}

TEST(KeyfloatEvaluate, ZeroTcbIsCatmullRom) {
  Curve c{{0.f, 1.f}, {1.f, 4.f}, {2.f, -2.f}, {3.f, 3.f}, {4.f, 0.f}};
  auto catmull_rom = [](double p0, double p1, double p2, double p3, double s) {
    return 0.5 * (2 * p1 + (p2 - p0) * s + (2 * p0 - 5 * p1 + 4 * p2 - p3) * s * s +
                  (3 * p1 - p0 - 3 * p2 + p3) * s * s * s);
  };
  for (double s = 0.0; s <= 1.0; s += 0.125) {
    EXPECT_NEAR(c.At(float(1 + s)), catmull_rom(1, 4, -2, 3, s), 1e-5) << s;
    EXPECT_NEAR(c.At(float(2 + s)), catmull_rom(4, -2, 3, 0, s), 1e-5) << s;
  }
}

TEST(KeyfloatEvaluate, GeneralTcbAndEaseMatchTheProductForm) {
  Curve c{{0.f, 1.f}, {0.5f, 4.f}, {2.f, -2.f}, {2.25f, 3.f}};
  std::vector<KeyfloatKey*> k = c.Keys();
  k[1]->tension = 0.5f;
  k[1]->continuity = -0.3f;
  k[1]->bias = 0.2f;
  k[1]->ease_from = 0.3f;
  k[2]->tension = -0.4f;
  k[2]->continuity = 0.6f;
  k[2]->bias = -0.7f;
  k[2]->ease_to = 0.6f;
  for (double frac = 0.0; frac <= 1.0; frac += 0.0625) {
    const float t = float(0.5 + 1.5 * frac);
    const double f = (double(t) - 0.5) / 1.5;
    EXPECT_NEAR(c.At(t), ReferenceSegment(1, 4, -2, 3, *k[1], *k[2], f), 2e-5) << frac;
  }
}

TEST(KeyfloatEvaluate, FullEaseGivesZeroSlopeAtBothEnds) {
  Curve c{{0.f, 0.f}, {1.f, 10.f}, {2.f, 30.f}, {3.f, 0.f}};
  std::vector<KeyfloatKey*> k = c.Keys();
  const float h = 1e-3f;
  const float plain_start = (c.At(1.f + h) - c.At(1.f)) / h;
  const float plain_end = (c.At(2.f) - c.At(2.f - h)) / h;
  k[1]->ease_from = 1.f;
  k[2]->ease_to = 1.f;
  const float eased_start = (c.At(1.f + h) - c.At(1.f)) / h;
  const float eased_end = (c.At(2.f) - c.At(2.f - h)) / h;
  EXPECT_GT(std::fabs(plain_start), 2.f);
  EXPECT_GT(std::fabs(plain_end), 2.f);
  EXPECT_LT(std::fabs(eased_start), 0.1f);
  EXPECT_LT(std::fabs(eased_end), 0.1f);
  EXPECT_NEAR(c.At(1.5f), 20.f, 5.f);  // still runs between the keys
}

TEST(KeyfloatEvaluate, FirstKeysComponentCountRules) {
  Curve c;
  c.Add(0.f, 1.f, 2.f, 3.f, 1);
  c.Add(1.f, 5.f, 6.f, 7.f, 3);
  float x = -1.f, y = -1.f, z = -1.f;
  KeyfloatEvaluate(c.head, 0.5f, &x, &y, &z);
  EXPECT_EQ(x, 3.f);
  EXPECT_EQ(y, -1.f);  // unused components stay unwritten
  EXPECT_EQ(z, -1.f);

  c.head->components = 2;
  KeyfloatEvaluate(c.head, 0.5f, &x, &y, &z);
  EXPECT_EQ(y, 4.f);
  EXPECT_EQ(z, -1.f);
  c.head->components = 3;
  KeyfloatEvaluate(c.head, 0.5f, &x, &y, &z);
  EXPECT_EQ(z, 5.f);
  c.head->components = 100;  // out of range: treated as 3, never read past z
  KeyfloatEvaluate(c.head, 0.5f, &x, &y, &z);
  EXPECT_EQ(z, 5.f);
}

TEST(KeyfloatHitComponent, FirstComponentInRangeAtEitherTime) {
  Curve c;
  c.Add(0.f, 0.f, 5.f, 10.f, 3);
  c.Add(1.f, 0.f, 5.f, 20.f, 3);
  EXPECT_EQ(KeyfloatHitComponent(c.head, 0.5f, 4.f, 0.5f, 6.f), 1);
  EXPECT_EQ(KeyfloatHitComponent(c.head, 0.f, 18.f, 1.f, 25.f), 2);  // only at time 2
  EXPECT_EQ(KeyfloatHitComponent(c.head, 0.5f, -1.f, 0.5f, 1.f), 0);
  EXPECT_EQ(KeyfloatHitComponent(c.head, 0.5f, 50.f, 0.5f, 60.f), -1);
  c.head->components = 1;
  EXPECT_EQ(KeyfloatHitComponent(c.head, 0.5f, 4.f, 0.5f, 6.f), -1);
  EXPECT_EQ(KeyfloatHitComponent(nullptr, 0.f, -1.f, 0.f, 1.f), -1);
}

// A long curve with random shapes, optionally looped, to compare the cached evaluation
// with the plain walk.
class LongCurve : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> v(-10.f, 10.f), p(-1.f, 1.f), e(0.f, 1.f);
    float t = 0.f;
    for (int i = 0; i < 300; ++i) {
      t += 0.01f + e(rng);
      KeyfloatKey* k = curve.Add(t, v(rng), v(rng), v(rng), 3);
      k->tension = p(rng);
      k->continuity = p(rng);
      k->bias = p(rng);
      k->ease_from = e(rng);
      k->ease_to = e(rng);
    }
    if (GetParam()) {
      curve.Keys()[250]->flags |= KEYFLOAT_FLAG_LOOP;
      KeyfloatEdited();
    }
  }

  void ExpectSameAsWalk(float t) {
    float a[3], b[3];
    KeyfloatEvaluate(curve.head, t, &a[0], &a[1], &a[2]);
    detail::KeyfloatEvaluateUncached(curve.head, t, &b[0], &b[1], &b[2]);
    for (int i = 0; i < 3; ++i)
      ASSERT_EQ(std::bit_cast<uint32_t>(a[i]), std::bit_cast<uint32_t>(b[i])) << t;
  }

  Curve curve;
};

TEST_P(LongCurve, CachedEvaluationEqualsTheWalk) {
  const float end = curve.Keys().back()->time;
  for (float t = -2.f; t < end + 2.f; t += 0.013f) ExpectSameAsWalk(t);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> any(-50.f, end + 50.f);
  for (int i = 0; i < 3000; ++i) ExpectSameAsWalk(any(rng));
  for (KeyfloatKey* k : curve.Keys()) ExpectSameAsWalk(k->time);
}

TEST_P(LongCurve, EditsInvalidateTheCache) {
  std::vector<float> probes;
  for (float t = 0.f; t < 200.f; t += 0.37f) probes.push_back(t);
  auto sweep = [&] {
    for (float t : probes) ExpectSameAsWalk(t);
  };
  sweep();
  std::vector<KeyfloatKey*> k = curve.Keys();
  curve.head = KeyfloatKeyRemove(curve.head, k[100]);
  sweep();
  KeyfloatKeyMove(&curve.head, k[50], k[200]->time + 0.001f, 0);
  sweep();
  curve.Add(k[10]->time + 0.005f, 100.f);
  sweep();
  curve.head = KeyfloatKeyRemove(curve.head, curve.head);  // the head itself changes
  sweep();
  // A fresh list in place of the old one, likely at reused addresses.
  KeyfloatKey* copy = KeyfloatCopy(curve.head);
  KeyfloatFree(curve.head);
  curve.head = copy;
  for (KeyfloatKey* key = curve.head; key; key = key->next) key->x = -key->x;
  sweep();
  // Times changed behind the operations' backs are still answered from the keys.
  for (KeyfloatKey* key = curve.head; key; key = key->next) key->time *= 0.5f;
  sweep();
}

TEST_P(LongCurve, ThreadsShareTheCurveWithoutLocks) {
  std::vector<float> times;
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> any(-5.f, 200.f);
  for (int i = 0; i < 2000; ++i) times.push_back(any(rng));
  std::vector<float> expected;
  for (float t : times) {
    float x = 0.f;
    detail::KeyfloatEvaluateUncached(curve.head, t, &x, nullptr, nullptr);
    expected.push_back(x);
  }
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int th = 0; th < 4; ++th) {
    threads.emplace_back([&, th] {
      for (int round = 0; round < 5; ++round) {
        for (std::size_t i = 0; i < times.size(); ++i) {
          const std::size_t j = (i * (th + 1) + round) % times.size();
          float x = 0.f;
          KeyfloatEvaluate(curve.head, times[j], &x, nullptr, nullptr);
          if (std::bit_cast<uint32_t>(x) != std::bit_cast<uint32_t>(expected[j])) ++mismatches;
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(mismatches.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(LoopedOrNot, LongCurve, ::testing::Bool());
