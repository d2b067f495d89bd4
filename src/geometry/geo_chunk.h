// The geometry list in project files: chunk 0xBF11 holding one 0xBF13 per geometry.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "geometry/geo_kinds.h"
#include "geometry/geometry_list.h"

namespace lumetra::geometry {

inline constexpr uint16_t kChunkGeometryList = 0xBF11;
inline constexpr uint16_t kChunkGeometry = 0xBF13;

struct GeoWriteContext {
  // The number of a temporary geometry's owner clip in this file, or negative when the
  // clip is not written (no owner chunk then). Unset: no owner chunks are written.
  std::function<int32_t(const void* clip)> clip_number;
};

// Numbers the geometries 0, 1, 2 ... in list order: the ids written and used by every
// reference (clip data fields included).
void GeoListNumber(GeometryList& list);
// Numbers the list, then appends a Geometry list chunk with every geometry to out.
void GeoListWrite(GeometryList& list, std::vector<uint8_t>& out, const GeoWriteContext& ctx);

struct GeoReadResult {
  int status = 1;   // 1, or -2 when the list chunk itself is damaged (what was read stays)
  int loaded = 0;   // geometries appended
  int ignored = 0;  // geometry chunks refused
};
// Reads a Geometry list chunk (its header included) and appends its geometries to list,
// then resolves parents, members and references among them by number. A reference that
// is missing, of the wrong kind, or that would close a cycle is dropped. Geometries keep
// the owner clip number read from the file in owner_clip_number for the caller.
GeoReadResult GeoListRead(GeometryList& list, std::span<const uint8_t> chunk,
                          const GeoLoadContext& ctx);

}  // namespace lumetra::geometry
