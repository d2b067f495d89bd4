// Placing and finding clips in large projects: per-operation cost must not grow with size.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "model/clip.h"
#include "model/project.h"
#include "model/track.h"

namespace {

using namespace lumetra::project;

constexpr int kClipsPerTrack = 100;

ProcessRecord& Effect() {
  static ProcessRecord effect = [] {
    ProcessRecord e;
    e.name = "Bench/Effect";
    e.signature = "Bench 1.0";
    e.inputs_number = 1;
    e.previous_track_input = 0;
    return e;
  }();
  return effect;
}

Project* MakeProject(int tracks) {
  Project* p = ProjectCreate();
  ProjectSetDefaults(p);
  for (int i = 0; i < tracks; ++i) TrackAppend(p, TrackCreate(p));
  return p;
}

void SetPerOp(benchmark::State& state, int64_t ops_per_iteration) {
  state.counters["per_op"] = benchmark::Counter(
      static_cast<double>(ops_per_iteration),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Unplaced clips of the effect, made outside the timed part so that the allocator's cost
// (which depends on the heap's history, not on the project) stays out of the numbers.
std::vector<Clip*> MakeClips(std::size_t n) {
  std::vector<Clip*> clips(n);
  for (Clip*& c : clips) {
    ClipPtr clip(new Clip);
    clip->process = &Effect();
    clip->inputs.assign(1, nullptr);
    c = clip.release();
  }
  return clips;
}

// N clips on one track in time order: each placement checks the tail first.
void BM_PlaceInTimeOrderOneTrack(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const float width = kTimeLineEnd / static_cast<float>(n);
  for (auto _ : state) {
    state.PauseTiming();
    Project* p = MakeProject(1);
    Track* t = p->first_track;
    std::vector<Clip*> clips = MakeClips(static_cast<std::size_t>(n));
    state.ResumeTiming();
    for (int i = 0; i < n; ++i) {
      float start = static_cast<float>(i) * width;
      float end = i + 1 == n ? kTimeLineEnd : static_cast<float>(i + 1) * width;
      benchmark::DoNotOptimize(ClipPlace(clips[static_cast<std::size_t>(i)], t, start, end));
    }
    state.PauseTiming();
    ProjectFree(p);
    state.ResumeTiming();
  }
  SetPerOp(state, n);
}
BENCHMARK(BM_PlaceInTimeOrderOneTrack)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The same through ClipCreate, allocation and all.
void BM_CreateInTimeOrderOneTrack(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const float width = kTimeLineEnd / static_cast<float>(n);
  for (auto _ : state) {
    state.PauseTiming();
    Project* p = MakeProject(1);
    Track* t = p->first_track;
    state.ResumeTiming();
    for (int i = 0; i < n; ++i) {
      float start = static_cast<float>(i) * width;
      float end = i + 1 == n ? kTimeLineEnd : static_cast<float>(i + 1) * width;
      benchmark::DoNotOptimize(ClipCreate(nullptr, &Effect(), start, end, t));
    }
    state.PauseTiming();
    ProjectFree(p);
    state.ResumeTiming();
  }
  SetPerOp(state, n);
}
BENCHMARK(BM_CreateInTimeOrderOneTrack)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// 100 clips on each of T tracks, tracks visited round-robin, each track looked up by number.
void BM_PlaceOnManyTracks(benchmark::State& state) {
  const int tracks = static_cast<int>(state.range(0));
  const float width = kTimeLineEnd / kClipsPerTrack;
  for (auto _ : state) {
    state.PauseTiming();
    Project* p = MakeProject(tracks);
    std::vector<Clip*> clips = MakeClips(static_cast<std::size_t>(tracks) * kClipsPerTrack);
    std::size_t next = 0;
    state.ResumeTiming();
    for (int i = 0; i < kClipsPerTrack; ++i) {
      for (int k = 1; k <= tracks; ++k) {
        Track* t = ProjectFindTrack(p, k);
        benchmark::DoNotOptimize(ClipPlace(clips[next++], t, static_cast<float>(i) * width,
                                           static_cast<float>(i + 1) * width));
      }
    }
    state.PauseTiming();
    ProjectFree(p);
    state.ResumeTiming();
  }
  SetPerOp(state, static_cast<int64_t>(tracks) * kClipsPerTrack);
}
BENCHMARK(BM_PlaceOnManyTracks)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

Project* MakeFilledProject(int tracks) {
  const float width = kTimeLineEnd / kClipsPerTrack;
  Project* p = MakeProject(tracks);
  for (Track* t = p->first_track; t != nullptr; t = t->next) {
    for (int i = 0; i < kClipsPerTrack; ++i) {
      ClipCreate(nullptr, &Effect(), static_cast<float>(i) * width,
                 static_cast<float>(i + 1) * width, t);
    }
  }
  return p;
}

// A track by number, then the clip at a time on it; `spread` tracks are asked at random in
// a project of T x 100 clips. With spread T the working set grows with the project (cache
// misses), with spread 1 it does not, which isolates the cost of the operation itself.
void Lookup(benchmark::State& state, int tracks, int spread) {
  Project* p = MakeFilledProject(tracks);
  uint32_t seed = 12345;
  int64_t found = 0;
  for (auto _ : state) {
    seed = seed * 1664525u + 1013904223u;
    int32_t number = static_cast<int32_t>((seed >> 4) % static_cast<uint32_t>(spread)) + 1;
    Track* t = ProjectFindTrack(p, number);
    float time = static_cast<float>(seed >> 8) / static_cast<float>(1u << 24) * kTimeLineEnd;
    found += ClipFindAt(t, time) != nullptr;
  }
  benchmark::DoNotOptimize(found);
  ProjectFree(p);
}

void BM_LookupByTimeAnyTrack(benchmark::State& state) {
  int tracks = static_cast<int>(state.range(0));
  Lookup(state, tracks, tracks);
}
BENCHMARK(BM_LookupByTimeAnyTrack)->Arg(100)->Arg(1000);

void BM_LookupByTimeOneTrack(benchmark::State& state) {
  Lookup(state, static_cast<int>(state.range(0)), 1);
}
BENCHMARK(BM_LookupByTimeOneTrack)->Arg(100)->Arg(1000);

}  // namespace
