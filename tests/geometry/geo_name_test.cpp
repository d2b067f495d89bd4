// Unique numbered names, renaming and finding by name.
#include <cstdio>

#include "geo_fixture.h"

namespace lumetra::geometry::test {
namespace {

Geometry* Named(GeometryList& list, const std::string& name) {
  auto g = std::make_unique<Geometry>();
  g->name = name;
  return list.Append(std::move(g));
}

TEST(GeoName, NextFreeNumberAndThePlainFormFrom1000) {
  GeometryList list;
  for (const char* n : {"Contour001", "Contour002", "Contour003"}) Named(list, n);
  std::string name;
  ASSERT_TRUE(GeoMakeName("Contour", name, list));
  EXPECT_EQ(name, "Contour004");
  Named(list, name);
  for (int i = 5; i < 1000; ++i) {
    ASSERT_TRUE(GeoMakeName("Contour", name, list));
    Named(list, name);
  }
  EXPECT_EQ(name, "Contour999");
  ASSERT_TRUE(GeoMakeName("Contour", name, list));
  EXPECT_EQ(name, "Contour1000");

  // The cache remembers where a base stopped, so a freed lower number is not reused...
  GeoRename(GeoFindByName(list, "Contour002"), "Renamed");
  ASSERT_TRUE(GeoMakeName("Contour", name, list));
  EXPECT_EQ(name, "Contour1001");
  // ...while a base new to the cache starts at 1.
  ASSERT_TRUE(GeoMakeName("Group", name, list));
  EXPECT_EQ(name, "Group001");
}

TEST(GeoName, NumbersEndAt9999) {
  GeometryList list;
  for (int i = 1; i <= 9998; ++i) {
    char n[16];
    std::snprintf(n, sizeof n, i < 1000 ? "V%.3d" : "V%d", i);
    Named(list, n);
  }
  std::string name;
  ASSERT_TRUE(GeoMakeName("V", name, list));
  EXPECT_EQ(name, "V9999");
  Named(list, name);
  EXPECT_FALSE(GeoMakeName("V", name, list));
  GeometryList fresh;
  for (int i = 1; i <= 9999; ++i) Named(fresh, "W" + std::to_string(i));
  // "W1" is not "W001": the short numbers are still free.
  ASSERT_TRUE(GeoMakeName("W", name, fresh));
  EXPECT_EQ(name, "W001");
}

TEST(GeoName, LimitsRenameAndFind) {
  GeometryList list;
  std::string name;
  EXPECT_FALSE(GeoMakeName(std::string(kGeoNameMax, 'x'), name, list));
  EXPECT_EQ(GeoCreate(kGeoVertex, std::string(kGeoNameMax + 1, 'x'), 0, 0, 0, 0, 0), nullptr);
  EXPECT_EQ(GeoCreate(7, "Seven", 0, 0, 0, 0, 0), nullptr);
  EXPECT_EQ(GeoCreate(1, "One", 0, 0, 0, 0, 0), nullptr);
  Geometry* a = Add(list, kGeoVertex, "A");
  Geometry* b = Add(list, kGeoVertex, "B");
  EXPECT_FALSE(GeoRename(b, "A"));
  EXPECT_FALSE(GeoRename(b, std::string("nul\0in", 6)));
  EXPECT_TRUE(GeoRename(b, "C"));
  EXPECT_EQ(GeoFindByName(list, "C"), b);
  EXPECT_EQ(GeoFindByName(list, "B"), nullptr);
  EXPECT_EQ(GeoFindByName(list, "a"), nullptr);  // case-sensitive
  EXPECT_EQ(GeoFindByName(list, "A"), a);

  char buf[3];
  EXPECT_EQ(GeoGetName(b, buf, sizeof buf), 1u);
  EXPECT_STREQ(buf, "C");
  GeoRename(b, "Long");
  EXPECT_EQ(GeoGetName(b, buf, sizeof buf), 2u);
  EXPECT_STREQ(buf, "Lo");

  ASSERT_TRUE(GeoFirstFreeName("Vertex", true, name, list));
  EXPECT_EQ(name, "Vertex001");
  ASSERT_TRUE(GeoFirstFreeName("User group ", false, name, list));
  EXPECT_EQ(name, "User group   1");
}

}  // namespace
}  // namespace lumetra::geometry::test
