// The shape raster over row bands: the same bytes whatever the thread count.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "row_bands.h"
#include "shape_raster.h"

namespace lumetra::effects {
namespace {

// A star of n points around (cx, cy), curved edges, with a hole cut by a circle: many
// crossings per line in both directions.
ShapeOutline Star(int n, float cx, float cy, float r0, float r1) {
  ShapeOutline o;
  auto point = [&](int i) {
    const double a = 2.0 * M_PI * i / (2 * n);
    const double r = i % 2 == 0 ? r0 : r1;
    return std::pair<float, float>(static_cast<float>(cx + r * std::cos(a)),
                                   static_cast<float>(cy + r * std::sin(a)));
  };
  for (int i = 0; i < 2 * n; ++i) {
    auto [x0, y0] = point(i);
    auto [x1, y1] = point(i + 1);
    o.Add({x0, y0, (y1 - y0) * 0.2f, (x0 - x1) * 0.2f, x1, y1, (y1 - y0) * 0.2f, (x0 - x1) * 0.2f});
  }
  // A circle from four arcs.
  const float k = 0.5523f * r1 * 0.5f, r = r1 * 0.5f;
  o.Add({cx + r, cy, 0, k, cx, cy + r, k, 0});
  o.Add({cx, cy + r, -k, 0, cx - r, cy, 0, k});
  o.Add({cx - r, cy, 0, -k, cx, cy - r, -k, 0});
  o.Add({cx, cy - r, k, 0, cx + r, cy, 0, -k});
  return o;
}

TEST(ShapeBands, SameBytesForAnyThreadCount) {
  const ShapeOutline star = Star(250, 170.3f, 120.7f, 150.f, 60.f);
  const int32_t w = 333, h = 251;
  std::vector<uint8_t> first;
  for (int32_t threads : {1, 2, 3, 8}) {
    SCOPED_TRACE(threads);
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 13);
    const ImageView view{pixels.data(), w * 4, w, h};
    ASSERT_EQ(FillOutline(star, view, -7, 3, 0xC0306090u, BandRunner{nullptr, nullptr, threads}),
              KernelStatus::kOk);
    if (first.empty()) {
      first = pixels;
      size_t partial = 0;
      for (size_t i = 3; i < pixels.size(); i += 4) partial += pixels[i] != 0 && pixels[i] != 0xC0;
      EXPECT_GT(partial, 1000u);  // a real anti-aliased picture, not an empty one
    } else {
      EXPECT_EQ(pixels, first);
    }
  }
}

TEST(ShapeBands, CrossingsDoNotDependOnTheThreadCount) {
  const ShapeOutline star = Star(400, 500.f, 500.f, 480.f, 200.f);
  const LineCrossings one = CrossLines(star.columns, 0, 1001, BandRunner{nullptr, nullptr, 1});
  for (int32_t threads : {2, 4, 7}) {
    const LineCrossings many = CrossLines(star.columns, 0, 1001, BandRunner{nullptr, nullptr, threads});
    EXPECT_EQ(many.above.offset, one.above.offset);
    EXPECT_EQ(many.above.value, one.above.value);
    EXPECT_EQ(many.below.value, one.below.value);
  }
  EXPECT_GT(one.above.value.size(), 4000u);
}

}  // namespace
}  // namespace lumetra::effects
