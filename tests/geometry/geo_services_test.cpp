// Outline curves, bounding boxes, distances and group members in clip pixels.
#include "geometry/geo_services.h"

#include <vector>

#include "geo_fixture.h"

namespace lumetra::geometry::test {
namespace {

struct Segment {
  float x0, y0, vx, vy, x1, y1, wx, wy;
};

int Collect(intptr_t user, float x0, float y0, float vx, float vy, float x1, float y1, float wx,
            float wy) {
  reinterpret_cast<std::vector<Segment>*>(user)->push_back({x0, y0, vx, vy, x1, y1, wx, wy});
  return 1;
}

int StopAfterOne(intptr_t user, float, float, float, float, float, float, float, float) {
  ++*reinterpret_cast<int*>(user);
  return 7;
}

class GeoServices : public ::testing::Test {
 protected:
  GeometryList list;
  // 200 x 100 picture with square pixels: A = 0.5, y scales by 200 as x does.
  GeoFrame frame = GeoFrameFor(&list, 200, 100, 1.f);
  std::vector<std::pair<float, float>> square{
      {0.1f, 0.1f}, {0.4f, 0.1f}, {0.4f, 0.3f}, {0.1f, 0.3f}};
};

TEST_F(GeoServices, OpenAndClosedContourCurves) {
  struct Case {
    bool closed;
    bool closed_only;
    std::size_t segments;
  };
  for (Case k :
       {Case{false, false, 3}, Case{true, false, 4}, Case{false, true, 0}, Case{true, true, 4}}) {
    Geometry* c = AddContour(list, k.closed ? "Closed" : "Open", square, k.closed);
    std::vector<Segment> got;
    EXPECT_EQ(GeoGetCurves(frame, c, 0.f, k.closed_only, reinterpret_cast<intptr_t>(&got), Collect),
              1);
    ASSERT_EQ(got.size(), k.segments);
    if (!got.empty()) {
      EXPECT_FLOAT_EQ(got[0].x0, 20.f);
      EXPECT_FLOAT_EQ(got[0].y0, 20.f);
      EXPECT_FLOAT_EQ(got[0].x1, 80.f);
      EXPECT_FLOAT_EQ(got[0].y1, 20.f);
      EXPECT_FLOAT_EQ(got.back().x1, k.closed ? 20.f : 20.f);
      EXPECT_FLOAT_EQ(got.back().y1, k.closed ? 20.f : 60.f);
    }
    GeoDeleteEx(c, true, 0.f);
  }
}

TEST_F(GeoServices, HandlesGroupOrderAndStopping) {
  Geometry* a = AddContour(list, "A", {{0.f, 0.f}, {0.5f, 0.f}}, false);
  Geometry* b = AddContour(list, "B", {{0.f, 0.25f}, {0.5f, 0.25f}}, false);
  ASSERT_TRUE(GeoVertexSetHandles(a->Contour()->vertices[0], 0.f, 0.1f, 0.f, 0.f, 0.f));
  ASSERT_TRUE(GeoVertexSetHandles(a->Contour()->vertices[1], 0.f, 0.f, 0.f, -0.1f, 0.05f));
  Geometry* g = Add(list, kGeoGroup, "G");
  ASSERT_EQ(GeoAttach(g, b), GeoAttachResult::kAttached);
  ASSERT_EQ(GeoAttach(g, a), GeoAttachResult::kAttached);

  std::vector<Segment> got;
  EXPECT_EQ(GeoGetCurves(frame, g, 0.f, false, reinterpret_cast<intptr_t>(&got), Collect), 1);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_FLOAT_EQ(got[0].y0, 50.f);  // B first, in member order
  EXPECT_FLOAT_EQ(got[1].vx, 20.f);
  EXPECT_FLOAT_EQ(got[1].wx, -20.f);
  EXPECT_FLOAT_EQ(got[1].wy, 10.f);

  int calls = 0;
  EXPECT_EQ(GeoGetCurves(frame, g, 0.f, false, reinterpret_cast<intptr_t>(&calls), StopAfterOne),
            7);
  EXPECT_EQ(calls, 1);

  Geometry* members[1] = {nullptr};
  EXPECT_EQ(V_GeoSubgeoGet(list, g, nullptr, 0), 2);
  EXPECT_EQ(V_GeoSubgeoGet(list, g, members, 1), 2);
  EXPECT_EQ(members[0], b);
  EXPECT_EQ(V_GeoSubgeoGet(list, a, members, 1), 0);
}

TEST_F(GeoServices, ForeignOrDeletedGeometryIsRefused) {
  GeometryList other;
  Geometry* c = AddContour(other, "C", square, true);
  std::vector<Segment> got;
  EXPECT_EQ(GeoGetCurves(frame, c, 0.f, false, reinterpret_cast<intptr_t>(&got), Collect), 0);
  EXPECT_EQ(GeoDistance(frame, c, 0.f, 0.f, 0.f), kGeoNoDistance);
  EXPECT_EQ(V_GeoSubgeoGet(list, c, nullptr, 0), 0);
  float box[4];
  GeoGetBBox(frame, c, box, 0.f);
  EXPECT_EQ(box[2], 200.f);
  EXPECT_EQ(box[3], 100.f);

  Geometry* mine = AddContour(list, "Mine", square, true);
  GeoDeleteEx(mine, true, 0.f);
  EXPECT_EQ(GeoGetCurves(frame, mine, 0.f, false, reinterpret_cast<intptr_t>(&got), Collect), 0);
  EXPECT_TRUE(got.empty());
  GeoFrame flat = frame;
  flat.width = 0.f;
  Geometry* live = AddContour(list, "Live", square, true);
  EXPECT_EQ(GeoGetCurves(flat, live, 0.f, false, reinterpret_cast<intptr_t>(&got), Collect), 0);
}

TEST_F(GeoServices, BoundingBoxAndDistance) {
  Geometry* c = AddContour(list, "C", square, true);
  Geometry* v = Add(list, kGeoVertex, "P", 0.5f, 0.2f);
  Geometry* vec = Add(list, kGeoVector, "Vec");
  Geometry* g = Add(list, kGeoGroup, "G");
  ASSERT_EQ(GeoAttach(g, c), GeoAttachResult::kAttached);
  ASSERT_EQ(GeoAttach(g, v), GeoAttachResult::kAttached);

  struct Case {
    Geometry* g;
    float box[4];
  };
  for (const Case& k : {Case{c, {20.f, 20.f, 80.f, 60.f}}, Case{v, {100.f, 40.f, 100.f, 40.f}},
                        Case{g, {20.f, 20.f, 100.f, 60.f}}, Case{vec, {0.f, 0.f, 200.f, 100.f}},
                        Case{nullptr, {0.f, 0.f, 200.f, 100.f}}}) {
    float box[4];
    GeoGetBBox(frame, k.g, box, 0.f);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(box[i], k.box[i], 1e-4) << i;
  }

  // A point 10 pixels above the top edge, one inside the square, one beside the vertex.
  EXPECT_NEAR(GeoDistance(frame, c, 0.f, 50.f, 10.f), 10.f, 1e-3);
  EXPECT_NEAR(GeoDistance(frame, c, 0.f, 50.f, 30.f), 10.f, 1e-3);
  EXPECT_NEAR(GeoDistance(frame, v, 0.f, 103.f, 44.f), 5.f, 1e-3);
  EXPECT_NEAR(GeoDistance(frame, g, 0.f, 103.f, 44.f), 5.f, 1e-3);
  EXPECT_EQ(GeoDistance(frame, nullptr, 0.f, 0.f, 0.f), kGeoNoDistance);
}

}  // namespace
}  // namespace lumetra::geometry::test
