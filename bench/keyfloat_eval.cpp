// Curve evaluation speed for short and very long curves at sequential and random times.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "anim/keyfloat.h"

using namespace lumetra::anim;

namespace {

// Keys one second apart with varied values and shapes, built in order without the
// quadratic cost of inserting each key by a walk.
KeyfloatKey* MakeCurve(int keys) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> v(-10.f, 10.f), p(-0.5f, 0.5f);
  KeyfloatKey* head = nullptr;
  KeyfloatKey* tail = nullptr;
  for (int i = 0; i < keys; ++i) {
    auto* k = new KeyfloatKey{};
    k->time = float(i);
    k->x = v(rng);
    k->tension = p(rng);
    k->continuity = p(rng);
    k->bias = p(rng);
    k->components = 1;
    k->prev = tail;
    (tail ? tail->next : head) = k;
    tail = k;
  }
  KeyfloatEdited();
  return head;
}

// Frame-like steps of 1/25 of the key spacing, wrapping over the curve.
void BM_Sequential(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  KeyfloatKey* curve = MakeCurve(keys);
  const float end = float(keys - 1);
  float t = 0.f;
  for (auto _ : state) {
    float x;
    KeyfloatEvaluate(curve, t, &x, nullptr, nullptr);
    benchmark::DoNotOptimize(x);
    t += 0.04f;
    if (t > end) t = 0.f;
  }
  state.SetItemsProcessed(state.iterations());
  KeyfloatFree(curve);
}

void BM_Random(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  KeyfloatKey* curve = MakeCurve(keys);
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> any(0.f, float(keys - 1));
  std::vector<float> times(4096);
  for (float& t : times) t = any(rng);
  std::size_t i = 0;
  for (auto _ : state) {
    float x;
    KeyfloatEvaluate(curve, times[i++ & 4095], &x, nullptr, nullptr);
    benchmark::DoNotOptimize(x);
  }
  state.SetItemsProcessed(state.iterations());
  KeyfloatFree(curve);
}

}  // namespace

BENCHMARK(BM_Sequential)->Arg(10)->Arg(1000)->Arg(100000);
BENCHMARK(BM_Random)->Arg(10)->Arg(1000)->Arg(100000);
