// Writing and reading the geometry list chunk, and restoring links by number.
#include "geometry/geo_chunk.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <unordered_map>

#include "geometry/geo_internal.h"
#include "geometry/geo_ops.h"
#include "platform/memory_log.h"

namespace lumetra::geometry {

namespace {

constexpr uint32_t kTransientFlags = kGeoBeingDeleted | kGeoSubtreeMark;
constexpr uint16_t kChunkOwnerClip = 0x0000;

void WriteGeometry(const Geometry* g, ByteWriter& w, const GeoWriteContext& ctx) {
  std::size_t at = GeoOpenChunk(w, kChunkGeometry);
  w.U16(static_cast<uint16_t>(g->kind));
  w.U32((g->flags & ~kTransientFlags) | kGeoTimesInSeconds);
  w.U32(g->id);
  w.U32(g->colour);
  w.U32(g->colour2);
  GeoCString(w, g->name);
  bool parent_here = g->parent != nullptr && g->parent->owner == g->owner;
  w.I32(parent_here ? static_cast<int32_t>(g->parent->id) : -1);
  GeoWriteCurve(w, g->position);
  GeoWriteCurve(w, g->rotation);
  GeoWriteCurve(w, g->scale);
  if (const GeoKindOps* ops = GeoKindTable(g->kind); ops != nullptr && g->data) ops->save(g, w);
  if (g->owner_clip != nullptr && ctx.clip_number) {
    int32_t number = ctx.clip_number(g->owner_clip);
    if (number >= 0) {
      std::size_t owner = GeoOpenChunk(w, kChunkOwnerClip);
      w.I32(number);
      GeoCloseChunk(w, owner);
    }
  }
  GeoCloseChunk(w, at);
}

struct Loaded {
  Geometry* g;
  int32_t number;
  int32_t parent;
};

// One Geometry chunk's payload; null when it is refused.
std::unique_ptr<Geometry> ReadGeometry(std::span<const uint8_t> payload, const GeoLoadContext& base,
                                       std::vector<GeoPendingRef>& refs, int32_t& number,
                                       int32_t& parent) {
  platform::DebugLog("Begin load_geometry");
  ByteReader r(payload);
  uint16_t kind;
  if (!r.U16(kind) || !GeoKindValid(kind)) return nullptr;
  auto g = std::make_unique<Geometry>();
  g->kind = static_cast<int16_t>(kind);
  if (!r.U32(g->flags) || !r.I32(number) || !r.U32(g->colour) || !r.U32(g->colour2)) return nullptr;
  g->id = static_cast<uint32_t>(number);
  if (!GeoCString(r, g->name)) {
    platform::DebugLog("Load geometry failed");
    return nullptr;
  }
  if (g->name.size() > kGeoNameMax) g->name.resize(kGeoNameMax);
  platform::DebugLog("Geometry name = '" + g->name + "'");
  if (!r.I32(parent)) return nullptr;
  const float divisor = (g->flags & kGeoTimesInSeconds) ? 1.f : base.time_base;
  g->flags = (g->flags & ~kTransientFlags) | kGeoTimesInSeconds;
  if (!GeoReadCurve(r, &g->position, divisor) || !GeoReadCurve(r, &g->rotation, divisor) ||
      !GeoReadCurve(r, &g->scale, divisor))
    return nullptr;
  g->data = GeoNewKindData(kind);
  GeoLoadContext ctx = base;
  ctx.pending = &refs;
  if (!GeoKindTable(kind)->load(g.get(), r, ctx)) return nullptr;
  if (r.Remaining() >= 7) {
    uint16_t id;
    uint32_t len;
    int32_t clip;
    if (r.U16(id) && r.U32(len) && id == kChunkOwnerClip && len >= 10 && r.I32(clip))
      g->owner_clip_number = clip;
  }
  return g;
}

// Fills one stored reference; false when it must be dropped.
bool Resolve(const GeoPendingRef& ref, Geometry* target) {
  Geometry* h = ref.holder;
  if (auto* c = h->Contour()) {
    if (target->kind != kGeoVertex) return false;
    c->vertices[ref.slot] = target;
  } else if (auto* gr = h->Group()) {
    if (GeoContains(target, h)) return false;
    gr->members[ref.slot] = target;
  } else if (auto* m = h->MorphPair()) {
    if (target->kind != kGeoContour) return false;
    (ref.slot == 0 ? m->a : m->b) = target;
  } else if (auto* v = h->Vertex()) {
    v->refs[ref.slot] = target;
    target->referrers.push_back(h);
    return true;
  } else {
    return false;
  }
  target->containers.push_back(h);
  return true;
}

void RestoreLinks(const std::vector<Loaded>& loaded, const std::vector<GeoPendingRef>& refs) {
  platform::DebugLog("Start geo_links_restore");
  std::unordered_map<int32_t, Geometry*> by_number;
  for (const Loaded& l : loaded)
    if (l.number >= 0) by_number[l.number] = l.g;
  auto find = [&](int32_t n) -> Geometry* {
    auto it = by_number.find(n);
    return it == by_number.end() ? nullptr : it->second;
  };
  for (const Loaded& l : loaded) {
    Geometry* p = find(l.parent);
    if (p == nullptr || GeoIsAncestorOrSelf(l.g, p)) continue;
    l.g->parent = p;
    p->children.push_back(l.g);
  }
  for (const GeoPendingRef& ref : refs)
    if (Geometry* target = find(ref.number)) Resolve(ref, target);
  for (const Loaded& l : loaded) {
    if (auto* c = l.g->Contour()) std::erase(c->vertices, nullptr);
    if (auto* gr = l.g->Group()) std::erase(gr->members, nullptr);
  }
}

}  // namespace

void GeoListNumber(GeometryList& list) {
  uint32_t n = 0;
  for (Geometry* g = list.First(); g != nullptr; g = g->next) g->id = n++;
}

void GeoListWrite(GeometryList& list, std::vector<uint8_t>& out, const GeoWriteContext& ctx) {
  std::lock_guard lock(GeoLock());
  GeoListNumber(list);
  ByteWriter w(out);
  std::size_t at = GeoOpenChunk(w, kChunkGeometryList);
  for (const Geometry* g = list.First(); g != nullptr; g = g->next) WriteGeometry(g, w, ctx);
  GeoCloseChunk(w, at);
}

GeoReadResult GeoListRead(GeometryList& list, std::span<const uint8_t> chunk,
                          const GeoLoadContext& ctx) {
  std::lock_guard lock(GeoLock());
  GeoReadResult result;
  ByteReader r(chunk);
  uint16_t id;
  uint32_t len;
  std::span<const uint8_t> payload;
  if (!r.U16(id) || !r.U32(len) || len < kChunkHeaderSize ||
      !r.Bytes(std::min<std::size_t>(len - kChunkHeaderSize, r.Remaining()), payload)) {
    result.status = -2;
    return result;
  }
  if (len - kChunkHeaderSize > payload.size()) result.status = -2;

  std::vector<Loaded> loaded;
  std::vector<GeoPendingRef> refs;
  ByteReader children(payload);
  while (children.Remaining() > 0) {
    uint16_t child_id;
    uint32_t child_len;
    std::span<const uint8_t> body;
    if (!children.U16(child_id) || !children.U32(child_len) || child_len < kChunkHeaderSize ||
        !children.Bytes(child_len - kChunkHeaderSize, body)) {
      result.status = -2;
      break;
    }
    if (child_id != kChunkGeometry) continue;
    std::vector<GeoPendingRef> own_refs;
    int32_t number = -1, parent = -1;
    std::unique_ptr<Geometry> g = ReadGeometry(body, ctx, own_refs, number, parent);
    if (!g) {
      platform::DebugLog("Load geometry failed");
      platform::DebugLog("Error in load geometry. Geometry ignored.");
      ++result.ignored;
      continue;
    }
    platform::DebugLog("Load geometry " + g->name + " complete");
    Geometry* placed = list.Append(std::move(g));
    for (GeoPendingRef& ref : own_refs) ref.holder = placed;
    refs.insert(refs.end(), own_refs.begin(), own_refs.end());
    loaded.push_back({placed, number, parent});
    ++result.loaded;
  }
  RestoreLinks(loaded, refs);
  return result;
}

}  // namespace lumetra::geometry
