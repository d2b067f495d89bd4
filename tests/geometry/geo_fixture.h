// Small geometry fixtures built in code: a list, contours of vertices, fake clip hooks.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "geometry/geo_anim_pending.h"
#include "geometry/geo_ops.h"

namespace lumetra::geometry::test {

// Clips that refer to geometries by a count per geometry.
class FakeClips : public GeoClipHooks {
 public:
  std::map<const Geometry*, int> refs;
  std::vector<const Geometry*> cleared;
  void ClearReferences(const Geometry* g) override {
    cleared.push_back(g);
    refs.erase(g);
  }
  int CountReferences(const Geometry* g) override {
    auto it = refs.find(g);
    return it == refs.end() ? 0 : it->second;
  }
  bool IsReferenced(const Geometry* g) override { return CountReferences(g) > 0; }
};

inline Geometry* Add(GeometryList& list, int kind, const std::string& name, float x = 0.f,
                     float y = 0.f) {
  auto g = GeoCreate(kind, name, x, y, 0xC87F00, 0xFFFF00, 0.f);
  EXPECT_NE(g, nullptr);
  return list.Append(std::move(g));
}

// A contour with vertices at the given points, linked to it and attached in order.
inline Geometry* AddContour(GeometryList& list, const std::string& name,
                            const std::vector<std::pair<float, float>>& points, bool closed) {
  Geometry* c = Add(list, kGeoContour, name);
  c->Contour()->flags = closed ? 1u : 0u;
  int i = 0;
  for (auto [x, y] : points) {
    Geometry* v = Add(list, kGeoVertex, name + "_v" + std::to_string(i++), x, y);
    EXPECT_EQ(GeoLink(c, v, 0.f), GeoLinkResult::kLinked);
    EXPECT_EQ(GeoAttach(c, v), GeoAttachResult::kAttached);
  }
  return c;
}

inline std::pair<float, float> World(Geometry* g, float t = 0.f) {
  float x, y;
  GeoWorldPosition(g, t, &x, &y);
  return {x, y};
}

}  // namespace lumetra::geometry::test
