// Membership: vertices of contours, members of groups, the two sides of a morph pair.
#include <algorithm>
#include <mutex>

#include "geometry/geo_internal.h"
#include "geometry/geo_ops.h"

namespace lumetra::geometry {

bool GeoContains(Geometry* container, const Geometry* g) {
  if (container == nullptr || g == nullptr) return false;
  if (container == g) return true;
  // Membership may share members (a vertex in two contours): visit each geometry once.
  const uint64_t stamp = GeometryList::NextVisit();
  std::vector<Geometry*> stack{container};
  container->visit = stamp;
  bool found = false;
  while (!stack.empty() && !found) {
    Geometry* h = stack.back();
    stack.pop_back();
    GeoEnumerate(h, [&](Geometry** slot) {
      Geometry* m = *slot;
      if (m == nullptr) return 1;
      if (m == g) {
        found = true;
        return 2;
      }
      if (m->visit != stamp) {
        m->visit = stamp;
        stack.push_back(m);
      }
      return 1;
    });
  }
  return found;
}

GeoAttachResult GeoAttach(Geometry* container, Geometry* member) {
  std::lock_guard lock(GeoLock());
  if (container == nullptr || member == nullptr) return GeoAttachResult::kWrongKind;
  if (container->owner != member->owner) return GeoAttachResult::kForeign;
  if (container == member) return GeoAttachResult::kSelf;
  std::vector<Geometry*>* slots = nullptr;
  if (auto* c = container->Contour()) {
    if (member->kind != kGeoVertex) return GeoAttachResult::kWrongKind;
    slots = &c->vertices;
  } else if (auto* gr = container->Group()) {
    if (GeoContains(member, container)) return GeoAttachResult::kCycle;
    slots = &gr->members;
  } else {
    return GeoAttachResult::kWrongKind;
  }
  slots->push_back(member);
  member->containers.push_back(container);
  return GeoAttachResult::kAttached;
}

int GeoDetach(Geometry* container, Geometry* member) {
  std::lock_guard lock(GeoLock());
  if (container == nullptr || member == nullptr) return 0;
  int removed = 0;
  auto drop = [&](std::vector<Geometry*>& slots) {
    auto end = std::remove(slots.begin(), slots.end(), member);
    removed = static_cast<int>(slots.end() - end);
    slots.erase(end, slots.end());
  };
  if (auto* c = container->Contour()) drop(c->vertices);
  if (auto* gr = container->Group()) drop(gr->members);
  if (auto* m = container->MorphPair()) {
    for (Geometry** side : {&m->a, &m->b}) {
      if (*side == member) {
        *side = nullptr;
        ++removed;
      }
    }
  }
  for (int i = 0; i < removed; ++i) GeoEraseOne(member->containers, container);
  return removed;
}

int GeoDetachEverywhere(Geometry* member) {
  if (member == nullptr) return 0;
  std::vector<Geometry*> holders = member->containers;
  int removed = 0;
  for (Geometry* h : holders)
    if (h->kind == kGeoContour || h->kind == kGeoGroup) removed += GeoDetach(h, member);
  return removed;
}

bool GeoMpairAssign(Geometry* pair, int side, Geometry* contour) {
  std::lock_guard lock(GeoLock());
  GeoMorphPairData* m = pair != nullptr ? pair->MorphPair() : nullptr;
  if (m == nullptr || (side != 0 && side != 1)) return false;
  if (contour != nullptr && (contour->kind != kGeoContour || contour->owner != pair->owner))
    return false;
  Geometry*& slot = side == 0 ? m->a : m->b;
  if (slot != nullptr) GeoEraseOne(slot->containers, pair);
  slot = contour;
  if (contour != nullptr) contour->containers.push_back(pair);
  return true;
}

bool GeoVertexSetRef(Geometry* vertex, int slot, Geometry* target) {
  std::lock_guard lock(GeoLock());
  GeoVertexData* v = vertex != nullptr ? vertex->Vertex() : nullptr;
  if (v == nullptr || slot < 0 || slot > 1) return false;
  if (target != nullptr && target->owner != vertex->owner) return false;
  if (v->refs[slot] != nullptr) GeoEraseOne(v->refs[slot]->referrers, vertex);
  v->refs[slot] = target;
  if (target != nullptr) target->referrers.push_back(vertex);
  return true;
}

}  // namespace lumetra::geometry
