// The shape raster filling a 1920x1080 frame with a 4-vertex and a 1,000-vertex shape, one
// thread and all threads, beside cairo's anti-aliased even-odd fill of the same path when
// cairo is there; ends with the ratio of cairo's time to ours.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "row_bands.h"
#include "shape_raster.h"

#if LUMETRA_BENCH_CAIRO
#include <cairo.h>
#endif

namespace {

using namespace lumetra::effects;

constexpr int kW = 1920, kH = 1080;

// A closed polygon: a slanted quad, or a star of alternating radii.
std::vector<std::pair<float, float>> Shape(int vertices) {
  if (vertices == 4)
    return {{100.3f, 50.7f}, {1800.2f, 120.4f}, {1750.9f, 1020.5f}, {150.1f, 980.2f}};
  std::vector<std::pair<float, float>> p;
  for (int i = 0; i < vertices; ++i) {
    const double a = 2.0 * M_PI * i / vertices;
    const double r = i % 2 == 0 ? 530.0 : 380.0;
    p.emplace_back(static_cast<float>(960.0 + r * 1.7 * std::cos(a)),
                   static_cast<float>(540.0 + r * std::sin(a)));
  }
  return p;
}

void BM_ShapeFill(benchmark::State& state) {
  const auto points = Shape(static_cast<int>(state.range(0)));
  const BandRunner bands{nullptr, nullptr, static_cast<int32_t>(state.range(1))};
  std::vector<uint8_t> frame(static_cast<size_t>(kW) * kH * 4, 0);
  const ImageView view{frame.data(), kW * 4, kW, kH};
  for (auto _ : state) {
    ShapeOutline outline;
    for (size_t i = 0; i < points.size(); ++i) {
      const auto [x0, y0] = points[i];
      const auto [x1, y1] = points[(i + 1) % points.size()];
      outline.Add({x0, y0, 0.f, 0.f, x1, y1, 0.f, 0.f});
    }
    FillOutline(outline, view, 0, 0, 0xFF3080C0u, bands);
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ShapeFill)
    ->ArgNames({"vertices", "threads"})
    ->Args({4, 1})
    ->Args({4, 0})
    ->Args({1000, 1})
    ->Args({1000, 0})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

#if LUMETRA_BENCH_CAIRO
void BM_CairoFill(benchmark::State& state) {
  const auto points = Shape(static_cast<int>(state.range(0)));
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH);
  cairo_t* cr = cairo_create(surface);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
  cairo_set_source_rgba(cr, 0.75, 0.5, 0.19, 1.0);
  for (auto _ : state) {
    cairo_new_path(cr);
    cairo_move_to(cr, points[0].first, points[0].second);
    for (size_t i = 1; i < points.size(); ++i) cairo_line_to(cr, points[i].first, points[i].second);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_surface_flush(surface);
    benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}
BENCHMARK(BM_CairoFill)
    ->ArgNames({"vertices"})
    ->Arg(4)
    ->Arg(1000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
#endif

// Keeps each run's times per iteration, by name, for the ratio table: the median when
// the runs are repeated, else the one run.
class Keeper : public benchmark::ConsoleReporter {
 public:
  struct Times {
    double real = 0, cpu = 0;
  };
  std::map<std::string, Times> ms;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
      if (median || (r.run_type == Run::RT_Iteration && r.iterations > 0 && r.repetitions <= 1)) {
        ms[r.run_name.str()] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Keeper keeper;
  benchmark::RunSpecifiedBenchmarks(&keeper);
#if LUMETRA_BENCH_CAIRO
  std::printf(
      "\nratio = cairo time / our time (above 1: we are faster); cpu = the calling "
      "thread's processor time\n");
  for (int v : {4, 1000}) {
    const std::string cairo = "BM_CairoFill/vertices:" + std::to_string(v) + "/real_time";
    for (int t : {1, 0}) {
      const std::string ours = "BM_ShapeFill/vertices:" + std::to_string(v) +
                               "/threads:" + std::to_string(t) + "/real_time";
      if (keeper.ms.count(cairo) && keeper.ms.count(ours)) {
        const Keeper::Times o = keeper.ms[ours], c = keeper.ms[cairo];
        std::printf(
            "%5d vertices, %s: ours %.3f ms (cpu %.3f), cairo %.3f ms (cpu %.3f), "
            "ratio %.2f (cpu %.2f)\n",
            v, t == 1 ? "one thread " : "all threads", o.real, o.cpu, c.real, c.cpu,
            c.real / o.real, c.cpu / o.cpu);
      }
    }
  }
#else
  std::printf("\ncairo not found at build time: no peer to compare with (install libcairo2-dev)\n");
#endif
  benchmark::Shutdown();
  return 0;
}
