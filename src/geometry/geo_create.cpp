// Creating geometries, copying lists of them, and addressing their curves by track.
#include <algorithm>
#include <new>
#include <unordered_map>

#include "geometry/geo_anim_pending.h"
#include "geometry/geo_internal.h"
#include "geometry/geo_kinds.h"
#include "geometry/geo_ops.h"

namespace lumetra::geometry {

namespace {

constexpr uint32_t kTransientFlags = kGeoBeingDeleted | kGeoSubtreeMark;

}  // namespace

std::unique_ptr<Geometry> GeoCreate(int kind, std::string_view name, float x, float y,
                                    uint32_t colour, uint32_t colour2, float time) {
  if (!GeoKindValid(kind) || name.size() > kGeoNameMax || name.find('\0') != name.npos)
    return nullptr;
  try {
    auto g = std::make_unique<Geometry>();
    g->kind = static_cast<int16_t>(kind);
    g->name.assign(name);
    g->colour = colour;
    g->colour2 = colour2;
    if (anim::KeyfloatKeySet(&g->position, time, 2, x, y, 0.f) == nullptr ||
        anim::KeyfloatKeySet(&g->rotation, time, 1, 0.f, 0.f, 0.f) == nullptr ||
        anim::KeyfloatKeySet(&g->scale, time, 2, 1.f, 1.f, 0.f) == nullptr)
      return nullptr;
    g->data = GeoNewKindData(kind);
    if (auto* v = g->Vertex()) {
      if (anim::KeyfloatKeySet(&v->v, time, 2, 0.f, 0.f, 0.f) == nullptr ||
          anim::KeyfloatKeySet(&v->w, time, 2, 0.f, 0.f, 0.f) == nullptr)
        return nullptr;
    }
    return g;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool GeoListCopy(const GeometryList& src, GeometryList& dst) {
  std::lock_guard lock(GeoLock());
  std::unordered_map<const Geometry*, Geometry*> map;
  std::vector<std::pair<const Geometry*, Geometry*>> copies;
  bool ok = true;
  try {
    for (const Geometry* g = src.First(); g != nullptr; g = g->next) {
      auto c = std::make_unique<Geometry>();
      c->kind = g->kind;
      c->flags = g->flags & ~kTransientFlags;
      c->name = g->name;
      c->id = g->id;
      c->colour = g->colour;
      c->colour2 = g->colour2;
      c->owner_clip = g->owner_clip;
      c->owner_clip_number = g->owner_clip_number;
      c->position = anim::KeyfloatCopy(g->position);
      c->rotation = anim::KeyfloatCopy(g->rotation);
      c->scale = anim::KeyfloatCopy(g->scale);
      if ((g->position && !c->position) || (g->rotation && !c->rotation) ||
          (g->scale && !c->scale)) {
        ok = false;
        break;
      }
      if (const GeoKindOps* ops = GeoKindTable(g->kind); ops != nullptr && g->data) {
        c->data = ops->copy(g);
        if (!c->data) {
          ok = false;
          break;
        }
      }
      Geometry* placed = dst.Append(std::move(c));
      map.emplace(g, placed);
      copies.emplace_back(g, placed);
    }
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  auto remap = [&map](Geometry* old) -> Geometry* {
    auto it = map.find(old);
    return it == map.end() ? nullptr : it->second;
  };
  for (auto& [g, c] : copies) {
    if (Geometry* p = remap(g->parent)) {
      c->parent = p;
      p->children.push_back(c);
    }
    GeoEnumerate(c, [&](Geometry** slot) {
      *slot = remap(*slot);
      return 1;
    });
    if (auto* v = c->Vertex())
      for (Geometry*& r : v->refs) r = remap(r);
  }
  for (auto& [g, c] : copies) {
    // Slots whose target was not copied are dropped rather than left empty.
    if (auto* cd = c->Contour()) std::erase(cd->vertices, nullptr);
    if (auto* gd = c->Group()) std::erase(gd->members, nullptr);
    GeoRegisterMembers(c);
  }
  return ok;
}

KeyfloatKey** GeoTrack(Geometry* g, int track) {
  switch (track) {
    case kGeoTrackPosition:
      return &g->position;
    case kGeoTrackRotation:
      return &g->rotation;
    case kGeoTrackScale:
      return &g->scale;
    case kGeoTrackV:
      return g->Vertex() ? &g->Vertex()->v : nullptr;
    case kGeoTrackW:
      return g->Vertex() ? &g->Vertex()->w : nullptr;
    default:
      return nullptr;
  }
}

}  // namespace lumetra::geometry

namespace lumetra::geometry {

void GeoRegisterMembers(Geometry* g) {
  GeoEnumerate(g, [g](Geometry** slot) {
    if (*slot != nullptr) (*slot)->containers.push_back(g);
    return 1;
  });
  if (auto* v = g->Vertex())
    for (Geometry* r : v->refs)
      if (r != nullptr) r->referrers.push_back(g);
}

bool GeoEraseOne(std::vector<Geometry*>& v, const Geometry* value) {
  auto it = std::find(v.begin(), v.end(), value);
  if (it == v.end()) return false;
  v.erase(it);
  return true;
}

}  // namespace lumetra::geometry
