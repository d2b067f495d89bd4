// The geometry record's ownership, the geometry list and the geometry lock.
#include "geometry/geometry_list.h"

#include <atomic>

#include "geometry/geo_anim_pending.h"

namespace lumetra::geometry {

bool GeoKindValid(int kind) {
  return kind == kGeoVertex || kind == kGeoVector || kind == kGeoContour || kind == kGeoMorphPair ||
         kind == kGeoGroup;
}

GeoVertexData::~GeoVertexData() {
  anim::KeyfloatFree(v);
  anim::KeyfloatFree(w);
}

Geometry::~Geometry() {
  anim::KeyfloatFree(position);
  anim::KeyfloatFree(rotation);
  anim::KeyfloatFree(scale);
}

GeoVertexData* Geometry::Vertex() const {
  return kind == kGeoVertex ? static_cast<GeoVertexData*>(data.get()) : nullptr;
}
GeoContourData* Geometry::Contour() const {
  return kind == kGeoContour ? static_cast<GeoContourData*>(data.get()) : nullptr;
}
GeoGroupData* Geometry::Group() const {
  return kind == kGeoGroup ? static_cast<GeoGroupData*>(data.get()) : nullptr;
}
GeoMorphPairData* Geometry::MorphPair() const {
  return kind == kGeoMorphPair ? static_cast<GeoMorphPairData*>(data.get()) : nullptr;
}

std::recursive_mutex& GeoLock() {
  static std::recursive_mutex lock;
  return lock;
}

GeometryList::~GeometryList() {
  Clear();
}

uint64_t GeometryList::NextVisit() {
  static std::atomic<uint64_t> visit{0};
  return ++visit;
}

Geometry* GeometryList::Append(std::unique_ptr<Geometry> owned) {
  Geometry* g = owned.get();
  owned_.emplace(g, std::move(owned));
  g->owner = this;
  g->seq = ++seq_;
  g->next = nullptr;
  g->prev = tail_;
  (tail_ ? tail_->next : head_) = g;
  tail_ = g;
  IndexName(g);
  return g;
}

void GeometryList::Clear() {
  names_.clear();
  head_ = tail_ = nullptr;
  owned_.clear();
  name_cache_.clear();
}

void GeometryList::TakeAll(GeometryList& other) {
  if (&other == this) return;
  Geometry* g = other.head_;
  while (g != nullptr) {
    Geometry* next = g->next;
    auto it = other.owned_.find(g);
    std::unique_ptr<Geometry> owned = std::move(it->second);
    other.owned_.erase(it);
    Append(std::move(owned));
    g = next;
  }
  other.head_ = other.tail_ = nullptr;
  other.names_.clear();
}

Geometry* GeometryList::FindByName(std::string_view name) const {
  auto [lo, hi] = names_.equal_range(std::string(name));
  Geometry* best = nullptr;
  for (auto it = lo; it != hi; ++it)
    if (best == nullptr || it->second->seq < best->seq) best = it->second;
  return best;
}

void GeometryList::IndexName(Geometry* g) {
  names_.emplace(g->name, g);
}

void GeometryList::UnindexName(Geometry* g) {
  auto [lo, hi] = names_.equal_range(g->name);
  for (auto it = lo; it != hi; ++it) {
    if (it->second == g) {
      names_.erase(it);
      return;
    }
  }
}

void GeometryList::Erase(Geometry* g) {
  UnindexName(g);
  (g->prev ? g->prev->next : head_) = g->next;
  (g->next ? g->next->prev : tail_) = g->prev;
  g->next = g->prev = nullptr;
  owned_.erase(g);
}

}  // namespace lumetra::geometry
