// The shape raster: split parameters, half-open crossings, the coverage rules and fills of
// small shapes checked pixel by pixel.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "shape_raster.h"

namespace lumetra::effects {
namespace {

// A polygon of straight segments.
ShapeOutline Polygon(const std::vector<std::pair<float, float>>& p, bool closed = true) {
  ShapeOutline o;
  const size_t n = closed ? p.size() : p.size() - 1;
  for (size_t i = 0; i < n; ++i) {
    const auto [x0, y0] = p[i];
    const auto [x1, y1] = p[(i + 1) % p.size()];
    o.Add({x0, y0, 0.f, 0.f, x1, y1, 0.f, 0.f});
  }
  return o;
}

ShapeOutline Box(float x0, float y0, float x1, float y1) {
  return Polygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

struct Picture {
  int32_t w, h;
  std::vector<uint8_t> px;
  Picture(int32_t width, int32_t height, uint8_t fill = 0)
      : w(width), h(height), px(static_cast<size_t>(width) * height * 4, fill) {}
  ImageView View() { return {px.data(), w * 4, w, h}; }
  uint8_t Alpha(int32_t x, int32_t y) const { return px[(static_cast<size_t>(y) * w + x) * 4 + 3]; }
  const uint8_t* At(int32_t x, int32_t y) const { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
};

// Expected alphas of a picture, top row of the table = top row of the picture.
void ExpectAlphas(const Picture& p, const std::vector<std::vector<int>>& rows_top_down) {
  ASSERT_EQ(static_cast<int32_t>(rows_top_down.size()), p.h);
  for (int32_t y = 0; y < p.h; ++y) {
    const auto& row = rows_top_down[static_cast<size_t>(p.h - 1 - y)];
    for (int32_t x = 0; x < p.w; ++x) {
      EXPECT_EQ(p.Alpha(x, y), row[static_cast<size_t>(x)]) << "pixel " << x << "," << y;
    }
  }
}

TEST(SplitParameters, ExtremaInsideTheSegmentAscending) {
  struct Case {
    float a, b, c, s1, s2;
  } cases[] = {
      {0.f, -3.f, 3.f, 0.5f, -1.f},       // a == 0: the quadratic's extremum -c / 2b
      {0.f, 0.f, 3.f, -1.f, -1.f},        // a line: none
      {0.f, 3.f, 3.f, -1.f, -1.f},        // extremum at -0.5: outside
      {4.f, -6.f, 1.5f, 0.5f - 0.3535534f, 0.5f + 0.3535534f},  // two, ascending
      {-4.f, 6.f, -1.5f, 0.5f - 0.3535534f, 0.5f + 0.3535534f}, // a < 0: still ascending
      {1.f, 0.f, 1.f, -1.f, -1.f},        // no real root
      {1.f, -1.5f, 0.75f, 0.5f, -1.f},    // double root: one
      {1.f, -3.f, 3.f, -1.f, -1.f},       // double root at t = 1: not below 1
  };
  for (const Case& c : cases) {
    float s1, s2;
    SplitParameters(c.a, c.b, c.c, &s1, &s2);
    EXPECT_NEAR(s1, c.s1, 1e-5f) << c.a << " " << c.b << " " << c.c;
    EXPECT_NEAR(s2, c.s2, 1e-5f) << c.a << " " << c.b << " " << c.c;
  }
}

std::vector<float> Values(const CrossingList& c, int32_t i) { return {c.Begin(i), c.End(i)}; }

TEST(CrossLines, AVertexOnALineCountsOnceAndFlatPiecesNever) {
  const ShapeOutline box = Box(10.f, 10.f, 20.f, 20.f);
  const LineCrossings rows = CrossLines(box.rows, 8, 15, {});
  ASSERT_EQ(rows.count, 15);
  const std::vector<float> sides{10.f, 20.f};
  for (int32_t i = 0; i < rows.count; ++i) {
    const int32_t line = 8 + i;
    // Just above the bottom line and just below the top line the box is there.
    EXPECT_EQ(Values(rows.above, i), line >= 10 && line < 20 ? sides : std::vector<float>{}) << line;
    EXPECT_EQ(Values(rows.below, i), line > 10 && line <= 20 ? sides : std::vector<float>{}) << line;
  }
  // A diamond whose side vertices sit on line 5, each where a rising piece ends and the
  // next begins: one crossing each, from both sides.
  const ShapeOutline diamond = Polygon({{5.f, 0.f}, {10.f, 5.f}, {5.f, 10.f}, {0.f, 5.f}});
  const LineCrossings mid = CrossLines(diamond.rows, 5, 1, {});
  EXPECT_EQ(Values(mid.above, 0), (std::vector<float>{0.f, 10.f}));
  EXPECT_EQ(Values(mid.below, 0), (std::vector<float>{0.f, 10.f}));
  // Its top vertex on line 10 is an extremum: nothing above, a pair of equal values below.
  const LineCrossings top = CrossLines(diamond.rows, 10, 1, {});
  EXPECT_TRUE(Values(top.above, 0).empty());
  EXPECT_EQ(Values(top.below, 0), (std::vector<float>{5.f, 5.f}));
}

TEST(CrossLines, CurvedSegmentCrossesWhereItsCubicIs) {
  // A half circle-like arch from (0, 0) to (10, 0) rising to y = 7.5 at t = 0.5.
  ShapeOutline arch;
  arch.Add({0.f, 0.f, 0.f, 10.f, 10.f, 0.f, 0.f, 10.f});
  ASSERT_GE(arch.rows[0].s1, 0.f);
  EXPECT_NEAR(arch.rows[0].s1, 0.5f, 1e-6f);
  const LineCrossings c = CrossLines(arch.rows, 3, 1, {});
  ASSERT_EQ(c.above.End(0) - c.above.Begin(0), 2);
  for (const float* v = c.above.Begin(0); v != c.above.End(0); ++v) {
    // Solve y(t) = 3 on the bezier and compare the x found.
    const float x = *v;
    double lo = x < 5.f ? 0.0 : 0.5, hi = x < 5.f ? 0.5 : 1.0;
    for (int k = 0; k < 60; ++k) {
      const double t = (lo + hi) / 2, y = 30.0 * t * (1 - t);
      ((y < 3.0) == (x < 5.f) ? lo : hi) = t;
    }
    const double t = lo, bx = 10.0 * t * t * (3 - 2 * t);
    EXPECT_NEAR(x, bx, 2e-3);
  }
}

TEST(EdgeCoverage, IntegerRules) {
  struct Case {
    uint32_t b, t, l, r;
    int v;
  } cases[] = {
      {255, 255, 255, 255, 255}, {0, 0, 0, 0, 0},       {127, 127, 0, 255, 127},
      {255, 0, 100, 50, 75},     {255, 128, 100, 9, 217}, {255, 128, 255, 100, 217},
      {100, 0, 50, 7, 9},        {100, 0, 0, 200, 39},  {100, 255, 55, 9, 195},
      {100, 255, 255, 55, 195},  {0, 255, 10, 30, 20},  {0, 100, 50, 9, 9},
      {0, 100, 0, 60, 11},       {100, 60, 3, 4, 80},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EdgeCoverage(c.b, c.t, c.l, c.r), c.v) << c.b << " " << c.t << " " << c.l << " " << c.r;
  }
}

TEST(FillOutline, InsideIs255OutsideIs0) {
  Picture p(8, 6);
  ASSERT_EQ(FillOutline(Box(2.f, 1.f, 6.f, 4.f), p.View(), 0, 0, 0xFF0000FFu, {}), KernelStatus::kOk);
  ExpectAlphas(p, {{0, 0, 0, 0, 0, 0, 0, 0},
                   {0, 0, 0, 0, 0, 0, 0, 0},
                   {0, 0, 255, 255, 255, 255, 0, 0},
                   {0, 0, 255, 255, 255, 255, 0, 0},
                   {0, 0, 255, 255, 255, 255, 0, 0},
                   {0, 0, 0, 0, 0, 0, 0, 0}});
  // Covered pixels take the colour; the others keep theirs.
  EXPECT_EQ(p.At(3, 2)[0], 255);
  EXPECT_EQ(p.At(3, 2)[2], 0);
}

TEST(FillOutline, EdgeThroughTheMiddleOfAPixel) {
  Picture p(8, 5, 100);
  ASSERT_EQ(FillOutline(Box(2.5f, 1.f, 6.f, 4.f), p.View(), 0, 0, 0xFF0000C8u, {}), KernelStatus::kOk);
  ExpectAlphas(p, {{0, 0, 0, 0, 0, 0, 0, 0},
                   {0, 0, 127, 255, 255, 255, 0, 0},
                   {0, 0, 127, 255, 255, 255, 0, 0},
                   {0, 0, 127, 255, 255, 255, 0, 0},
                   {0, 0, 0, 0, 0, 0, 0, 0}});
  // Half covered: each colour byte blends as (c (255 - a) + C a) / 255.
  EXPECT_EQ(p.At(2, 2)[0], (100 * 128 + 200 * 127) / 255);
  EXPECT_EQ(p.At(2, 2)[1], 100 * 128 / 255);
  EXPECT_EQ(p.At(0, 0)[0], 100);  // outside: colour kept, alpha 0
  EXPECT_EQ(p.Alpha(0, 0), 0);
}

TEST(FillOutline, ColourAlphaScalesTheCoverage) {
  Picture p(4, 3);
  ASSERT_EQ(FillOutline(Box(1.5f, 0.f, 4.f, 3.f), p.View(), 0, 0, 0x80FFFFFFu, {}), KernelStatus::kOk);
  EXPECT_EQ(p.Alpha(2, 1), 128);
  EXPECT_EQ(p.Alpha(1, 1), 128 * 127 / 255);
}

TEST(FillOutline, ShapePartlyOutsideAndAtNegativeCoordinates) {
  // The picture sits at (-4, -3); the box covers x -3.5 .. 2, y -2 .. 3.
  Picture p(8, 7);
  ASSERT_EQ(FillOutline(Box(-3.5f, -2.f, 2.f, 3.f), p.View(), -4, -3, 0xFFFFFFFFu, {}),
            KernelStatus::kOk);
  ExpectAlphas(p, {{0, 0, 0, 0, 0, 0, 0, 0},
                   {127, 255, 255, 255, 255, 255, 0, 0},
                   {127, 255, 255, 255, 255, 255, 0, 0},
                   {127, 255, 255, 255, 255, 255, 0, 0},
                   {127, 255, 255, 255, 255, 255, 0, 0},
                   {127, 255, 255, 255, 255, 255, 0, 0},
                   {0, 0, 0, 0, 0, 0, 0, 0}});
  // A picture beside the shape gets none of it; one inside it all of it.
  Picture q(5, 4);
  ASSERT_EQ(FillOutline(Box(-50.f, -60.f, 70.f, 80.f), q.View(), 70, 20, 0xFFFFFFFFu, {}),
            KernelStatus::kOk);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(q.Alpha(x, y), 0) << x << "," << y;
  }
  ASSERT_EQ(FillOutline(Box(-50.f, -60.f, 70.f, 80.f), q.View(), -3, 5, 0xFFFFFFFFu, {}),
            KernelStatus::kOk);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(q.Alpha(x, y), 255) << x << "," << y;
  }
}

TEST(FillOutline, SliversCoverTheirOwnWidth) {
  // A box 0.4 wide inside one pixel column, and two boxes sharing one pixel column.
  Picture p(6, 2);
  ShapeOutline o = Box(1.2f, 0.f, 1.6f, 2.f);
  for (const ShapeOutline& b : {Box(3.f, 0.f, 4.25f, 2.f), Box(4.75f, 0.f, 6.f, 2.f)}) {
    o.rows.insert(o.rows.end(), b.rows.begin(), b.rows.end());
    o.columns.insert(o.columns.end(), b.columns.begin(), b.columns.end());
  }
  ASSERT_EQ(FillOutline(o, p.View(), 0, 0, 0xFFFFFFFFu, {}), KernelStatus::kOk);
  // Lower and upper samples of the width 0.4 (in float) and 63 + 63 (two quarters).
  const int sliver = static_cast<int>((1.6f - 1.2f) * 255.f);
  ExpectAlphas(p, {{0, sliver, 0, 255, 126, 255}, {0, sliver, 0, 255, 126, 255}});
}

TEST(FillOutline, UnpairedCrossingsAndOverlapsFollowEvenOdd) {
  // An open polyline crosses each line once: the unpaired crossing is ignored.
  Picture p(6, 6, 9);
  ASSERT_EQ(FillOutline(Polygon({{1.f, 0.f}, {4.f, 6.f}}, false), p.View(), 0, 0, 0xFFFFFFFFu, {}),
            KernelStatus::kOk);
  for (int32_t y = 0; y < 6; ++y) {
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(p.Alpha(x, y), 0);
  }
  // Two overlapping boxes in one outline cancel where they overlap.
  ShapeOutline two = Box(0.f, 0.f, 4.f, 2.f);
  const ShapeOutline b = Box(2.f, 0.f, 6.f, 2.f);
  two.rows.insert(two.rows.end(), b.rows.begin(), b.rows.end());
  two.columns.insert(two.columns.end(), b.columns.begin(), b.columns.end());
  Picture q(6, 2);
  ASSERT_EQ(FillOutline(two, q.View(), 0, 0, 0xFFFFFFFFu, {}), KernelStatus::kOk);
  ExpectAlphas(q, {{255, 255, 0, 0, 255, 255}, {255, 255, 0, 0, 255, 255}});
}

TEST(FillOutline, AbortStopsBetweenLines) {
  Picture p(8, 6);
  int asked = 0;
  struct Ctx {
    int* asked;
    int at;
  } c{&asked, 9};
  const AbortCheck abort{[](void* v, double) {
                           auto* k = static_cast<Ctx*>(v);
                           return ++*k->asked == k->at;
                         },
                         &c};
  EXPECT_EQ(FillOutline(Box(1.f, 1.f, 5.f, 5.f), p.View(), 0, 0, 0xFFFFFFFFu, {}, abort),
            KernelStatus::kAborted);
  EXPECT_EQ(asked, 9);
  c.at = -1;
  asked = 0;
  EXPECT_EQ(FillOutline(Box(1.f, 1.f, 5.f, 5.f), p.View(), 0, 0, 0xFFFFFFFFu, {}, abort),
            KernelStatus::kOk);
  EXPECT_EQ(asked, (6 + 1) + (8 + 1));  // once per row line and per column line
}

TEST(PointInOutline, EvenOddOnTheRowLineThroughY) {
  const ShapeOutline box = Box(-4.f, -4.f, 2.f, 3.f);
  struct Case {
    float x, y;
    bool in;
  } cases[] = {{0.f, 0.f, true},  {-3.9f, -3.5f, true}, {2.5f, 0.f, false}, {-5.f, 0.f, false},
               {0.f, 3.5f, false}, {0.f, -4.5f, false}, {-4.f, 1.f, true},  {0.f, -0.5f, true}};
  for (const Case& c : cases) EXPECT_EQ(PointInOutline(box, c.x, c.y), c.in) << c.x << "," << c.y;
  // An open polyline's single crossing is no inside.
  EXPECT_FALSE(PointInOutline(Polygon({{1.f, 0.f}, {1.f, 6.f}}, false), 3.f, 2.f));
}

}  // namespace
}  // namespace lumetra::effects
