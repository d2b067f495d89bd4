// Geometry slots: the project comes from the context's clip (else the current project);
// a geometry pointer is only compared against that project's list before use.
#include "host/geometry_services.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "host/service_guard.h"
#include "clipdata/template.h"
#include "geometry/geo_services.h"
#include "geometry/geometry.h"
#include "host/context_clip.h"
#include "host/host_services.h"
#include "host/object_error.h"
#include "model/project.h"
#include "model/render_lock.h"

namespace lumetra::project {
namespace {

bool IsListed(const Project* project) {
  for (const Project* p = ProjectListHead(); p != nullptr; p = p->next)
    if (p == project) return true;
  return false;
}

// The call's project: the context clip's, else the current one. Under the render lock.
Project* CallProject(const HostCallContext* ctx) {
  const Clip* clip = ContextClip(ctx);
  if (clip != nullptr && clip->edited_clip != nullptr) clip = clip->edited_clip;
  if (clip != nullptr && clip->track != nullptr && clip->track->project != nullptr)
    return clip->track->project;
  return CurrentProject();
}

geometry::Geometry* AsGeometry(LumetraGeometry g) {
  return reinterpret_cast<geometry::Geometry*>(g);
}

// The clip image: the project frame's pixels.
geometry::GeoFrame PixelFrame(const Project& p) {
  return geometry::GeoFrameFor(&p.geometry, p.settings.width, p.settings.height,
                               p.settings.pixel_aspect);
}
// Project frame units: geometry coordinates as they are.
geometry::GeoFrame UnitFrame(const Project& p) {
  geometry::GeoFrame f = PixelFrame(p);
  f.width = 1.0f;
  f.height = f.aspect;
  return f;
}

}  // namespace

LumetraGeometry SvcGeometryFind(LumetraProject project, const char* name) {
  return ServiceGuard<LumetraGeometry>(nullptr, nullptr, [&]() -> LumetraGeometry {
    if (name == nullptr) return nullptr;
    RenderLockGuard lock(RenderLock());
    auto* p = reinterpret_cast<Project*>(project);
    if (p == nullptr) p = CurrentProject();
    if (p == nullptr || !IsListed(p)) return nullptr;
    std::lock_guard geo(geometry::GeoLock());
    return reinterpret_cast<LumetraGeometry>(p->geometry.FindByName(name));
  });
}

int32_t SvcGeoGetCurves(HostCallContext* ctx, LumetraGeometry geometry, float time,
                        int32_t closed_only, intptr_t user, LumetraCurveCallback callback) {
  return ServiceGuard<int32_t>(ctx, 0, [&] {
    if (callback == nullptr) return 0;
    RenderLockGuard lock(RenderLock());
    const Project* p = CallProject(ctx);
    if (p == nullptr) return 0;
    return geometry::GeoGetCurves(PixelFrame(*p), AsGeometry(geometry), time, closed_only != 0,
                                  user, callback);
  });
}

float SvcGeoDistanceFrame(HostCallContext* ctx, LumetraGeometry geometry, float time, float x,
                          float y) {
  return ServiceGuard<float>(ctx, geometry::kGeoNoDistance, [&] {
    RenderLockGuard lock(RenderLock());
    const Project* p = CallProject(ctx);
    if (p == nullptr) return geometry::kGeoNoDistance;
    return geometry::GeoDistance(UnitFrame(*p), AsGeometry(geometry), time, x, y);
  });
}

float SvcGeoDistance(HostCallContext* ctx, LumetraGeometry geometry, float time, float x, float y) {
  return ServiceGuard<float>(ctx, geometry::kGeoNoDistance, [&] {
    RenderLockGuard lock(RenderLock());
    const Project* p = CallProject(ctx);
    if (p == nullptr) return geometry::kGeoNoDistance;
    return geometry::GeoDistance(PixelFrame(*p), AsGeometry(geometry), time, x, y);
  });
}

int32_t SvcV_GeoSubgeoGet(LumetraGeometry geometry, LumetraGeometry* members, int32_t capacity) {
  return ServiceGuard<int32_t>(nullptr, 0, [&] {
    if (capacity < 0 || (capacity > 0 && members == nullptr)) return 0;
    RenderLockGuard lock(RenderLock());
    for (const Project* p = ProjectListHead(); p != nullptr; p = p->next) {
      std::lock_guard geo(geometry::GeoLock());
      if (!p->geometry.Holds(AsGeometry(geometry))) continue;
      return geometry::V_GeoSubgeoGet(p->geometry, AsGeometry(geometry),
                                      reinterpret_cast<geometry::Geometry**>(members), capacity);
    }
    return 0;
  });
}

LumetraGeometry SvcClipGeometryField(HostCallContext* ctx, LumetraGeometry* field) {
  return ServiceGuard<LumetraGeometry>(ctx, nullptr, [&]() -> LumetraGeometry {
    if (field == nullptr) return nullptr;
    RenderLockGuard lock(RenderLock());
    const Project* p = CallProject(ctx);
    if (p == nullptr) return nullptr;
    std::lock_guard geo(geometry::GeoLock());
    return p->geometry.Holds(AsGeometry(*field)) ? *field : nullptr;
  });
}

LumetraGeometry SvcClipGeometryByFieldName(HostCallContext* ctx, const char* field_name) {
  return ServiceGuard<LumetraGeometry>(ctx, nullptr, [&]() -> LumetraGeometry {
    if (field_name == nullptr) return nullptr;
    RenderLockGuard lock(RenderLock());
    const Clip* clip = ContextClip(ctx);
    if (clip == nullptr || clip->data == nullptr || clip->process == nullptr ||
        clip->process->data_template == nullptr) {
      ObjectReportError(ctx, kNoClipText);
      return nullptr;
    }
    const TemplateField* f =
        TemplateFindField(*clip->process->data_template, field_name, FIELD_TYPE_GEOMETRY);
    if (f == nullptr) return nullptr;
    LumetraGeometry g = nullptr;
    std::memcpy(&g, static_cast<const uint8_t*>(clip->data) + f->offset, sizeof g);
    const Project* p = CallProject(ctx);
    if (p == nullptr) return nullptr;
    std::lock_guard geo(geometry::GeoLock());
    return p->geometry.Holds(AsGeometry(g)) ? g : nullptr;
  });
}

int32_t SvcGeometryName(LumetraGeometry geometry, char* buffer, int32_t size) {
  return ServiceGuard<int32_t>(nullptr, 0, [&] {
    if (buffer == nullptr || size <= 0) return 0;
    buffer[0] = '\0';
    RenderLockGuard lock(RenderLock());
    for (const Project* p = ProjectListHead(); p != nullptr; p = p->next) {
      std::lock_guard geo(geometry::GeoLock());
      if (!p->geometry.Holds(AsGeometry(geometry))) continue;
      const std::string& name = AsGeometry(geometry)->name;
      const std::size_t n = std::min(name.size(), static_cast<std::size_t>(size) - 1);
      std::memcpy(buffer, name.data(), n);
      buffer[n] = '\0';
      return 1;
    }
    return 0;
  });
}

int32_t SvcGeoGetBBox(HostCallContext* ctx, LumetraGeometry geometry, float box[4], float time) {
  return ServiceGuard<int32_t>(ctx, 0, [&] {
    if (box == nullptr) return 0;
    RenderLockGuard lock(RenderLock());
    const Project* p = CallProject(ctx);
    if (p == nullptr) return 0;
    const geometry::GeoFrame frame = PixelFrame(*p);
    geometry::GeoGetBBox(frame, AsGeometry(geometry), box, time);
    std::lock_guard geo(geometry::GeoLock());
    return p->geometry.Holds(AsGeometry(geometry)) ? 1 : 0;
  });
}

}  // namespace lumetra::project
