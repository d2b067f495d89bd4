// Geometry typed objects: creation with template values, attach, link and the selection
// walks, all in the current project's geometry list.
#include "host/object_geometry.h"

#include <cstring>
#include <mutex>
#include <string>

#include "geometry/geo_ops.h"
#include "host/object_error.h"
#include "host/object_kind.h"
#include "model/project.h"

namespace lumetra::project {
namespace {

using geometry::Geometry;

constexpr int32_t kGeometryKind = FIELD_TYPE_GEOMETRY;  // the tag of geometry objects
constexpr uint32_t kCreatedFlags = geometry::kGeoMarked;
constexpr uint32_t kCreatedColour = 0xC87F00, kCreatedColour2 = 0xFFFF00;

geometry::GeometryList* List() {
  Project* p = CurrentProject();
  return p != nullptr ? &p->geometry : nullptr;
}

Geometry* AsGeometry(void* object) {
  geometry::GeometryList* list = List();
  return list != nullptr && list->Holds(static_cast<Geometry*>(object))
             ? static_cast<Geometry*>(object)
             : nullptr;
}

// The value of a template field of this name and type in the caller's structure.
template <class T>
bool FieldValue(const Template* tmpl, const void* data, const char* name, int32_t type, T& out) {
  if (tmpl == nullptr || data == nullptr) return false;
  const TemplateField* f = TemplateFindField(*tmpl, name, type);
  if (f == nullptr) return false;
  std::memcpy(&out, static_cast<const unsigned char*>(data) + f->offset, sizeof out);
  return true;
}

void* Create(HostCallContext* ctx, std::string_view what, const Template* tmpl, const void* data) {
  int kind = geometry::kGeoVertex;
  const char* base = "v";
  const char* failure = "Can't create vertex";
  if (what.size() == 7) {  // "contour"
    kind = geometry::kGeoContour, base = "C", failure = "Can't create contour";
  } else if (what.size() == 5) {  // "shape"
    kind = geometry::kGeoGroup, base = "Group", failure = "Can't create group";
  }
  geometry::GeometryList* list = List();
  if (list == nullptr) {
    ObjectReportError(ctx, failure);
    return nullptr;
  }
  std::lock_guard lock(geometry::GeoLock());
  const char* given = nullptr;
  FieldValue(tmpl, data, "name", FIELD_TYPE_STRING, given);
  // A given name stays as it is when free; a taken one, or the default, gets a number.
  std::string name = given != nullptr ? std::string(given).substr(0, geometry::kGeoNameMax) : "";
  if (name.empty() || list->NameTaken(name)) {
    std::string stem = name.empty() ? base : name.substr(0, geometry::kGeoNameMax - 4);
    name.clear();
    geometry::GeoMakeName(stem, name, *list);
  }
  if (name.empty()) {
    ObjectReportError(ctx, failure);
    return nullptr;
  }
  float x = 0.5f, y = 0.5f;
  FieldValue(tmpl, data, "x", FIELD_TYPE_FLOAT, x);
  FieldValue(tmpl, data, "y", FIELD_TYPE_FLOAT, y);
  auto made = geometry::GeoCreate(kind, name, x, y, kCreatedColour, kCreatedColour2, 0);
  if (!made) {
    ObjectReportError(ctx, failure);
    return nullptr;
  }
  made->flags |= kCreatedFlags;
  Geometry* g = list->Append(std::move(made));
  Geometry* link_to = nullptr;
  if (FieldValue(tmpl, data, "linkto", FIELD_TYPE_GEOMETRY, link_to) && list->Holds(link_to))
    geometry::GeoLink(link_to, g, 0);
  Geometry* attach_to = nullptr;
  if (FieldValue(tmpl, data, "attachto", FIELD_TYPE_GEOMETRY, attach_to) &&
      list->Holds(attach_to) && attach_to->kind == geometry::kGeoGroup)
    geometry::GeoAttach(attach_to, g);
  return g;
}

intptr_t Attach(HostCallContext* ctx, void* object, int32_t kind, void* argument) {
  if (object == nullptr) {
    ObjectReportError(ctx, "No object specified");
    return 0;
  }
  Geometry* container = kind == kGeometryKind ? AsGeometry(object) : nullptr;
  if (container == nullptr) return 0;
  if (argument == nullptr) {
    ObjectReportError(ctx, "No object specified to attach");
    return 0;
  }
  Geometry* member = AsGeometry(argument);
  if (member == nullptr) {
    ObjectReportError(ctx, "Child object is not geometry");
    return 0;
  }
  if (container->kind == geometry::kGeoContour && member->kind != geometry::kGeoVertex) {
    ObjectReportError(ctx, "Non-vertex object can't be attached to contour");
    return 0;
  }
  switch (geometry::GeoAttach(container, member)) {
    case geometry::GeoAttachResult::kAttached:
      return 1;
    case geometry::GeoAttachResult::kSelf:
      ObjectReportError(ctx, "Can't attach geometry to self. Cancelled.");
      return 0;
    case geometry::GeoAttachResult::kCycle:
      ObjectReportError(ctx, "Cycle attachment. Cancelled.");
      return 0;
    default:
      ObjectReportError(ctx, "Illegal attachment");
      return 0;
  }
}

intptr_t Link(HostCallContext* ctx, void* object, int32_t kind, void* argument) {
  if (object == nullptr) {
    ObjectReportError(ctx, "No object specified");
    return 0;
  }
  Geometry* parent = kind == kGeometryKind ? AsGeometry(object) : nullptr;
  if (parent == nullptr) return 0;
  if (argument == nullptr) {
    ObjectReportError(ctx, "No child object specified to apply link operation");
    return 0;
  }
  Geometry* child = AsGeometry(argument);
  if (child == nullptr) {
    ObjectReportError(ctx, "Child object is not geometry");
    return 0;
  }
  // A child that is the parent or one of its ancestors is refused (no cycle is made).
  return geometry::GeoLink(parent, child, 0) == geometry::GeoLinkResult::kLinked ? 1 : 0;
}

// A selected ancestor stands for its linked tree: the walk hands that tree out once.
bool AncestorSelected(const Geometry* g) {
  for (const Geometry* p = g->parent; p != nullptr; p = p->parent)
    if (p->flags & geometry::kGeoSelected) return true;
  return false;
}

ObjectOperationHandler NextSelected(bool contours_only, std::string op) {
  return [contours_only, op](HostCallContext* ctx, void* object, int32_t kind, void*) -> intptr_t {
    Geometry* after = nullptr;
    if (object != nullptr) {
      after = kind == kGeometryKind ? AsGeometry(object) : nullptr;
      if (after == nullptr) {
        ObjectReportError(ctx, "Illegal object type specified for '" + op + "' operation");
        return 0;
      }
    }
    geometry::GeometryList* list = List();
    if (list == nullptr) return 0;
    std::lock_guard lock(geometry::GeoLock());
    for (Geometry* g = after != nullptr ? after->next : list->First(); g != nullptr; g = g->next) {
      if ((g->flags & geometry::kGeoSelected) == 0) continue;
      if (contours_only) {
        if (g->kind == geometry::kGeoContour) return reinterpret_cast<intptr_t>(g);
        continue;
      }
      // A selected ancestor stands for it: the walk hands out the linked tree once.
      if (AncestorSelected(g)) continue;
      return reinterpret_cast<intptr_t>(g);
    }
    return 0;
  };
}

// V_ObjectSetValue on a vertex: "vx", "vy", "wx", "wy" (4-byte fields read as f32) key its
// handles; missing ones keep their current values.
int32_t SetHandles(void* object, const Template& tmpl, const void* data) {
  Geometry* g = AsGeometry(object);
  if (g == nullptr || g->kind != geometry::kGeoVertex) return 1;
  std::lock_guard lock(geometry::GeoLock());
  float h[4];
  geometry::GeoVertexHandles(g, 0, &h[0], &h[1], &h[2], &h[3]);
  bool any = false;
  const char* names[4] = {"vx", "vy", "wx", "wy"};
  for (int i = 0; i < 4; ++i) {
    for (int32_t type : {FIELD_TYPE_FLOAT, FIELD_TYPE_DWORD}) {
      if (FieldValue(&tmpl, data, names[i], type, h[i])) {
        any = true;
        break;
      }
    }
  }
  if (any) geometry::GeoVertexSetHandles(g, 0, h[0], h[1], h[2], h[3]);
  return 1;
}

}  // namespace

void ObjectGeometryRegister() {
  ObjectKindHandler h;
  h.kind = kGeometryKind;
  h.create_names = {"vertex", "contour", "shape"};
  h.create = [](HostCallContext* ctx, std::string_view what, const char*, const Template* tmpl,
                const void* data) -> void* { return Create(ctx, what, tmpl, data); };
  h.owns = [](const void* object) {
    geometry::GeometryList* list = List();
    return list != nullptr && list->Holds(static_cast<const Geometry*>(object));
  };
  h.set_from_template = [](HostCallContext*, void* object, const Template& tmpl, const void* data) {
    return SetHandles(object, tmpl, data);
  };
  ObjectKindRegister(std::move(h));
  ObjectOperationRegister("attach", Attach);
  ObjectOperationRegister("link", Link);
  ObjectOperationRegister("NextSelectedGeometry", NextSelected(false, "NextSelectedGeometry"));
  ObjectOperationRegister("NextSelectedContour", NextSelected(true, "NextSelectedContour"));
}

void ObjectGeometryUnregister() {
  ObjectKindUnregister(kGeometryKind);
  for (const char* op : {"attach", "link", "NextSelectedGeometry", "NextSelectedContour"})
    ObjectOperationUnregister(op);
}

}  // namespace lumetra::project
