// Building, naming, evaluating and deleting large contours and many groups.
#include <benchmark/benchmark.h>

#include <string>

#include "geometry/geo_ops.h"
#include "geometry/geo_services.h"

namespace {

using namespace lumetra::geometry;

int CountSegment(intptr_t user, float, float, float, float, float, float, float, float) {
  ++*reinterpret_cast<int64_t*>(user);
  return 1;
}

// One closed contour of n named vertices on a circle-ish path: create, name, link, attach,
// emit its outline, delete it with its vertices. Instructions per vertex are the same at
// 1,000 and 10,000; the rise in time per vertex from about 3,000 on is the C library handing
// the freed heap back to the system after each deletion and faulting it in again on the
// next build (run with GLIBC_TUNABLES=glibc.malloc.trim_threshold=1000000000 to see it go).
void BM_ContourLifecycle(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  int64_t segments = 0;
  for (auto _ : state) {
    GeometryList list;
    std::string name;
    GeoMakeName("Contour", name, list);
    Geometry* c = list.Append(GeoCreate(kGeoContour, name, 0.5f, 0.5f, 0, 0, 0.f));
    c->Contour()->flags = 1;
    for (int i = 0; i < n; ++i) {
      GeoMakeName("V", name, list);
      float a = static_cast<float>(i) / static_cast<float>(n);
      Geometry* v = list.Append(GeoCreate(kGeoVertex, name, a, 1.f - a, 0, 0, 0.f));
      GeoLink(c, v, 0.f);
      GeoAttach(c, v);
    }
    GeoFrame frame = GeoFrameFor(&list, 1920, 1080, 1.f);
    GeoGetCurves(frame, c, 0.25f, false, reinterpret_cast<intptr_t>(&segments), CountSegment);
    GeoDeleteEx(c, true, 0.f);
    benchmark::DoNotOptimize(list.Size());
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["ns_per_vertex"] =
      benchmark::Counter(static_cast<double>(state.iterations() * n),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ContourLifecycle)->Arg(1000)->Arg(3000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The same contour, its vertices deleted one at a time (each leaves the contour).
void BM_ContourVertexByVertex(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    GeometryList list;
    std::string name;
    Geometry* c = list.Append(GeoCreate(kGeoContour, "C", 0.5f, 0.5f, 0, 0, 0.f));
    for (int i = 0; i < n; ++i) {
      GeoMakeName("V", name, list);
      Geometry* v = list.Append(GeoCreate(kGeoVertex, name, 0.f, 0.f, 0, 0, 0.f));
      GeoLink(c, v, 0.f);
      GeoAttach(c, v);
    }
    // From the end, as an editor deleting a selection in list order from the back would.
    while (list.Last() != c) GeoDeleteEx(list.Last(), false, 0.f);
    benchmark::DoNotOptimize(list.Size());
  }
  state.counters["ns_per_vertex"] =
      benchmark::Counter(static_cast<double>(state.iterations() * n),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ContourVertexByVertex)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// n groups named from one base, attached to and linked under a top group, evaluated, then
// deleted with the top group.
void BM_Groups(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    GeometryList list;
    std::string name;
    Geometry* top = list.Append(GeoCreate(kGeoGroup, "Top", 0.f, 0.f, 0, 0, 0.f));
    for (int i = 0; i < n; ++i) {
      GeoMakeName("Group", name, list);
      Geometry* g = list.Append(GeoCreate(kGeoGroup, name, 0.001f * i, 0.f, 0, 0, 0.f));
      GeoAttach(top, g);
      GeoLink(top, g, 0.f);
    }
    GeoEvaluateAll(list, 0.5f);
    GeoDeleteEx(top, true, 0.f);
    benchmark::DoNotOptimize(list.Size());
  }
  state.counters["ns_per_group"] =
      benchmark::Counter(static_cast<double>(state.iterations() * n),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Groups)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
