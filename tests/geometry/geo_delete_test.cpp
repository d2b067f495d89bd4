// Deletion with and without subtree, membership clean-up, usage counts and temporaries.
#include "geo_fixture.h"

namespace lumetra::geometry::test {
namespace {

TEST(GeoDelete, ContourWithoutSubtreeKeepsVerticesInPlace) {
  GeometryList list;
  Geometry* c = AddContour(list, "C", {{0.1f, 0.1f}, {0.2f, 0.1f}, {0.2f, 0.3f}}, true);
  anim::KeyfloatKeySet(&c->position, 0.f, 2, 0.5f, 0.5f, 0.f);  // moves the whole shape
  GeoInvalidate(c);
  std::vector<Geometry*> verts = c->Contour()->vertices;
  std::vector<std::pair<float, float>> places;
  for (Geometry* v : verts) places.push_back(World(v));

  GeoDeleteEx(c, false, 0.f);
  EXPECT_EQ(list.Size(), 3u);
  EXPECT_EQ(GeoFindByName(list, "C"), nullptr);
  for (std::size_t i = 0; i < verts.size(); ++i) {
    EXPECT_TRUE(list.Holds(verts[i]));
    EXPECT_EQ(verts[i]->parent, nullptr);
    EXPECT_TRUE(verts[i]->containers.empty());
    auto [x, y] = World(verts[i]);
    EXPECT_NEAR(x, places[i].first, 1e-6);
    EXPECT_NEAR(y, places[i].second, 1e-6);
  }
}

TEST(GeoDelete, ContourWithSubtreeTakesItsVertices) {
  GeometryList list;
  Geometry* c = AddContour(list, "C", {{0.1f, 0.1f}, {0.2f, 0.1f}}, false);
  Add(list, kGeoVector, "Other");
  GeoDeleteEx(c, true, 0.f);
  ASSERT_EQ(list.Size(), 1u);
  EXPECT_EQ(list.First()->name, "Other");
  EXPECT_EQ(list.First(), list.Last());
}

TEST(GeoDelete, VertexLeavesEveryContour) {
  GeometryList list;
  Geometry* a = AddContour(list, "A", {{0.f, 0.f}, {1.f, 0.f}}, false);
  Geometry* b = Add(list, kGeoContour, "B");
  Geometry* shared = a->Contour()->vertices[1];
  ASSERT_EQ(GeoAttach(b, shared), GeoAttachResult::kAttached);
  ASSERT_EQ(GeoAttach(b, shared), GeoAttachResult::kAttached);  // twice in one contour
  EXPECT_EQ(GeoUsageCount(shared), 3);

  GeoDeleteEx(shared, false, 0.f);
  EXPECT_FALSE(list.Holds(shared));
  EXPECT_EQ(a->Contour()->vertices.size(), 1u);
  EXPECT_TRUE(b->Contour()->vertices.empty());
  EXPECT_EQ(a->children.size(), 1u);
}

TEST(GeoDelete, ContourInMorphPairEmptiesThatSide) {
  GeometryList list;
  Geometry* a = AddContour(list, "A", {{0.f, 0.f}}, true);
  Geometry* b = AddContour(list, "B", {{0.f, 0.f}}, true);
  Geometry* pair = Add(list, kGeoMorphPair, "MorphPair001");
  ASSERT_TRUE(GeoMpairAssign(pair, 0, a));
  ASSERT_TRUE(GeoMpairAssign(pair, 1, b));
  EXPECT_FALSE(GeoMpairAssign(pair, 0, pair));  // not a contour
  GeoDeleteEx(a, true, 0.f);
  EXPECT_EQ(pair->MorphPair()->a, nullptr);
  EXPECT_EQ(pair->MorphPair()->b, b);
  // Deleting the pair leaves its contour alone and releases it.
  GeoDeleteEx(pair, true, 0.f);
  EXPECT_TRUE(list.Holds(b));
  EXPECT_TRUE(b->containers.empty());
}

TEST(GeoDelete, VectorGoesWithItsParentAndClipReferencesAreCleared) {
  GeometryList list;
  FakeClips clips;
  list.SetClipHooks(&clips);
  Geometry* parent = Add(list, kGeoGroup, "P");
  Geometry* vec = Add(list, kGeoVector, "Vec");
  Geometry* kid = Add(list, kGeoVertex, "Kid", 0.3f, 0.3f);
  ASSERT_EQ(GeoLink(parent, vec, 0.f), GeoLinkResult::kLinked);
  ASSERT_EQ(GeoLink(parent, kid, 0.f), GeoLinkResult::kLinked);
  clips.refs[parent] = 2;
  clips.refs[vec] = 1;
  EXPECT_EQ(GeoUsageCount(parent), 2);

  GeoDeleteEx(parent, false, 0.f);
  EXPECT_FALSE(list.Holds(vec));
  EXPECT_TRUE(list.Holds(kid));
  EXPECT_EQ(kid->parent, nullptr);
  EXPECT_EQ(clips.cleared.size(), 2u);
  EXPECT_TRUE(clips.refs.empty());
}

TEST(GeoDelete, RelinkedVectorBelongsToItsNewParentOnly) {
  // Either parent deleted first; a freed old parent must not be reached either way.
  for (bool old_first : {true, false}) {
    GeometryList list;
    Geometry* a = Add(list, kGeoGroup, "A", 0.1f, 0.2f);
    Geometry* b = Add(list, kGeoGroup, "B", 0.4f, 0.1f);
    Geometry* vec = Add(list, kGeoVector, "Vec", 0.3f, 0.3f);
    ASSERT_EQ(GeoLink(a, vec, 0.f), GeoLinkResult::kLinked);
    const auto place = World(vec);
    ASSERT_EQ(GeoLink(b, vec, 0.f), GeoLinkResult::kLinked);
    EXPECT_EQ(vec->parent, b);
    EXPECT_TRUE(a->children.empty());
    ASSERT_EQ(b->children.size(), 1u);
    const auto moved = World(vec);
    EXPECT_NEAR(moved.first, place.first, 1e-6);
    EXPECT_NEAR(moved.second, place.second, 1e-6);

    if (old_first) {
      GeoDeleteEx(a, false, 0.f);
      EXPECT_TRUE(list.Holds(vec)) << "the old parent took the Vector with it";
      GeoDeleteEx(b, false, 0.f);
    } else {
      GeoDeleteEx(b, false, 0.f);
      EXPECT_FALSE(list.Holds(vec));
      GeoDeleteEx(a, false, 0.f);
    }
    EXPECT_EQ(list.Size(), 0u);
  }
}

TEST(GeoDelete, LinkingTwiceToTheSameParentIndexesTheChildOnce) {
  for (int kind : {kGeoVector, kGeoVertex}) {
    GeometryList list;
    Geometry* p = Add(list, kGeoGroup, "P");
    Geometry* child = Add(list, kind, "Child", 0.2f, 0.2f);
    ASSERT_EQ(GeoLink(p, child, 0.f), GeoLinkResult::kLinked);
    ASSERT_EQ(GeoLink(p, child, 0.f), GeoLinkResult::kLinked);
    EXPECT_EQ(p->children.size(), 1u) << kind;
    GeoDeleteEx(p, kind == kGeoVector, 0.f);
    EXPECT_EQ(list.Size(), kind == kGeoVector ? 0u : 1u) << kind;
  }
}

TEST(GeoDelete, GroupMembershipAndCycles) {
  GeometryList list;
  Geometry* outer = Add(list, kGeoGroup, "Outer");
  Geometry* inner = Add(list, kGeoGroup, "Inner");
  Geometry* c = AddContour(list, "C", {{0.f, 0.f}}, false);
  Geometry* v = Add(list, kGeoVector, "V");
  EXPECT_EQ(GeoAttach(outer, inner), GeoAttachResult::kAttached);
  EXPECT_EQ(GeoAttach(inner, c), GeoAttachResult::kAttached);
  EXPECT_EQ(GeoAttach(c, inner), GeoAttachResult::kWrongKind);
  EXPECT_EQ(GeoAttach(inner, outer), GeoAttachResult::kCycle);
  EXPECT_EQ(GeoAttach(c->Contour()->vertices[0], outer), GeoAttachResult::kWrongKind);
  EXPECT_EQ(GeoAttach(outer, outer), GeoAttachResult::kSelf);
  EXPECT_EQ(GeoAttach(v, c), GeoAttachResult::kWrongKind);
  EXPECT_TRUE(GeoContains(outer, c->Contour()->vertices[0]));
  EXPECT_FALSE(GeoContains(c, outer));
  // The outer group's slot is the one use.
  EXPECT_EQ(GeoUsageCount(inner), 1);

  GeoDeleteEx(inner, false, 0.f);
  EXPECT_TRUE(outer->Group()->members.empty());
  EXPECT_TRUE(c->containers.empty());
  EXPECT_EQ(GeoDetachEverywhere(c), 0);
}

TEST(GeoDelete, PurgeTemporaryKeepsReferencedOnes) {
  GeometryList list;
  FakeClips clips;
  list.SetClipHooks(&clips);
  Geometry* used = Add(list, kGeoMorphPair, "T1");
  Geometry* unused = Add(list, kGeoMorphPair, "T2");
  Geometry* plain = Add(list, kGeoMorphPair, "P");
  used->flags |= kGeoTemporary;
  unused->flags |= kGeoTemporary;
  clips.refs[used] = 1;
  EXPECT_EQ(GeoPurgeTemporary(list, 0.f), 1);
  EXPECT_TRUE(list.Holds(used));
  EXPECT_FALSE(list.Holds(unused));
  EXPECT_TRUE(list.Holds(plain));
}

TEST(GeoDelete, LargeContourDeletesWholly) {
  GeometryList list;
  Geometry* c = Add(list, kGeoContour, "C");
  for (int i = 0; i < 5000; ++i) {
    Geometry* v = Add(list, kGeoVertex, "V" + std::to_string(i), i * 1e-4f, 0.f);
    ASSERT_EQ(GeoLink(c, v, 0.f), GeoLinkResult::kLinked);
    ASSERT_EQ(GeoAttach(c, v), GeoAttachResult::kAttached);
  }
  GeoDeleteEx(c, true, 0.f);
  EXPECT_EQ(list.Size(), 0u);
  EXPECT_EQ(list.First(), nullptr);
  EXPECT_EQ(list.Last(), nullptr);
}

}  // namespace
}  // namespace lumetra::geometry::test
