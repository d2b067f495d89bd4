// The shape raster against the first, plain version of itself (full edge-sample planes):
// the same crossings and the same bytes over a table of shapes, places and colours.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "shape_raster.h"
#include "shape_raster_reference.h"

namespace lumetra::effects {
namespace {

using Points = std::vector<std::pair<float, float>>;

void AddPolygon(ShapeOutline* o, const Points& p, bool closed = true) {
  const size_t n = closed ? p.size() : p.size() - 1;
  for (size_t i = 0; i < n; ++i) {
    const auto [x0, y0] = p[i];
    const auto [x1, y1] = p[(i + 1) % p.size()];
    o->Add({x0, y0, 0.f, 0.f, x1, y1, 0.f, 0.f});
  }
}

ShapeOutline Polygon(const Points& p, bool closed = true) {
  ShapeOutline o;
  AddPolygon(&o, p, closed);
  return o;
}

Points BoxPoints(float x0, float y0, float x1, float y1) {
  return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

// A star of n points; `bulge` bends every edge outwards through its handles.
ShapeOutline Star(int n, float cx, float cy, float r0, float r1, float bulge) {
  ShapeOutline o;
  auto point = [&](int i) {
    const double a = 2.0 * M_PI * i / (2 * n);
    const double r = i % 2 == 0 ? r0 : r1;
    return std::pair<float, float>(static_cast<float>(cx + r * std::cos(a)),
                                   static_cast<float>(cy + r * std::sin(a)));
  };
  for (int i = 0; i < 2 * n; ++i) {
    const auto [x0, y0] = point(i);
    const auto [x1, y1] = point(i + 1);
    const float hx = (y1 - y0) * bulge, hy = (x0 - x1) * bulge;
    o.Add({x0, y0, hx, hy, x1, y1, hx, hy});
  }
  return o;
}

ShapeOutline Circle(float cx, float cy, float r) {
  ShapeOutline o;
  const float k = 0.5523f * r;
  o.Add({cx + r, cy, 0, k, cx, cy + r, k, 0});
  o.Add({cx, cy + r, -k, 0, cx - r, cy, 0, k});
  o.Add({cx - r, cy, 0, -k, cx, cy - r, -k, 0});
  o.Add({cx, cy - r, k, 0, cx + r, cy, 0, -k});
  return o;
}

ShapeOutline Joined(std::vector<ShapeOutline> parts) {
  ShapeOutline o;
  for (const ShapeOutline& p : parts) {
    o.rows.insert(o.rows.end(), p.rows.begin(), p.rows.end());
    o.columns.insert(o.columns.end(), p.columns.begin(), p.columns.end());
  }
  return o;
}

struct Case {
  std::string name;
  ShapeOutline outline;
  int32_t w, h, x, y;
  bool edge = true;  // some pixel is partly covered
};

std::vector<Case> Cases() {
  return {
      {"aligned square", Polygon(BoxPoints(10, 10, 20, 20)), 32, 28, 0, 0, false},
      {"unaligned square", Polygon(BoxPoints(3.3f, 2.7f, 17.6f, 12.2f)), 24, 16, 0, 0},
      {"square on the picture's edges", Polygon(BoxPoints(0, 0, 24, 16)), 24, 16, 0, 0, false},
      {"vertical sliver", Polygon(BoxPoints(5.2f, 1.f, 5.35f, 20.5f)), 12, 24, 0, 0},
      {"horizontal sliver", Polygon(BoxPoints(1.f, 7.45f, 30.f, 7.5f)), 32, 12, 0, 0, false},
      {"slanted sliver", Polygon({{2.f, 1.f}, {2.3f, 1.f}, {30.f, 20.3f}, {29.6f, 20.4f}}), 32, 24,
       0, 0},
      {"near-flat slope", Polygon({{0.5f, 3.1f}, {60.f, 3.9f}, {60.f, 9.f}, {0.5f, 9.f}}), 64, 12,
       0, 0},
      {"diamond on lines", Polygon({{8.f, 0.f}, {16.f, 8.f}, {8.f, 16.f}, {0.f, 8.f}}), 17, 17, 0,
       0},
      {"tiny triangle in one pixel", Polygon({{3.1f, 3.2f}, {3.8f, 3.3f}, {3.4f, 3.9f}}), 6, 6, 0,
       0, false},
      {"many-vertex star", Star(120, 60.3f, 50.7f, 55.f, 20.f, 0.f), 128, 104, 0, 0},
      // Edges closer than a pixel: several pairs meet in one pixel of a column line.
      {"dense star", Star(300, 24.3f, 24.1f, 21.f, 17.5f, 0.f), 48, 48, 0, 0},
      {"curved star with a hole",
       Joined({Star(40, 40.5f, 35.2f, 38.f, 15.f, 0.15f), Circle(40.5f, 35.2f, 9.f)}), 84, 72, 0,
       0},
      {"pentagram, self-intersecting",
       Polygon({{20.f, 2.f}, {31.7f, 37.f}, {1.9f, 15.4f}, {38.1f, 15.4f}, {8.3f, 37.f}}), 40, 40,
       0, 0},
      {"bow tie", Polygon({{2.f, 2.f}, {30.f, 20.f}, {30.f, 2.f}, {2.f, 20.f}}), 32, 22, 0, 0},
      {"even-odd overlap",
       Joined({Polygon(BoxPoints(2.5f, 2.f, 20.f, 14.5f)),
               Polygon(BoxPoints(10.f, 6.25f, 28.f, 20.f))}),
       30, 22, 0, 0},
      {"box inside a box",
       Joined({Polygon(BoxPoints(1.f, 1.f, 29.f, 21.f)),
               Polygon(BoxPoints(8.4f, 6.6f, 20.2f, 14.1f))}),
       30, 22, 0, 0},
      {"partly outside", Polygon(BoxPoints(-10.7f, 4.2f, 15.3f, 40.f)), 24, 20, 0, 0},
      {"larger than the picture", Circle(10.f, 10.f, 60.f), 20, 18, 0, 0, false},
      {"beside the picture", Polygon(BoxPoints(40.f, 40.f, 50.f, 50.f)), 16, 16, 0, 0, false},
      {"negative coordinates", Star(9, -3.4f, -2.2f, 14.f, 6.f, 0.1f), 40, 30, -21, -17},
      {"picture away from the origin", Circle(47.3f, 31.8f, 11.6f), 30, 26, 33, 19},
      {"open polyline", Polygon({{1.f, 0.f}, {10.f, 16.f}, {18.f, 3.f}}, false), 20, 18, 0, 0},
      {"single-column picture", Circle(5.5f, 5.f, 4.f), 1, 12, 5, 0},
      {"single-row picture", Circle(5.5f, 5.f, 4.f), 12, 1, 0, 5},
      // Past 2^24 a line's float is not its integer: more than one line can meet a vertex.
      {"beyond exact integers",
       Polygon({{16777216.f, 2.3f}, {16777230.f, 4.1f}, {16777226.f, 14.7f}, {16777208.f, 12.2f}}),
       32, 16, 16777200, 0},
  };
}

std::vector<uint8_t> Background(int32_t w, int32_t h) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
  uint32_t seed = 12345u;
  for (uint8_t& b : px) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(seed >> 24);
  }
  return px;
}

void ExpectSameList(const CrossingList& a, const CrossingList& b) {
  EXPECT_EQ(a.offset, b.offset);
  EXPECT_EQ(a.value, b.value);
}

TEST(ShapeFastPath, SameCrossingsAsThePlainVersion) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const LineCrossings plain_rows = reference::CrossLines(c.outline.rows, c.y, c.h + 1, {});
    const LineCrossings plain_cols = reference::CrossLines(c.outline.columns, c.x, c.w + 1, {});
    for (const CrossingLanes lanes :
         {CrossingLanes::kWidest, CrossingLanes::kAvx2, CrossingLanes::kSse2}) {
      SCOPED_TRACE("lanes " + std::to_string(static_cast<int>(lanes)));
      for (int32_t threads : {1, 3}) {
        const BandRunner bands{nullptr, nullptr, threads};
        const LineCrossings rows = CrossLines(c.outline.rows, c.y, c.h + 1, bands, lanes);
        ExpectSameList(rows.above, plain_rows.above);
        ExpectSameList(rows.below, plain_rows.below);
        const LineCrossings cols = CrossLines(c.outline.columns, c.x, c.w + 1, bands, lanes);
        ExpectSameList(cols.above, plain_cols.above);
        ExpectSameList(cols.below, plain_cols.below);
      }
    }
  }
}

TEST(ShapeFastPath, SameBytesAsThePlainVersion) {
  for (const Case& c : Cases()) {
    for (uint32_t colour : {0xFF3080C0u, 0x80FF2040u, 0x00FFFFFFu}) {
      SCOPED_TRACE(c.name + " colour " + std::to_string(colour));
      std::vector<uint8_t> fast = Background(c.w, c.h), plain = fast;
      const ImageView fv{fast.data(), c.w * 4, c.w, c.h}, pv{plain.data(), c.w * 4, c.w, c.h};
      ASSERT_EQ(FillOutline(c.outline, fv, c.x, c.y, colour, {}), KernelStatus::kOk);
      ASSERT_EQ(reference::FillOutline(c.outline, pv, c.x, c.y, colour, {}), KernelStatus::kOk);
      ASSERT_EQ(fast.size(), plain.size());
      size_t differ = 0, partial = 0;
      for (size_t i = 0; i < fast.size(); ++i) {
        differ += fast[i] != plain[i];
        if (i % 4 == 3) partial += plain[i] != 0 && plain[i] != (colour >> 24);
      }
      EXPECT_EQ(differ, 0u);
      // Not a vacuous match: the shapes with an edge inside a pixel draw it. (A sliver
      // between two row lines touches neither, so it draws nothing.)
      if (colour == 0xFF3080C0u) {
        EXPECT_EQ(partial > 0, c.edge);
      }
    }
  }
}

// Random outlines in small pictures: straight and curved segments, ends on lines and on
// half pixels, open chains, far and non-finite values; one thread and three. The table
// above names the cases; this sweeps what lies between them.
TEST(ShapeFastPath, RandomOutlinesGiveTheSameBytes) {
  uint32_t seed = 2024u;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  auto coordinate = [&](float lo, float hi) {
    const float v = lo + (hi - lo) * static_cast<float>(next() % 10000) / 10000.f;
    switch (next() % 8) {
      case 0:
        return std::floor(v);  // on a line
      case 1:
        return std::floor(v) + 0.5f;  // through a pixel's middle
      default:
        return v;
    }
  };
  int drawn = 0;  // cases with an edge inside some pixel
  for (int n = 0; n < 300; ++n) {
    const int32_t w = 1 + static_cast<int32_t>(next() % 40),
                  h = 1 + static_cast<int32_t>(next() % 40);
    const int32_t x = static_cast<int32_t>(next() % 41) - 20,
                  y = static_cast<int32_t>(next() % 41) - 20;
    ShapeOutline outline;
    const int segments = 1 + static_cast<int>(next() % 7);
    const bool curved = next() % 2 == 0, closed = next() % 4 != 0;
    std::vector<std::pair<float, float>> points;
    for (int i = 0; i < segments; ++i) {
      points.emplace_back(coordinate(x - 10.f, x + w + 10.f), coordinate(y - 10.f, y + h + 10.f));
    }
    if (next() % 16 == 0) points[next() % points.size()].first = 1e30f;
    if (next() % 16 == 0) points[next() % points.size()].second = std::nanf("");
    const size_t edges = closed ? points.size() : points.size() - 1;
    for (size_t i = 0; i < edges; ++i) {
      const auto [x0, y0] = points[i];
      const auto [x1, y1] = points[(i + 1) % points.size()];
      auto handle = [&] { return curved ? coordinate(-15.f, 15.f) : 0.f; };
      outline.Add({x0, y0, handle(), handle(), x1, y1, handle(), handle()});
    }
    const uint32_t colour = next() | (next() % 3 == 0 ? 0xFF000000u : 0u);
    SCOPED_TRACE("case " + std::to_string(n));
    std::vector<uint8_t> plain = Background(w, h);
    ASSERT_EQ(reference::FillOutline(outline, {plain.data(), w * 4, w, h}, x, y, colour, {}),
              KernelStatus::kOk);
    std::vector<uint8_t> white(plain.size(), 0);
    reference::FillOutline(outline, {white.data(), w * 4, w, h}, x, y, 0xFFFFFFFFu, {});
    for (size_t i = 3; i < white.size(); i += 4) {
      if (white[i] != 0 && white[i] != 255) {
        ++drawn;
        break;
      }
    }
    for (int32_t threads : {1, 3}) {
      std::vector<uint8_t> fast = Background(w, h);
      const BandRunner bands{nullptr, nullptr, threads};
      ASSERT_EQ(FillOutline(outline, {fast.data(), w * 4, w, h}, x, y, colour, bands),
                KernelStatus::kOk);
      ASSERT_EQ(fast, plain) << "threads " << threads;
    }
  }
  EXPECT_GT(drawn, 150);
}

}  // namespace
}  // namespace lumetra::effects
