// World transform, scale inheritance, linking and unlinking.
#include "geo_fixture.h"
#include "geometry/geo_anim_pending.h"

namespace lumetra::geometry::test {
namespace {

using anim::KeyfloatKeySet;

TEST(GeoTransform, ScaleInheritsFromParent) {
  GeometryList list;
  Geometry* p = Add(list, kGeoVector, "P", 0.5f, 0.5f);
  KeyfloatKeySet(&p->scale, 0.f, 2, 2.f, 3.f, 0.f);
  Geometry* c = Add(list, kGeoVertex, "C", 0.1f, 0.2f);
  c->parent = p;
  p->children.push_back(c);

  GeoEvaluate(p, 0.f);
  EXPECT_FLOAT_EQ(p->world_scale[0], 2.f);
  EXPECT_FLOAT_EQ(p->world_scale[1], 3.f);
  GeoEvaluate(c, 0.f);
  EXPECT_FLOAT_EQ(c->world_scale[0], 2.f);
  EXPECT_FLOAT_EQ(c->world_scale[1], 3.f);
  // The offset is scaled by the parent's scale.
  EXPECT_FLOAT_EQ(c->world_pos[0], 0.5f + 0.2f);
  EXPECT_FLOAT_EQ(c->world_pos[1], 0.5f + 0.6f);

  // An axis whose inheritance is off takes only the own scale.
  c->flags |= kGeoScaleYOff;
  GeoInvalidate(c);
  GeoEvaluate(c, 0.f);
  EXPECT_FLOAT_EQ(c->world_scale[0], 2.f);
  EXPECT_FLOAT_EQ(c->world_scale[1], 1.f);

  // An own rotation of 90 degrees swaps which inherited axis applies.
  c->flags &= ~kGeoScaleYOff;
  KeyfloatKeySet(&c->rotation, 0.f, 1, 90.f, 0.f, 0.f);
  GeoInvalidate(c);
  GeoEvaluate(c, 0.f);
  EXPECT_NEAR(c->world_scale[0], 3.f, 1e-5);
  EXPECT_NEAR(c->world_scale[1], 2.f, 1e-5);
}

TEST(GeoTransform, ParentRotationTurnsOffsetAndChangedParentRefreshesChild) {
  GeometryList list;
  Geometry* p = Add(list, kGeoVector, "P", 0.5f, 0.5f);
  KeyfloatKeySet(&p->rotation, 0.f, 1, 90.f, 0.f, 0.f);
  Geometry* c = Add(list, kGeoVector, "C", 0.1f, 0.f);
  c->parent = p;
  p->children.push_back(c);
  auto [x, y] = World(c);
  EXPECT_NEAR(x, 0.5f, 1e-6);
  EXPECT_NEAR(y, 0.6f, 1e-6);
  EXPECT_NEAR(c->world_rot_z, 90.f * 0.017453292f, 1e-6);

  // The parent moves in time: its new generation invalidates the child's cache.
  KeyfloatKeySet(&p->position, 1.f, 2, 0.f, 0.f, 0.f);
  auto [x1, y1] = World(c, 1.f);
  EXPECT_NEAR(x1, 0.f, 1e-6);
  EXPECT_NEAR(y1, 0.1f, 1e-6);
}

TEST(GeoTransform, LinkThenUnlinkKeepsWorldPosition) {
  GeometryList list;
  Geometry* p = Add(list, kGeoVector, "P", 0.3f, 0.4f);
  KeyfloatKeySet(&p->rotation, 0.f, 1, 30.f, 0.f, 0.f);
  KeyfloatKeySet(&p->scale, 0.f, 2, 2.f, 0.5f, 0.f);
  Geometry* c = Add(list, kGeoVertex, "C", 0.1f, 0.2f);
  KeyfloatKeySet(&c->position, 2.f, 2, 0.6f, 0.7f, 0.f);
  KeyfloatKeySet(&c->scale, 0.f, 2, 4.f, 4.f, 0.f);
  KeyfloatKeySet(&c->rotation, 0.f, 1, 45.f, 0.f, 0.f);

  auto before = World(c);
  auto later = World(c, 2.f);
  ASSERT_EQ(GeoLink(p, c, 0.f), GeoLinkResult::kLinked);
  EXPECT_EQ(c->parent, p);
  auto linked = World(c);
  EXPECT_NEAR(linked.first, before.first, 1e-5);
  EXPECT_NEAR(linked.second, before.second, 1e-5);
  EXPECT_NEAR(c->scale->x, 2.f, 1e-5);
  EXPECT_NEAR(c->scale->y, 8.f, 1e-5);
  EXPECT_NEAR(c->rotation->x, 15.f, 1e-4);

  ASSERT_TRUE(GeoUnlink(c, 0.f));
  EXPECT_EQ(c->parent, nullptr);
  EXPECT_TRUE(p->children.empty());
  auto after = World(c);
  EXPECT_NEAR(after.first, before.first, 1e-5);
  EXPECT_NEAR(after.second, before.second, 1e-5);
  // With a still parent the whole path comes back, later keys included.
  auto after_later = World(c, 2.f);
  EXPECT_NEAR(after_later.first, later.first, 1e-5);
  EXPECT_NEAR(after_later.second, later.second, 1e-5);
  EXPECT_NEAR(c->scale->x, 4.f, 1e-5);
  EXPECT_NEAR(c->rotation->x, 45.f, 1e-4);
  EXPECT_FALSE(GeoUnlink(c, 0.f));
}

TEST(GeoTransform, LinkRefusals) {
  GeometryList list, other;
  Geometry* a = Add(list, kGeoGroup, "A");
  Geometry* b = Add(list, kGeoGroup, "B");
  Geometry* c = Add(list, kGeoGroup, "C");
  ASSERT_EQ(GeoLink(a, b, 0.f), GeoLinkResult::kLinked);
  ASSERT_EQ(GeoLink(b, c, 0.f), GeoLinkResult::kLinked);
  EXPECT_EQ(GeoLink(c, a, 0.f), GeoLinkResult::kRefused);  // a is c's ancestor
  EXPECT_EQ(GeoLink(a, a, 0.f), GeoLinkResult::kRefused);
  EXPECT_EQ(GeoLink(Add(other, kGeoVector, "X"), a, 0.f), GeoLinkResult::kRefused);
  EXPECT_TRUE(GeoIsAncestorOrSelf(a, c));
  EXPECT_FALSE(GeoIsAncestorOrSelf(c, a));

  Geometry* flat = Add(list, kGeoVector, "Flat");
  KeyfloatKeySet(&flat->scale, 0.f, 2, 0.f, 1.f, 0.f);
  Geometry* d = Add(list, kGeoVector, "D", 0.2f, 0.2f);
  EXPECT_EQ(GeoLink(flat, d, 0.f), GeoLinkResult::kZeroScale);
  EXPECT_EQ(d->parent, nullptr);
  EXPECT_FLOAT_EQ(d->position->x, 0.2f);

  // Vectors stay linked.
  Geometry* v = Add(list, kGeoVector, "V");
  ASSERT_EQ(GeoLink(a, v, 0.f), GeoLinkResult::kLinked);
  EXPECT_FALSE(GeoUnlink(v, 0.f));
  EXPECT_EQ(v->parent, a);
}

TEST(GeoTransform, VertexHandlesFollowWorldScaleAndRotation) {
  GeometryList list;
  Geometry* p = Add(list, kGeoVector, "P");
  KeyfloatKeySet(&p->rotation, 0.f, 1, 90.f, 0.f, 0.f);
  KeyfloatKeySet(&p->scale, 0.f, 2, 2.f, 2.f, 0.f);
  Geometry* v = Add(list, kGeoVertex, "V");
  v->parent = p;  // raw link: the vertex keeps its own unit scale and no rotation
  p->children.push_back(v);
  ASSERT_TRUE(GeoVertexSetHandles(v, 0.f, 0.2f, 0.f, 0.f, -0.4f));
  float vx, vy, wx, wy;
  GeoVertexHandles(v, 0.f, &vx, &vy, &wx, &wy);
  EXPECT_NEAR(vx, 0.2f, 1e-6);
  EXPECT_NEAR(vy, 0.f, 1e-6);
  EXPECT_NEAR(wx, 0.f, 1e-6);
  EXPECT_NEAR(wy, -0.4f, 1e-6);
  // Stored in the vertex's own frame: rotated back by 90 degrees and halved.
  EXPECT_NEAR(v->Vertex()->v->x, 0.f, 1e-6);
  EXPECT_NEAR(v->Vertex()->v->y, -0.1f, 1e-6);
  GeoVertexHandles(p, 0.f, &vx, &vy, &wx, &wy);
  EXPECT_EQ(vx, 0.f);
  EXPECT_FALSE(GeoVertexSetHandles(p, 0.f, 1.f, 1.f, 1.f, 1.f));
}

TEST(GeoTransform, DeepChainEvaluatesWithoutRecursion) {
  GeometryList list;
  Geometry* prev = Add(list, kGeoGroup, "G0", 0.001f, 0.f);
  for (int i = 1; i < 20000; ++i) {
    Geometry* g = Add(list, kGeoGroup, "G" + std::to_string(i), 0.001f, 0.f);
    g->parent = prev;
    prev->children.push_back(g);
    prev = g;
  }
  auto [x, y] = World(prev);
  EXPECT_NEAR(x, 20.f, 1e-2);
  EXPECT_EQ(y, 0.f);
}

}  // namespace
}  // namespace lumetra::geometry::test
