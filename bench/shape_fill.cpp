// The shape raster filling a 1920x1080 frame with a 4-vertex and a 1,000-vertex shape, one
// thread and all threads, beside cairo's anti-aliased even-odd fill of the same path when
// cairo is there; ends with the ratio of cairo's time to ours, and with how far each one's
// alpha lies from the exact covered area of every edge pixel.
#include <benchmark/benchmark.h>

#include <algorithm>
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

#if LUMETRA_BENCH_CAIRO
using Polygon = std::vector<std::pair<double, double>>;

// The polygon's part on the inner side of one axis-aligned line (Sutherland-Hodgman).
Polygon ClipTo(const Polygon& in, int axis, double at, bool keep_above) {
  Polygon out;
  auto inside = [&](const std::pair<double, double>& p) {
    const double v = axis == 0 ? p.first : p.second;
    return keep_above ? v >= at : v <= at;
  };
  for (size_t i = 0; i < in.size(); ++i) {
    const auto a = in[i], b = in[(i + 1) % in.size()];
    if (inside(a)) out.push_back(a);
    if (inside(a) != inside(b)) {
      const double ca = axis == 0 ? a.first : a.second, cb = axis == 0 ? b.first : b.second;
      const double t = (at - ca) / (cb - ca);
      out.emplace_back(a.first + t * (b.first - a.first), a.second + t * (b.second - a.second));
    }
  }
  return out;
}

double Area(const Polygon& p) {
  double twice = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    const auto a = p[i], b = p[(i + 1) % p.size()];
    twice += a.first * b.second - b.first * a.second;
  }
  return std::fabs(twice) / 2;
}

// Mean and largest |alpha - 255 x exact area| over the pixels an edge passes through, for
// our fill and cairo's (both simple polygons, so even-odd is the plain covered area).
void Accuracy(int vertices) {
  const auto points = Shape(vertices);
  Polygon poly(points.begin(), points.end());
  std::vector<uint8_t> ours(static_cast<size_t>(kW) * kH * 4, 0);
  ShapeOutline outline;
  for (size_t i = 0; i < points.size(); ++i) {
    const auto [x0, y0] = points[i];
    const auto [x1, y1] = points[(i + 1) % points.size()];
    outline.Add({x0, y0, 0.f, 0.f, x1, y1, 0.f, 0.f});
  }
  FillOutline(outline, {ours.data(), kW * 4, kW, kH}, 0, 0, 0xFFFFFFFFu, {});
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH);
  cairo_t* cr = cairo_create(surface);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  cairo_set_source_rgba(cr, 1, 1, 1, 1);
  cairo_move_to(cr, points[0].first, points[0].second);
  for (size_t i = 1; i < points.size(); ++i) cairo_line_to(cr, points[i].first, points[i].second);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_surface_flush(surface);
  const uint8_t* theirs = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  double sum[2] = {0, 0}, most[2] = {0, 0};
  long edge_pixels = 0;
  for (int y = 0; y < kH; ++y) {
    const Polygon strip = ClipTo(ClipTo(poly, 1, y, true), 1, y + 1.0, false);
    if (strip.empty()) continue;
    for (int x = 0; x < kW; ++x) {
      const uint8_t a[2] = {ours[(static_cast<size_t>(y) * kW + x) * 4 + 3],
                            theirs[static_cast<size_t>(y) * stride + x * 4 + 3]};
      // An edge pixel is one either fill leaves partial, or one beside a change.
      auto ours_at = [&](int u, int v) {
        u = std::clamp(u, 0, kW - 1);
        v = std::clamp(v, 0, kH - 1);
        return ours[(static_cast<size_t>(v) * kW + u) * 4 + 3];
      };
      const bool settled = (a[0] == 0 || a[0] == 255) && a[0] == a[1] &&
                           ours_at(x - 1, y) == a[0] && ours_at(x + 1, y) == a[0] &&
                           ours_at(x, y - 1) == a[0] && ours_at(x, y + 1) == a[0];
      if (settled) continue;
      const double exact = 255.0 * Area(ClipTo(ClipTo(strip, 0, x, true), 0, x + 1.0, false));
      if (exact < 1e-6 || exact > 255.0 - 1e-6) continue;
      ++edge_pixels;
      for (int k = 0; k < 2; ++k) {
        const double err = std::fabs(a[k] - exact);
        sum[k] += err;
        most[k] = std::max(most[k], err);
      }
    }
  }
  const double n = static_cast<double>(std::max(edge_pixels, 1L));
  std::printf("%5d vertices, %ld edge pixels: ours mean %.2f max %.1f, cairo mean %.2f max %.1f\n",
              vertices, edge_pixels, sum[0] / n, most[0], sum[1] / n, most[1]);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}
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
  std::printf(
      "\nalpha error against the exact covered area, in 1/255, over the pixels an edge "
      "passes through:\n");
  for (int v : {4, 1000}) Accuracy(v);
#else
  std::printf("\ncairo not found at build time: no peer to compare with (install libcairo2-dev)\n");
#endif
  benchmark::Shutdown();
  return 0;
}
