// Save and load of a large project (1,000 tracks, 10,000 clips, 10,000 curved geometries),
// each also reported as a ratio to writing the same bytes with one plain write.
#include "projectfile/project_file_io.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "clipdata/template.h"
#include "geometry/geometry_list.h"
#include "model/clip.h"
#include "model/project.h"
#include "model/track.h"
#include "projectfile/project_file_geometry.h"
#include "projectfile/project_file_processes.h"

namespace {

using namespace lumetra;
using namespace lumetra::project;
using Clock = std::chrono::steady_clock;

struct Params {
  KeyfloatKey* amount;
  float level;
  geometry::Geometry* shape;
};

KeyfloatKey* Curve(int keys, float scale) {
  KeyfloatKey* head = nullptr;
  KeyfloatKey* tail = nullptr;
  for (int i = 0; i < keys; ++i) {
    auto* k = new KeyfloatKey{};
    k->time = float(i);
    k->x = scale * float(i);
    k->y = -scale;
    k->components = 2;
    k->prev = tail;
    (tail ? tail->next : head) = k;
    tail = k;
  }
  return head;
}

struct Fixture {
  Params proto{};
  TemplatePtr tmpl;
  ProcessRecord process;
  Project* project = nullptr;
  std::vector<uint8_t> bytes;
  std::string path;
  double plain_write_seconds = 0;

  Fixture() {
    tmpl.reset(TemplateNew(reinterpret_cast<uintptr_t>(&proto)));
    TemplateAddField(*tmpl, "amount", "keyfloat", reinterpret_cast<uintptr_t>(&proto.amount), 1);
    TemplateAddField(*tmpl, "level", "float", reinterpret_cast<uintptr_t>(&proto.level), 1);
    TemplateAddField(*tmpl, "shape", "geometry", reinterpret_cast<uintptr_t>(&proto.shape), 1);
    process.name = "Bench/Effect";
    process.signature = "BENCH effect";
    process.inputs_number = 1;
    process.previous_track_input = 0;
    process.data_template = tmpl.get();
    ProcessRegistryPush(&process);

    project = ProjectCreate();
    ProjectSetDefaults(project);
    geometry::GeometryList& list = project->geometry;
    std::vector<geometry::Geometry*> shapes;
    for (int i = 0; i < 10000; ++i) {
      auto g = std::make_unique<geometry::Geometry>();
      g->kind = geometry::kGeoVector;
      g->name = "Shape" + std::to_string(i);
      g->position = Curve(4, float(i));
      g->rotation = Curve(2, 1);
      g->scale = Curve(2, 1);
      shapes.push_back(list.Append(std::move(g)));
    }
    int n = 0;
    for (int t = 0; t < 1000; ++t) {
      Track* track = TrackCreate(project);
      TrackAppend(project, track);
      for (int c = 0; c < 10; ++c, ++n) {
        Clip* clip = ClipCreate(nullptr, &process, float(c), float(c) + 0.5f, track);
        auto* d = static_cast<Params*>(clip->data);
        d->amount = Curve(3, 0.5f);
        d->level = float(n);
        d->shape = shapes[size_t(n)];
      }
    }
    bytes = ProjectSaveBytes(project);
    path = (std::filesystem::temp_directory_path() / "lumetra_bench_project.ZTP").string();
    // The baseline: the same bytes with one plain write, best of several runs.
    plain_write_seconds = 1e9;
    for (int i = 0; i < 7; ++i) {
      auto t0 = Clock::now();
      std::FILE* f = std::fopen(path.c_str(), "wb");
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
      plain_write_seconds =
          std::min(plain_write_seconds, std::chrono::duration<double>(Clock::now() - t0).count());
    }
  }
};

Fixture& Get() {
  static Fixture f;
  return f;
}

void Report(benchmark::State& state, double seconds) {
  Fixture& f = Get();
  state.counters["ratio_to_plain_write"] =
      seconds / double(state.iterations()) / f.plain_write_seconds;
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes.size()));
}

void BM_SaveBytes(benchmark::State& state) {
  Fixture& f = Get();
  double seconds = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    auto out = ProjectSaveBytes(f.project);
    seconds += std::chrono::duration<double>(Clock::now() - t0).count();
    benchmark::DoNotOptimize(out.data());
  }
  Report(state, seconds);
}
BENCHMARK(BM_SaveBytes)->Unit(benchmark::kMillisecond);

void BM_SaveFile(benchmark::State& state) {
  Fixture& f = Get();
  double seconds = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    ProjectSaveFile(f.project, f.path, {});
    seconds += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  Report(state, seconds);
}
BENCHMARK(BM_SaveFile)->Unit(benchmark::kMillisecond);

void BM_LoadFile(benchmark::State& state) {
  Fixture& f = Get();
  ProjectSaveFile(f.project, f.path, {});
  double seconds = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    Project* p = ProjectLoadFile(f.path, kLoadMaskLoad);
    seconds += std::chrono::duration<double>(Clock::now() - t0).count();
    if (p == nullptr || p->status != kLoadOk) state.SkipWithError("load failed");
    state.PauseTiming();
    ProjectFree(p);
    state.ResumeTiming();
  }
  Report(state, seconds);
}
BENCHMARK(BM_LoadFile)->Unit(benchmark::kMillisecond);

void BM_PlainWrite(benchmark::State& state) {
  Fixture& f = Get();
  double seconds = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    std::FILE* out = std::fopen(f.path.c_str(), "wb");
    std::fwrite(f.bytes.data(), 1, f.bytes.size(), out);
    std::fclose(out);
    seconds += std::chrono::duration<double>(Clock::now() - t0).count();
  }
  Report(state, seconds);
}
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond);

}  // namespace
