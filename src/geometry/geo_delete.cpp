// Deleting geometries, counting their uses, and purging unused temporaries.
#include <algorithm>
#include <mutex>
#include <string>

#include "geometry/geo_internal.h"
#include "geometry/geo_kinds.h"
#include "geometry/geo_ops.h"
#include "platform/memory_log.h"

namespace lumetra::geometry {

void GeoRemoveFromList(Geometry* g) {
  g->owner->Erase(g);
}

namespace {

// Empties g's own member slots and extra references, telling each target.
void DetachOwnMembers(Geometry* g) {
  GeoEnumerate(g, [g](Geometry** slot) {
    if (*slot != nullptr) GeoEraseOne((*slot)->containers, g);
    *slot = nullptr;
    return 1;
  });
  if (auto* c = g->Contour()) c->vertices.clear();
  if (auto* gr = g->Group()) gr->members.clear();
  if (auto* v = g->Vertex()) {
    for (Geometry*& r : v->refs) {
      if (r != nullptr) GeoEraseOne(r->referrers, g);
      r = nullptr;
    }
  }
}

// Removes one slot of h that holds g, without touching g's own index. g's index has one
// entry per slot, so calling this once per entry empties them all; searching from the back
// keeps deleting a contour's vertices from the end linear rather than quadratic.
void DropOneFromHolder(Geometry* h, const Geometry* g) {
  if (auto* c = h->Contour()) GeoEraseOne(c->vertices, g);
  if (auto* gr = h->Group()) GeoEraseOne(gr->members, g);
  if (auto* m = h->MorphPair()) {
    if (m->a == g)
      m->a = nullptr;
    else if (m->b == g)
      m->b = nullptr;
  }
}

}  // namespace

void GeoDeleteEx(Geometry* g, bool with_subtree, float time) {
  std::lock_guard lock(GeoLock());
  if (g == nullptr || g->owner == nullptr || (g->flags & kGeoBeingDeleted)) return;
  g->flags |= kGeoBeingDeleted;
  GeometryList* list = g->owner;

  // The members are released first, so that deleting them never edits this geometry's
  // slots one by one (which would make a large contour quadratic to delete).
  DetachOwnMembers(g);

  std::vector<Geometry*> children = std::move(g->children);
  g->children.clear();
  for (Geometry* child : children) {
    if (child->kind == kGeoVector || with_subtree)
      GeoDeleteEx(child, with_subtree, time);
    else
      GeoUnlink(child, time);
  }

  if (GeoClipHooks* hooks = list->ClipHooks()) hooks->ClearReferences(g);

  if (const GeoKindOps* ops = GeoKindTable(g->kind); ops != nullptr && ops->free_data)
    ops->free_data(g, with_subtree);
  g->data.reset();
  if (g->parent != nullptr) {
    GeoEraseOne(g->parent->children, g);
    g->parent = nullptr;
  }

  std::vector<Geometry*> holders = std::move(g->containers);
  g->containers.clear();
  const uint64_t stamp = GeometryList::NextVisit();
  for (Geometry* h : holders) {
    if (!list->Holds(h)) continue;
    if (h->visit != stamp) {
      h->visit = stamp;
      platform::DebugLog("GeoDeleteEx: --- '" + h->name + "'<--'" + g->name + "'");
      if (h->kind == kGeoVector) {
        GeoDeleteEx(h, false, time);
        continue;
      }
    }
    if (h->kind != kGeoVector) DropOneFromHolder(h, g);
  }
  for (Geometry* r : g->referrers) {
    if (auto* v = r->Vertex())
      for (Geometry*& ref : v->refs)
        if (ref == g) ref = nullptr;
  }
  g->referrers.clear();

  platform::DebugLog("Exit GeoDeleteEx");
  GeoRemoveFromList(g);
}

int GeoUsageCount(Geometry* g) {
  if (g == nullptr || g->owner == nullptr) return 0;
  std::lock_guard lock(GeoLock());
  int count = 0;
  if (GeoClipHooks* hooks = g->owner->ClipHooks()) count += hooks->CountReferences(g);
  for (Geometry* h : g->containers)
    if (h != g && !GeoContains(g, h)) ++count;
  return count;
}

int GeoPurgeTemporary(GeometryList& list, float time) {
  std::lock_guard lock(GeoLock());
  GeoClipHooks* hooks = list.ClipHooks();
  std::vector<Geometry*> unused;
  for (Geometry* g = list.First(); g != nullptr; g = g->next)
    if ((g->flags & kGeoTemporary) && (hooks == nullptr || !hooks->IsReferenced(g)))
      unused.push_back(g);
  int deleted = 0;
  for (Geometry* g : unused) {
    // An earlier deletion may already have taken it (a Vector that held it, say).
    if (!list.Holds(g)) continue;
    GeoDeleteEx(g, false, time);
    ++deleted;
  }
  return deleted;
}

}  // namespace lumetra::geometry
