// Fill Shape, Fill Shape with Drop Shadow, Matte and the shape filler's entry points,
// through their make functions and the fake host.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "anim/keyfloat.h"
#include "effect_blocks.h"
#include "effect_table.h"
#include "effects/fake_host.h"
#include "geometry/geo_fixture.h"
#include "geometry/geo_ops.h"
#include "shape_fill.h"

namespace effects_test {
namespace {

using effects::FillShapeData;
using effects::FillShapeDropShadowData;
using effects::MatteData;

const effects::EffectDef& Effect(const std::string& signature) {
  for (const effects::LibraryRecord& r : effects::LibraryRecords()) {
    if (r.effect != nullptr && signature == r.effect->signature) return *r.effect;
  }
  ADD_FAILURE() << "no effect " << signature;
  return *effects::LibraryRecords()[0].effect;
}

constexpr const char* kFill = "Fill Shape 1.0 ZOLT Standard";
constexpr const char* kFillShadow = "Fill Shape/Drop Shadow 1.0 ZOLT Standard";
constexpr const char* kMatte = "Matte 1.0 ZOLT Standard";

FakeShape Box(float x0, float y0, float x1, float y1) {
  FakeShape s;
  const float p[5][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
  for (int i = 0; i < 4; ++i) s.segments.push_back({p[i][0], p[i][1], 0, 0, p[i + 1][0], p[i + 1][1], 0, 0});
  return s;
}

class FillEffects : public ::testing::Test {
 protected:
  void SetUp() override {
    effects::HostApiCopy(&host.table);
    host.ctx.word[HCC_WORD_KIND] = HCC_KIND_RENDER;
    host.image_width = 12;
    host.image_height = 8;
  }
  void TearDown() override {
    for (KeyfloatKey* c : curves_) lumetra::anim::KeyfloatFree(c);
    for (PIC* p : pics_) FakeHost::FreePic(p);
  }

  KeyfloatKey* Curve(float x, float y = 0.f, float z = 0.f, int8_t components = 1) {
    KeyfloatKey* c = nullptr;
    lumetra::anim::KeyfloatKeySet(&c, 0.5f, components, x, y, z);
    curves_.push_back(c);
    return c;
  }
  KeyfloatKey* Colour(float r, float g, float b) { return Curve(r, g, b, 3); }

  // A shape handle of the fake host.
  LumetraGeometry Shape(FakeShape s) {
    auto g = reinterpret_cast<LumetraGeometry>(&handles_[next_handle_++]);
    host.shapes[g] = std::move(s);
    return g;
  }
  static LumetraObject Obj(LumetraGeometry g) { return reinterpret_cast<LumetraObject>(g); }

  PIC* Own(PIC* p) {
    if (p != nullptr) pics_.push_back(p);
    return p;
  }
  PIC* Make(const char* signature, void* data, float t = 0.5f) {
    return Own(Effect(signature).make(&host.ctx, data, 0.f, 1.f, t));
  }
  // An input frame of the frame size with varied colours and alpha 200.
  PIC* Input() {
    PIC* in = Own(FakeHost::MakePic(host.image_width, host.image_height));
    for (int i = 0; i < host.image_width * host.image_height; ++i) {
      in->pixels[4 * i] = static_cast<uint8_t>(i * 5);
      in->pixels[4 * i + 1] = static_cast<uint8_t>(i * 11 + 3);
      in->pixels[4 * i + 2] = static_cast<uint8_t>(200 - i);
      in->pixels[4 * i + 3] = 200;
    }
    return in;
  }

  FakeHost host;

 private:
  std::vector<KeyfloatKey*> curves_;
  std::vector<PIC*> pics_;
  int handles_[16] = {};
  int next_handle_ = 0;
};

const uint8_t* Px(const PIC* p, int x, int y) { return p->pixels + (static_cast<size_t>(y) * p->width + x) * 4; }
std::vector<uint8_t> Bytes(const PIC* p) {
  return {p->pixels, p->pixels + static_cast<size_t>(p->width) * p->height * 4};
}

TEST_F(FillEffects, FillerRefusesMissingArgumentsIntoASizedBuffer) {
  PIC* pic = Own(FakeHost::MakePic(4, 4));
  const LumetraGeometry box = Shape(Box(0, 0, 2, 2));
  char error[5] = "xxxx";
  EXPECT_EQ(effects::FillShape(&host.ctx, error, sizeof error, nullptr, box, 0.f, 0u), 0);
  EXPECT_STREQ(error, "Ille");  // "Illegal parameter(s)" cut to the buffer
  EXPECT_EQ(effects::FillShape(&host.ctx, error, sizeof error, pic, nullptr, 0.f, 0u), 0);
  EXPECT_EQ(effects::FillShape(&host.ctx, nullptr, 0, pic, box, 0.f, 0u), 0);
  char room[64];
  EXPECT_EQ(effects::FillShapeXYOffset(&host.ctx, room, sizeof room, pic, nullptr, 0.f, 0u, 1.f, 1.f), 0);
  EXPECT_STREQ(room, "Illegal parameter(s)");
  EXPECT_EQ(effects::FillShape(&host.ctx, room, sizeof room, pic, box, 0.f, 0xFFFFFFFFu), 1);
  EXPECT_STREQ(room, "");
  EXPECT_EQ(Px(pic, 1, 1)[3], 255);
  EXPECT_EQ(Px(pic, 2, 2)[3], 0);
}

TEST_F(FillEffects, PointInShapeThroughTheHost) {
  const LumetraGeometry box = Shape(Box(-3, -2, 4, 5));
  EXPECT_EQ(effects::PointInShape(&host.ctx, box, 0.f, 0.f, 0.f), 1);
  EXPECT_EQ(effects::PointInShape(&host.ctx, box, -2.5f, -1.5f, 0.f), 1);
  EXPECT_EQ(effects::PointInShape(&host.ctx, box, 5.f, 0.f, 0.f), 0);
  EXPECT_EQ(effects::PointInShape(&host.ctx, box, 0.f, -2.5f, 0.f), 0);
  EXPECT_EQ(effects::PointInShape(&host.ctx, nullptr, 0.f, 0.f, 0.f), 0);
  EXPECT_EQ(host.last_error, "Illegal parameter");
}

TEST_F(FillEffects, FillShapeInsideTakesTheColourOutsideIsEmpty) {
  FillShapeData d{};
  d.Geo = Obj(Shape(Box(2, 1, 6, 4)));
  d.clr = Colour(1.f, 0.5f, 0.f);
  d.a = Curve(1.f);
  PIC* out = Make(kFill, &d);
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(out->width, 12);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 12; ++x) {
      const bool in = x >= 2 && x < 6 && y >= 1 && y < 4;
      const std::vector<uint8_t> want = in ? std::vector<uint8_t>{0, 127, 255, 255}
                                           : std::vector<uint8_t>{0, 0, 0, 0};
      EXPECT_EQ(std::vector<uint8_t>(Px(out, x, y), Px(out, x, y) + 4), want) << x << "," << y;
    }
  }
  // Opacity scales the colour, not the coverage.
  d.a = Curve(0.5f);
  PIC* half = Make(kFill, &d);
  ASSERT_NE(half, nullptr);
  EXPECT_EQ(Px(half, 3, 2)[2], 127 * 255 / 255);
  EXPECT_EQ(Px(half, 3, 2)[3], 255);
}

TEST_F(FillEffects, WithoutGeometryOrInputTheFrameIsZeros) {
  FillShapeData f{};
  f.clr = Colour(1.f, 1.f, 1.f);
  f.a = Curve(1.f);
  FillShapeDropShadowData s{};
  s.clr = f.clr;
  s.a = f.a;
  s.sa = Curve(1.f);
  s.sclr = f.clr;
  for (auto [signature, data] : {std::pair<const char*, void*>{kFill, &f}, {kFillShadow, &s},
                                 {kMatte, nullptr}}) {
    SCOPED_TRACE(signature);
    PIC* out = Make(signature, data);
    ASSERT_NE(out, nullptr);
    for (uint8_t b : Bytes(out)) ASSERT_EQ(b, 0);
  }
}

TEST_F(FillEffects, OpenContourGivesAlphaZeroAndKeepsTheColours) {
  lumetra::geometry::GeometryList list;
  host.geometries = &list;
  lumetra::geometry::Geometry* open = lumetra::geometry::test::AddContour(
      list, "Open", {{0.1f, 0.1f}, {0.5f, 0.1f}, {0.5f, 0.5f}, {0.1f, 0.5f}}, false);
  PIC* in = Input();
  host.input0 = in;
  FillShapeData d{};
  d.Geo = reinterpret_cast<LumetraObject>(open);
  d.clr = Colour(1.f, 0.f, 0.f);
  d.a = Curve(1.f);
  PIC* out = Make(kFill, &d);
  ASSERT_NE(out, nullptr);
  for (int i = 0; i < 12 * 8; ++i) {
    ASSERT_EQ(out->pixels[4 * i + 3], 0) << i;
    for (int c = 0; c < 3; ++c) ASSERT_EQ(out->pixels[4 * i + c], in->pixels[4 * i + c]) << i;
  }
  // The same contour closed is filled.
  open->Contour()->flags = 1;
  PIC* closed = Make(kFill, &d);
  ASSERT_NE(closed, nullptr);
  EXPECT_EQ(Px(closed, 3, 3)[3], 255);
  EXPECT_EQ(Px(closed, 3, 3)[2], 255);
}

TEST_F(FillEffects, CombineCancelsOverlapsUnionAddsThem) {
  FakeShape group;
  group.members = {Shape(Box(1, 1, 6, 5)), Shape(Box(4, 2, 9, 7))};
  FillShapeData d{};
  d.Geo = Obj(Shape(group));
  d.clr = Colour(0.f, 1.f, 0.f);
  d.a = Curve(1.f);
  d.flags = 0;  // Combine
  PIC* combine = Make(kFill, &d);
  d.flags = 1;  // Union
  PIC* unite = Make(kFill, &d);
  ASSERT_NE(combine, nullptr);
  ASSERT_NE(unite, nullptr);
  struct Case {
    int x, y, combine, unite;
  } cases[] = {{2, 2, 255, 255}, {7, 5, 255, 255}, {4, 3, 0, 255}, {5, 4, 0, 255},
               {0, 0, 0, 0},     {10, 7, 0, 0},    {7, 1, 0, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(Px(combine, c.x, c.y)[3], c.combine) << c.x << "," << c.y;
    EXPECT_EQ(Px(unite, c.x, c.y)[3], c.unite) << c.x << "," << c.y;
    EXPECT_EQ(Px(unite, c.x, c.y)[1], c.unite) << c.x << "," << c.y;  // green, full where covered
  }
}

TEST_F(FillEffects, ShadowOfOpacityZeroRendersFillShapeExactly) {
  const LumetraGeometry box = Shape(Box(2.3f, 1.5f, 8.8f, 6.2f));
  FakeShape group;
  group.members = {Shape(Box(1, 1, 6, 5)), Shape(Box(4, 2, 9, 7))};
  const LumetraGeometry pair = Shape(group);
  PIC* in = Input();
  for (bool with_input : {false, true}) {
    for (int32_t mode : {0, 1}) {
      for (float blur : {0.f, 0.1f}) {
        SCOPED_TRACE(testing::Message() << with_input << " " << mode << " " << blur);
        host.input0 = with_input ? in : nullptr;
        FillShapeData f{};
        f.Geo = Obj(mode == 0 ? box : pair);
        f.clr = Colour(0.2f, 0.6f, 0.9f);
        f.a = Curve(0.7f);
        f.blur = Curve(blur);
        f.flags = mode;
        FillShapeDropShadowData s{};
        s.Geo = f.Geo;
        s.clr = f.clr;
        s.a = f.a;
        s.blur = f.blur;
        s.flags = mode | 4;
        s.sx = Curve(0.9f);
        s.sclr = Colour(1.f, 0.f, 0.f);
        s.sa = Curve(0.f);
        PIC* a = Make(kFill, &f);
        PIC* b = Make(kFillShadow, &s);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(Bytes(a), Bytes(b));
      }
    }
  }
}

TEST_F(FillEffects, ShadowFallsAtItsOffsetUnderTheShape) {
  host.image_width = 20;  // offsets are tenths of the width: sx 1.0 moves 2 pixels
  FillShapeDropShadowData s{};
  s.Geo = Obj(Shape(Box(2, 1, 6, 4)));
  s.clr = Colour(1.f, 0.f, 0.f);
  s.a = Curve(1.f);
  s.sx = Curve(1.f);
  s.sy = Curve(0.5f);
  s.sclr = Colour(0.f, 0.f, 1.f);
  s.sa = Curve(1.f);
  PIC* out = Make(kFillShadow, &s);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(Px(out, 3, 2), Px(out, 3, 2) + 4), (std::vector<uint8_t>{0, 0, 255, 255}));
  // Beside the shape, where only the shadow is: its colour, alpha of the shape (none).
  EXPECT_EQ(std::vector<uint8_t>(Px(out, 7, 2), Px(out, 7, 2) + 4), (std::vector<uint8_t>{255, 0, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(Px(out, 1, 2), Px(out, 1, 2) + 4), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST_F(FillEffects, AbortMidFrameLeaksNothing) {
  host.input0 = Input();
  FillShapeDropShadowData s{};
  s.Geo = Obj(Shape(Box(2.5f, 1.5f, 9, 6)));
  s.clr = Colour(1.f, 0.f, 0.f);
  s.a = Curve(1.f);
  s.blur = Curve(0.1f);
  s.sx = Curve(0.8f);
  s.sclr = Colour(0.f, 0.f, 1.f);
  s.sa = Curve(0.6f);
  s.sblur = Curve(0.2f);
  FillShapeData f{};
  f.Geo = s.Geo;
  f.clr = s.clr;
  f.a = s.a;
  f.blur = s.blur;
  for (auto [signature, data] : {std::pair<const char*, void*>{kFill, &f}, {kFillShadow, &s}}) {
    SCOPED_TRACE(signature);
    host.check_aborts = 0;
    host.abort_after_checks = -1;
    ASSERT_NE(Make(signature, data), nullptr);
    const int checks = host.check_aborts;
    ASSERT_GT(checks, (12 + 1) + (8 + 1));  // the fill's lines, then the blur
    for (int at = 1; at <= checks; ++at) {
      host.pic_creates = host.pic_frees = host.check_aborts = 0;
      host.abort_after_checks = at;
      EXPECT_EQ(Effect(signature).make(&host.ctx, data, 0.f, 1.f, 0.5f), nullptr) << at;
      EXPECT_EQ(host.pic_creates, host.pic_frees) << at;
    }
  }
}

TEST_F(FillEffects, RotatedScaledParentedContourFillsWhereItsOutlineIs) {
  namespace geo = lumetra::geometry;
  host.image_width = 64;
  host.image_height = 48;
  geo::GeometryList list;
  host.geometries = &list;
  geo::Geometry* parent = geo::test::Add(list, geo::kGeoGroup, "Parent", 0.5f, 0.35f);
  geo::Geometry* quad = geo::test::AddContour(
      list, "Quad", {{0.35f, 0.25f}, {0.65f, 0.25f}, {0.65f, 0.45f}, {0.35f, 0.45f}}, true);
  ASSERT_EQ(geo::GeoLink(parent, quad, 0.f), geo::GeoLinkResult::kLinked);
  lumetra::anim::KeyfloatKeySet(&parent->rotation, 0.f, 1, 30.f, 0.f, 0.f);
  lumetra::anim::KeyfloatKeySet(&parent->scale, 0.f, 2, 1.4f, 0.7f, 0.f);
  geo::GeoEvaluateAll(list, 0.f);
  // The corners as the geometry module places them, in pixels (square pixels: y x W).
  std::vector<std::pair<double, double>> corners;
  for (geo::Geometry* g = list.First(); g != nullptr; g = g->next) {
    if (g->kind != geo::kGeoVertex) continue;
    const auto [x, y] = geo::test::World(g);
    corners.emplace_back(x * 64.0, y * 64.0);
  }
  ASSERT_EQ(corners.size(), 4u);
  // Signed distance of a point to the convex quad (positive inside).
  auto inside_by = [&](double px, double py) {
    double area = 0, d = 1e9;
    for (size_t i = 0; i < 4; ++i) {
      const auto [ax, ay] = corners[i];
      const auto [bx, by] = corners[(i + 1) % 4];
      area += ax * by - bx * ay;
    }
    for (size_t i = 0; i < 4; ++i) {
      const auto [ax, ay] = corners[i];
      const auto [bx, by] = corners[(i + 1) % 4];
      const double cross = (bx - ax) * (py - ay) - (by - ay) * (px - ax);
      d = std::min(d, (area > 0 ? cross : -cross) / std::hypot(bx - ax, by - ay));
    }
    return d;
  };
  // Not an axis-aligned box any more: the rotation is there.
  EXPECT_GT(std::fabs(corners[0].second - corners[1].second), 3.0);
  FillShapeData d{};
  d.Geo = reinterpret_cast<LumetraObject>(quad);
  d.clr = Colour(1.f, 1.f, 1.f);
  d.a = Curve(1.f);
  PIC* out = Make(kFill, &d, 0.f);
  ASSERT_NE(out, nullptr);
  int in = 0, outside = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      const double m = inside_by(x + 0.5, y + 0.5);
      if (m > 0.75) {
        EXPECT_EQ(Px(out, x, y)[3], 255) << x << "," << y;
        ++in;
      } else if (m < -0.75) {
        EXPECT_EQ(Px(out, x, y)[3], 0) << x << "," << y;
        ++outside;
      }
    }
  }
  EXPECT_GT(in, 100);
  EXPECT_GT(outside, 1000);
}

TEST_F(FillEffects, MatteCoversTheBoundingBoxOnly) {
  MatteData d{};
  d.Geo = Obj(Shape(Box(2.5f, 1.2f, 6.f, 4.f)));
  d.clr = Colour(1.f, 0.f, 0.5f);
  d.a = Curve(0.5f);
  PIC* out = Make(kMatte, &d);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->x, 2);
  EXPECT_EQ(out->y, 1);
  EXPECT_EQ(out->width, 4);
  EXPECT_EQ(out->height, 3);
  for (int i = 0; i < 4 * 3; ++i) {
    EXPECT_EQ(std::vector<uint8_t>(out->pixels + 4 * i, out->pixels + 4 * i + 4),
              (std::vector<uint8_t>{127, 0, 255, 127}));
  }
  // A box at negative coordinates starts at the pixel that holds its corner.
  d.Geo = Obj(Shape(Box(-3.5f, -0.5f, -1.f, 2.f)));
  PIC* neg = Make(kMatte, &d);
  ASSERT_NE(neg, nullptr);
  EXPECT_EQ(neg->x, -4);
  EXPECT_EQ(neg->y, -1);
  EXPECT_EQ(neg->width, 3);
  EXPECT_EQ(neg->height, 3);
  // Without a geometry: the whole frame.
  d.Geo = nullptr;
  PIC* frame = Make(kMatte, &d);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->width, 12);
  EXPECT_EQ(frame->height, 8);
  EXPECT_EQ(frame->pixels[4 * 95 + 2], 255);
}

}  // namespace
}  // namespace effects_test
