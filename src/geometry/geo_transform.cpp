// World transform of a geometry, vertex handles, and linking to a parent.
#include <cmath>
#include <mutex>
#include <new>
#include <vector>

#include "anim/keyfloat.h"
#include "geometry/geo_internal.h"
#include "geometry/geo_ops.h"

namespace lumetra::geometry {

namespace {

constexpr float kDegToRad = 0.017453292f;
constexpr double kRadToDeg = 180.0 * 0.3183098861837907;

void EvaluateOne(Geometry* g, float t) {
  Geometry* p = g->parent;
  if (p != nullptr && p->generation != g->generation) g->cache_time = kGeoCacheInvalid;
  if (g->cache_time == t) return;
  float x, y, rdeg, unused;
  GeoCurveValue(g->position, t, 0.f, 0.f, &x, &y);
  GeoCurveValue(g->rotation, t, 0.f, 0.f, &rdeg, &unused);
  float r = rdeg * kDegToRad;
  float sx = 1.f, sy = 1.f, rot_x = 0.f, rot_y = 0.f, c2 = 1.f, s2 = 0.f;
  float wx = x, wy = y;
  if (p != nullptr) {
    if (!(g->flags & kGeoScaleXOff)) sx = p->world_scale[0];
    if (!(g->flags & kGeoScaleYOff)) sy = p->world_scale[1];
    float ox = x * p->world_scale[0];
    float oy = y * p->world_scale[1];
    float pr = p->world_rot_z;
    wx = ox * std::cos(pr) - oy * std::sin(pr) + p->world_pos[0];
    wy = ox * std::sin(pr) + oy * std::cos(pr) + p->world_pos[1];
    float c = std::cos(r), s = std::sin(r);
    c2 = c * c;
    s2 = s * s;
    if (!(g->flags & kGeoRotXOff)) rot_x = p->world_rot_x;
    if (!(g->flags & kGeoRotYOff)) rot_y = p->world_rot_y;
    if (!(g->flags & kGeoRotZOff)) r += pr;
  }
  // A missing scale curve means no scaling rather than a collapse to zero.
  float kx, ky;
  GeoCurveValue(g->scale, t, 1.f, 1.f, &kx, &ky);
  g->world_scale[0] = (g->flags & kGeoScaleXOff) ? kx : (sx * c2 + sy * s2) * kx;
  g->world_scale[1] = (g->flags & kGeoScaleYOff) ? ky : (sy * c2 + sx * s2) * ky;
  g->world_scale[2] = 1.f;
  g->world_pos[0] = wx;
  g->world_pos[1] = wy;
  g->world_pos[2] = 0.f;
  g->world_rot_x = rot_x;
  g->world_rot_y = rot_y;
  g->world_rot_z = r;
  g->world_matrix[0] = std::cos(r);
  g->world_matrix[1] = std::sin(r);
  g->world_matrix[2] = -std::sin(r);
  g->world_matrix[3] = std::cos(r);
  g->cache_time = t;
  g->generation = p != nullptr ? p->generation : g->generation + 1;
}

bool Usable(float v) {
  return std::isfinite(v) && v != 0.f;
}

// Moves every position key so that the world position at its time moves by (dx, dy).
void ShiftPositionKeys(Geometry* g, double dx, double dy) {
  Geometry* p = g->parent;
  for (KeyfloatKey* k = g->position; k != nullptr; k = k->next) {
    if (p == nullptr) {
      k->x = static_cast<float>(k->x + dx);
      k->y = static_cast<float>(k->y + dy);
      continue;
    }
    GeoEvaluate(p, k->time);
    double sx = p->world_scale[0], sy = p->world_scale[1];
    if (!Usable(static_cast<float>(sx)) || !Usable(static_cast<float>(sy))) continue;
    double c = std::cos(p->world_rot_z), s = std::sin(p->world_rot_z);
    // Into the parent's frame: rotate back, then unscale.
    double lx = dx * c + dy * s;
    double ly = -dx * s + dy * c;
    k->x = static_cast<float>(k->x + lx / sx);
    k->y = static_cast<float>(k->y + ly / sy);
  }
}

}  // namespace

uint32_t GeoEvaluate(Geometry* g, float time) {
  // Root first, without recursion: parent chains may be long.
  Geometry* chain_small[16];
  std::vector<Geometry*> chain_big;
  std::size_t n = 0;
  for (Geometry* p = g; p != nullptr; p = p->parent) {
    if (n < 16) {
      chain_small[n++] = p;
    } else {
      if (chain_big.empty()) chain_big.assign(chain_small, chain_small + 16);
      chain_big.push_back(p);
      ++n;
    }
  }
  Geometry** chain = chain_big.empty() ? chain_small : chain_big.data();
  for (std::size_t i = n; i-- > 0;) EvaluateOne(chain[i], time);
  return g->generation;
}

void GeoInvalidate(Geometry* g) {
  std::vector<Geometry*> stack{g};
  while (!stack.empty()) {
    Geometry* h = stack.back();
    stack.pop_back();
    h->cache_time = kGeoCacheInvalid;
    stack.insert(stack.end(), h->children.begin(), h->children.end());
  }
}

void GeoEvaluateAll(GeometryList& list, float time) {
  std::lock_guard lock(GeoLock());
  for (Geometry* g = list.First(); g != nullptr; g = g->next) g->cache_time = kGeoCacheInvalid;
  for (Geometry* g = list.First(); g != nullptr; g = g->next) GeoEvaluate(g, time);
}

void GeoWorldPosition(Geometry* g, float time, float* x, float* y) {
  GeoEvaluate(g, time);
  if (x) *x = g->world_pos[0];
  if (y) *y = g->world_pos[1];
}

void GeoVertexHandles(Geometry* g, float time, float* vx, float* vy, float* wx, float* wy) {
  float out[4] = {0.f, 0.f, 0.f, 0.f};
  if (GeoVertexData* v = g->Vertex()) {
    GeoEvaluate(g, time);
    float c = g->world_matrix[0], s = g->world_matrix[1];
    const KeyfloatKey* curves[2] = {v->v, v->w};
    for (int i = 0; i < 2; ++i) {
      float hx, hy;
      GeoCurveValue(curves[i], time, 0.f, 0.f, &hx, &hy);
      hx *= g->world_scale[0];
      hy *= g->world_scale[1];
      out[2 * i] = hx * c - hy * s;
      out[2 * i + 1] = hx * s + hy * c;
    }
  }
  if (vx) *vx = out[0];
  if (vy) *vy = out[1];
  if (wx) *wx = out[2];
  if (wy) *wy = out[3];
}

bool GeoVertexSetHandles(Geometry* g, float time, float vx, float vy, float wx, float wy) {
  GeoVertexData* v = g->Vertex();
  if (v == nullptr) return false;
  GeoEvaluate(g, time);
  double sx = g->world_scale[0], sy = g->world_scale[1];
  if (!Usable(static_cast<float>(sx)) || !Usable(static_cast<float>(sy))) return false;
  double c = std::cos(g->world_rot_z), s = std::sin(g->world_rot_z);
  auto local = [&](float x, float y, float* lx, float* ly) {
    *lx = static_cast<float>((x * c + y * s) / sx);
    *ly = static_cast<float>((-x * s + y * c) / sy);
  };
  float lvx, lvy, lwx, lwy;
  local(vx, vy, &lvx, &lvy);
  local(wx, wy, &lwx, &lwy);
  return anim::KeyfloatKeySet(&v->v, time, 2, lvx, lvy, 0.f) != nullptr &&
         anim::KeyfloatKeySet(&v->w, time, 2, lwx, lwy, 0.f) != nullptr;
}

bool GeoIsAncestorOrSelf(const Geometry* a, const Geometry* b) {
  for (const Geometry* p = b; p != nullptr; p = p->parent)
    if (p == a) return true;
  return false;
}

GeoLinkResult GeoLink(Geometry* parent, Geometry* child, float time) {
  std::lock_guard lock(GeoLock());
  if (parent == nullptr || child == nullptr || parent->owner != child->owner ||
      GeoIsAncestorOrSelf(child, parent))
    return GeoLinkResult::kRefused;
  GeoEvaluate(parent, time);
  if (!Usable(parent->world_scale[0]) || !Usable(parent->world_scale[1]))
    return GeoLinkResult::kZeroScale;
  // Room first, so that nothing fails once the child has left its old parent.
  try {
    parent->children.reserve(parent->children.size() + 1);
  } catch (const std::bad_alloc&) {
    return GeoLinkResult::kNoMemory;
  }
  if (child->parent != nullptr) GeoUnlink(child, time);

  float w0x, w0y, w1x, w1y;
  GeoWorldPosition(child, time, &w0x, &w0y);
  // A Vector is never unlinked, so it still has its old parent here: it must leave that
  // parent's index, or deleting the old parent would delete it (or reach it once freed).
  if (child->parent != nullptr) GeoEraseOne(child->parent->children, child);
  parent->children.push_back(child);
  child->parent = parent;
  GeoInvalidate(child);
  GeoWorldPosition(child, time, &w1x, &w1y);
  ShiftPositionKeys(child, double{w0x} - w1x, double{w0y} - w1y);

  GeoEvaluate(parent, time);
  float psx = parent->world_scale[0], psy = parent->world_scale[1];
  double pdeg = parent->world_rot_z * kRadToDeg;
  for (KeyfloatKey* k = child->scale; k != nullptr; k = k->next) {
    k->x /= psx;
    k->y /= psy;
  }
  for (KeyfloatKey* k = child->rotation; k != nullptr; k = k->next)
    k->x = static_cast<float>(k->x - pdeg);
  GeoInvalidate(child);
  GeoEvaluate(child, time);
  return GeoLinkResult::kLinked;
}

bool GeoUnlink(Geometry* child, float time) {
  std::lock_guard lock(GeoLock());
  if (child == nullptr || child->parent == nullptr || child->kind == kGeoVector) return false;
  float w0x, w0y, w1x, w1y;
  GeoWorldPosition(child, time, &w0x, &w0y);
  float ssx = 1.f, ssy = 1.f, srot = 0.f;
  for (Geometry* a = child->parent; a != nullptr; a = a->parent) {
    float kx, ky, r, unused;
    GeoCurveValue(a->scale, time, 1.f, 1.f, &kx, &ky);
    GeoCurveValue(a->rotation, time, 0.f, 0.f, &r, &unused);
    ssx *= kx;
    ssy *= ky;
    srot += r;
  }
  GeoEraseOne(child->parent->children, child);
  child->parent = nullptr;
  GeoInvalidate(child);
  GeoWorldPosition(child, time, &w1x, &w1y);
  ShiftPositionKeys(child, double{w0x} - w1x, double{w0y} - w1y);
  for (KeyfloatKey* k = child->scale; k != nullptr; k = k->next) {
    k->x *= ssx;
    k->y *= ssy;
  }
  for (KeyfloatKey* k = child->rotation; k != nullptr; k = k->next) k->x += srot;
  GeoInvalidate(child);
  GeoEvaluate(child, time);
  return true;
}

}  // namespace lumetra::geometry
