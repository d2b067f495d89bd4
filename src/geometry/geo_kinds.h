// The per-kind operation table: one record of operations for each geometry kind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/geometry.h"
#include "platform/byte_io.h"

namespace lumetra::geometry {

using platform::ByteReader;
using platform::ByteWriter;

// One bezier segment in geometry space: start point, its outgoing handle V (relative),
// end point, its incoming handle W (relative). Returns 1 to go on.
using GeoCurveFn = int (*)(intptr_t user, float x0, float y0, float vx, float vy, float x1,
                           float y1, float wx, float wy);
// Member slot visitor of the enumerate slot: 1 go on, 2 stop with success, else stop.
using GeoSlotFn = int (*)(Geometry** slot, intptr_t user1, intptr_t user2);

// A stored reference read from a file, resolved once the whole list is read.
struct GeoPendingRef {
  Geometry* holder;
  int slot;  // contour/group: member index; morph pair: 0 A, 1 B; vertex: 0, 1
  int32_t number;
};

// What a kind's load operation needs besides its bytes.
struct GeoLoadContext {
  int32_t file_version = 1002;  // below 920 a vertex payload has no references
  float time_base = 25.f;       // frames per second, for key times stored in frames
  std::vector<GeoPendingRef>* pending = nullptr;
};

struct GeoKindOps {
  const char* name;
  // Drawing into the work window belongs to the editor; null until one is installed.
  void (*draw)(Geometry* g, void* canvas, float time);
  // Frees the kind data (members are detached first, see GeoDeleteEx).
  void (*free_data)(Geometry* g, bool with_subtree);
  int (*enumerate)(Geometry* g, GeoSlotFn cb, intptr_t user1, intptr_t user2);
  std::size_t (*stored_size)(const Geometry* g);
  void (*save)(const Geometry* g, ByteWriter& w);
  // Reads the kind's payload; references go to ctx.pending. False on damaged data.
  bool (*load)(Geometry* g, ByteReader& r, const GeoLoadContext& ctx);
  // A copy of the kind data for a new geometry (member pointers unchanged); null on
  // allocation failure.
  std::unique_ptr<GeoKindData> (*copy)(const Geometry* g);
  // Distance in geometry units from (x, y) to the geometry; kGeoNoDistance for none.
  float (*distance)(Geometry* g, float time, float x, float y);
  int (*emit_curves)(Geometry* g, float time, bool closed_only, intptr_t user, GeoCurveFn cb);
};

// The record for a kind, or null for a kind that does not exist.
const GeoKindOps* GeoKindTable(int kind);
// A new empty kind data block for a kind (null for Vector and unknown kinds).
std::unique_ptr<GeoKindData> GeoNewKindData(int kind);

}  // namespace lumetra::geometry
