// Operations on geometries: creation, transform, linking, membership, deletion, names.
// Callers that may run beside other threads hold GeoLock(); the public services of
// geo_services.h take it themselves.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "geometry/geometry.h"
#include "geometry/geometry_list.h"

namespace lumetra::geometry {

// ---- Creation -------------------------------------------------------------------------

// A new record with its kind's empty data: position key (x, y), rotation key 0 and scale
// key (1, 1) at `time`; a vertex also gets its handles keyed (0, 0). Null for an unknown
// kind, a name longer than kGeoNameMax, or when memory runs out.
std::unique_ptr<Geometry> GeoCreate(int kind, std::string_view name, float x, float y,
                                    uint32_t colour, uint32_t colour2, float time);
// Copies every geometry of src to the end of dst, links and members re-pointed to the
// copies. False when memory runs out (dst keeps what was copied, consistently linked).
bool GeoListCopy(const GeometryList& src, GeometryList& dst);

// ---- Curves ---------------------------------------------------------------------------

// The curve of a track (0 position, 1 rotation, 2 scale, 3 V, 4 W); null address when the
// geometry has no such track.
KeyfloatKey** GeoTrack(Geometry* g, int track);

// ---- Transform ------------------------------------------------------------------------

// Brings g's cached world values up to date for `time`; returns the generation counter.
uint32_t GeoEvaluate(Geometry* g, float time);
// Invalidates every cache of the list, then evaluates every geometry in list order.
void GeoEvaluateAll(GeometryList& list, float time);
// Invalidates the cache of g and of every geometry linked below it.
void GeoInvalidate(Geometry* g);
void GeoWorldPosition(Geometry* g, float time, float* x, float* y);
// Handles of a vertex in world orientation; all zeros for another kind. Outs optional.
void GeoVertexHandles(Geometry* g, float time, float* vx, float* vy, float* wx, float* wy);
// Keys both handle curves at `time` so that the world handles become the given vectors.
// False for a non-vertex, a world scale of 0 or when memory runs out.
bool GeoVertexSetHandles(Geometry* g, float time, float vx, float vy, float wx, float wy);

// ---- Links ----------------------------------------------------------------------------

enum class GeoLinkResult {
  kLinked = 1,
  kRefused = 0,     // child is parent or one of its ancestors, or another list's
  kZeroScale = -1,  // the parent's world scale is 0 on an axis at `time`
  kNoMemory = -2,
};
// Links child under parent at `time` keeping the child in place on screen.
GeoLinkResult GeoLink(Geometry* parent, Geometry* child, float time);
// Unlinks child at `time` keeping it in place; no effect on a Vector or an unlinked one.
// True when a link was removed.
bool GeoUnlink(Geometry* child, float time);
// True when a is b or an ancestor of b through parent links.
bool GeoIsAncestorOrSelf(const Geometry* a, const Geometry* b);

// ---- Membership -----------------------------------------------------------------------

// Calls cb with the address of each member slot (contour vertices, group members, morph
// pair A then B). cb returns 1 to go on, 2 to stop with success, else stops with that
// value. Returns 1 when every member was visited or the walk stopped with success. The
// callback may change a slot's value but must not add or remove members.
template <typename F>
int GeoEnumerate(Geometry* g, F&& cb);
// True when g is the container or is reached from it through membership, recursively.
bool GeoContains(Geometry* container, const Geometry* g);

enum class GeoAttachResult {
  kAttached = 1,
  kSelf = 0,        // "Can't attach geometry to self. Cancelled."
  kCycle = -1,      // "Cycle attachment. Cancelled."
  kWrongKind = -2,  // container not a group or contour, or a contour member not a vertex
  kForeign = -3,    // the two are not in the same list
};
// Appends member to a group's members or a contour's vertices. Links nothing.
GeoAttachResult GeoAttach(Geometry* container, Geometry* member);
// Removes every slot of container that holds member; returns how many.
int GeoDetach(Geometry* container, Geometry* member);
// Removes member from every contour and group that holds it; returns how many slots.
int GeoDetachEverywhere(Geometry* member);
// Sets side 0 (A) or 1 (B) of a morph pair to a contour of the same list, or to null.
bool GeoMpairAssign(Geometry* pair, int side, Geometry* contour);
// Sets an extra reference slot (0 or 1) of a vertex.
bool GeoVertexSetRef(Geometry* vertex, int slot, Geometry* target);

// ---- Deletion, usage, temporaries ------------------------------------------------------

// Deletes g (see the deletion rules): children that are Vectors always, others only with
// the subtree; clip references cleared through the list's hooks; g leaves every contour,
// group and morph pair; a Vector that held it is deleted. Children that stay are
// unlinked at `time`, keeping their place on screen.
void GeoDeleteEx(Geometry* g, bool with_subtree, float time);
// References to g from clips' geometry fields and from member slots of geometries that g
// does not contain.
int GeoUsageCount(Geometry* g);
// Deletes (without subtree) every temporary geometry no clip data refers to; returns how
// many were deleted.
int GeoPurgeTemporary(GeometryList& list, float time);

// ---- Names ----------------------------------------------------------------------------

// A unique name base + "%.3d" (below 1000) or base + "%d" (1000 to 9999); false when no
// number is free or the result would be too long.
bool GeoMakeName(std::string_view base, std::string& out, GeometryList& list);
// Replaces the name; false when it is too long or another geometry of the list bears it.
bool GeoRename(Geometry* g, std::string_view name);
Geometry* GeoFindByName(const GeometryList& list, std::string_view name);
// Copies at most size - 1 characters and a NUL; returns the characters copied.
std::size_t GeoGetName(const Geometry* g, char* buffer, std::size_t size);
// The first free name prefix + n for n = 1, 2, ... up to 9999, the number as "%.3d"
// (zero_pad, "Vertex001") or "%3d" ("User group   1"); false when none is free.
bool GeoFirstFreeName(std::string_view prefix, bool zero_pad, std::string& out,
                      const GeometryList& list);

// ---- Template definitions --------------------------------------------------------------

template <typename F>
int GeoEnumerate(Geometry* g, F&& cb) {
  int result = 1;
  // One slot; false when the walk ends (result then holds its value).
  auto step = [&](Geometry** slot) {
    int r = cb(slot);
    if (r == 1) return true;
    result = r == 2 ? 1 : r;
    return false;
  };
  std::vector<Geometry*>* slots = nullptr;
  if (auto* c = g->Contour()) slots = &c->vertices;
  if (auto* gr = g->Group()) slots = &gr->members;
  if (slots != nullptr) {
    for (std::size_t i = 0; i < slots->size(); ++i)
      if (!step(&(*slots)[i])) return result;
  } else if (auto* m = g->MorphPair()) {
    if (step(&m->a)) step(&m->b);
  }
  return result;
}

}  // namespace lumetra::geometry
