// The geometry services handed to effects, in the pixels of the clip image.
#include "geometry/geo_services.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "geometry/geo_ops.h"

namespace lumetra::geometry {

namespace {

constexpr int kDepthMax = 256;

bool FrameOk(const GeoFrame& f) {
  return f.list != nullptr && std::isfinite(f.width) && std::isfinite(f.height) &&
         std::isfinite(f.aspect) && f.width > 0.f && f.height > 0.f && f.aspect > 0.f;
}

struct PixelSink {
  GeoCurveFn cb;
  intptr_t user;
  float sx, sy;
};

int ToPixels(intptr_t user, float x0, float y0, float vx, float vy, float x1, float y1, float wx,
             float wy) {
  auto* s = reinterpret_cast<PixelSink*>(user);
  return s->cb(s->user, x0 * s->sx, y0 * s->sy, vx * s->sx, vy * s->sy, x1 * s->sx, y1 * s->sy,
               wx * s->sx, wy * s->sy);
}

// Box in geometry units; false for "whole image".
bool BoxOf(Geometry* g, float time, float b[4], int depth) {
  if (depth > kDepthMax) return false;
  auto add = [b](float x, float y, bool& any) {
    if (!any) {
      b[0] = b[2] = x;
      b[1] = b[3] = y;
      any = true;
      return;
    }
    b[0] = std::min(b[0], x);
    b[1] = std::min(b[1], y);
    b[2] = std::max(b[2], x);
    b[3] = std::max(b[3], y);
  };
  bool any = false;
  if (g->kind == kGeoVertex) {
    float x, y;
    GeoWorldPosition(g, time, &x, &y);
    add(x, y, any);
  } else if (auto* c = g->Contour()) {
    for (Geometry* v : c->vertices) {
      float x, y;
      GeoWorldPosition(v, time, &x, &y);
      add(x, y, any);
    }
  } else if (auto* gr = g->Group()) {
    for (Geometry* m : gr->members) {
      float mb[4];
      if (!BoxOf(m, time, mb, depth + 1)) return false;
      add(mb[0], mb[1], any);
      add(mb[2], mb[3], any);
    }
  }
  return any;
}

}  // namespace

GeoFrame GeoFrameFor(const GeometryList* list, int width, int height, float pixel_aspect) {
  GeoFrame f;
  f.list = list;
  f.width = static_cast<float>(width);
  f.height = static_cast<float>(height);
  f.aspect = f.height / (f.width * pixel_aspect);
  return f;
}

int GeoGetCurves(const GeoFrame& frame, Geometry* g, float time, bool closed_only, intptr_t user,
                 GeoCurveFn cb) {
  std::lock_guard lock(GeoLock());
  if (!FrameOk(frame) || cb == nullptr || !frame.list->Holds(g)) return 0;
  const GeoKindOps* ops = GeoKindTable(g->kind);
  if (ops == nullptr) return 0;
  PixelSink sink{cb, user, frame.width, frame.height / frame.aspect};
  return ops->emit_curves(g, time, closed_only, reinterpret_cast<intptr_t>(&sink), ToPixels);
}

void GeoGetBBox(const GeoFrame& frame, Geometry* g, float box[4], float time) {
  std::lock_guard lock(GeoLock());
  box[0] = box[1] = 0.f;
  box[2] = frame.width;
  box[3] = frame.height;
  if (!FrameOk(frame) || !frame.list->Holds(g)) return;
  float b[4];
  if (!BoxOf(g, time, b, 0)) return;
  const float sy = frame.height / frame.aspect;
  box[0] = b[0] * frame.width;
  box[1] = b[1] * sy;
  box[2] = b[2] * frame.width;
  box[3] = b[3] * sy;
}

float GeoDistance(const GeoFrame& frame, Geometry* g, float time, float px, float py) {
  std::lock_guard lock(GeoLock());
  if (!FrameOk(frame) || !frame.list->Holds(g)) return kGeoNoDistance;
  const GeoKindOps* ops = GeoKindTable(g->kind);
  if (ops == nullptr) return kGeoNoDistance;
  float d = ops->distance(g, time, px / frame.width, py / (frame.height / frame.aspect));
  return d >= kGeoNoDistance ? kGeoNoDistance : d * frame.width;
}

int V_GeoSubgeoGet(const GeometryList& list, Geometry* g, Geometry** out, int capacity) {
  std::lock_guard lock(GeoLock());
  if (!list.Holds(g)) return 0;
  const GeoGroupData* gr = g->Group();
  if (gr == nullptr) return 0;
  if (out != nullptr && capacity > 0) {
    std::size_t n = std::min(gr->members.size(), static_cast<std::size_t>(capacity));
    std::copy_n(gr->members.begin(), n, out);
  }
  return static_cast<int>(gr->members.size());
}

}  // namespace lumetra::geometry
