// Render engine: requests per second against threads and live requests, the longest
// render-lock hold, and the engine's share of the time of a chain of ten cheap effects.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <vector>

#include "model/clip.h"
#include "model/project.h"
#include "model/track.h"
#include "render/pic.h"
#include "render/render_engine.h"

namespace {

using namespace lumetra;
using Clock = std::chrono::steady_clock;

std::atomic<int64_t> g_make_ns{0};
int32_t g_side_w = 16, g_side_h = 16;

// A frame of one colour, or its input with every byte raised by one.
PIC* CheapMake(HostCallContext* ctx, void*, float, float, float time) {
  auto start = Clock::now();
  PIC* in = render::GetInputFrame(ctx, 0, time);
  if (in == nullptr) {
    g_make_ns += std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
    return nullptr;  // wait for the input
  }
  PIC* out = render::PicCreate(g_side_w, g_side_h);
  if (out != nullptr) {
    std::size_t n = static_cast<std::size_t>(g_side_w) * g_side_h * 4;
    for (std::size_t i = 0; i < n; ++i) out->pixels[i] = static_cast<uint8_t>(in->pixels[i] + 1);
  }
  render::FreeInputFrame(ctx, in);
  g_make_ns += std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
  return out;
}

PIC* SourceMake(HostCallContext*, void*, float, float, float) {
  auto start = Clock::now();
  PIC* out = render::PicCreate(g_side_w, g_side_h);
  if (out != nullptr) std::memset(out->pixels, 0x40, static_cast<std::size_t>(g_side_w) * g_side_h * 4);
  g_make_ns += std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
  return out;
}

struct Fixture {
  project::ProcessRecord source, filter;
  project::Project* p = nullptr;
  std::vector<project::Track*> tracks;
  explicit Fixture(int32_t chain) {
    source.name = "Bench/Source";
    source.make = &SourceMake;
    filter.name = "Bench/Filter";
    filter.make = &CheapMake;
    filter.inputs_number = 1;
    filter.previous_track_input = 0;
    p = project::ProjectCreate();
    project::ProjectSetDefaults(p);
    for (int32_t i = 0; i < chain; ++i) {
      project::Track* t = project::TrackCreate(p);
      project::TrackAppend(p, t);
      project::ClipCreate(nullptr, i + 1 < chain ? &filter : &source, 0.0f, 7000.0f, t);
      tracks.push_back(t);
    }
  }
  ~Fixture() { project::ProjectFree(p); }
};

// R live requests at once on one track, answered and given back.
void BM_Requests(benchmark::State& state) {
  int32_t threads = static_cast<int32_t>(state.range(0));
  int32_t live = static_cast<int32_t>(state.range(1));
  g_side_w = g_side_h = 16;
  Fixture f(1);
  render::RenderEngine e(uint64_t{1} << 34);
  e.SetThreads(threads);
  render::WindowId w = e.OpenWindow();
  float base = 0.0f;
  for (auto _ : state) {
    for (int32_t i = 0; i < live; ++i) {
      e.SetRequest(f.tracks[0], base + static_cast<float>(i) * 0.001f, 16, 16, 1.0f, w);
    }
    for (int32_t got = 0; got < live;) {
      auto m = e.TakeMessage(w, true);
      if (!m) break;
      if (m->kind == render::WindowMessageKind::kPicture) e.FreePic(m->picture, w);
      ++got;
    }
    // The next round asks for new times; the old pictures go.
    state.PauseTiming();
    e.Invalidate(f.tracks[0], base, base + static_cast<float>(live) * 0.001f + 1.0f);
    while (e.TakeMessage(w, false)) {
    }
    base += static_cast<float>(live) * 0.001f + 2.0f;
    if (base > 6000.0f) base = 0.0f;
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * live);
  state.counters["lock_hold_max_us"] = static_cast<double>(e.Stats().lock_hold_max_ns) / 1000.0;
  e.CloseWindow(w);
  e.SetThreads(0);
}
BENCHMARK(BM_Requests)
    ->ArgsProduct({{0, 1, 2, 8}, {100, 1000, 5000, 20000}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Ten cheap effects on each other's output at 720x576: the engine's share of the time.
void BM_ChainOverhead(benchmark::State& state) {
  g_side_w = 720;
  g_side_h = 576;
  Fixture f(10);
  render::RenderEngine e(uint64_t{1} << 34);
  render::WindowId w = e.OpenWindow();
  float time = 0.0f;
  int64_t wall = 0;
  g_make_ns = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    e.SetRequest(f.tracks[0], time, 720, 576, 1.0f, w);
    auto m = e.TakeMessage(w, true);
    if (m && m->kind == render::WindowMessageKind::kPicture) e.FreePic(m->picture, w);
    wall += std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
    time += 0.04f;
    if (time > 6000.0f) time = 0.0f;
  }
  double make = static_cast<double>(g_make_ns.load());
  state.counters["engine_share_pct"] = make > 0 ? 100.0 * (static_cast<double>(wall) - make) / make : 0;
  state.counters["lock_hold_max_us"] = static_cast<double>(e.Stats().lock_hold_max_ns) / 1000.0;
  e.CloseWindow(w);
}
BENCHMARK(BM_ChainOverhead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
