// Helpers shared by the geometry sources; not part of the module's interface.
#pragma once

#include "geometry/geo_bytes.h"
#include "geometry/geometry.h"

namespace lumetra::geometry {

inline constexpr uint16_t kChunkCurve = 0xBF09;
inline constexpr uint16_t kChunkHeaderSize = 6;

// Registers the member slots and extra references of a freshly filled geometry in the
// indexes of the geometries they name.
void GeoRegisterMembers(Geometry* g);
// Removes one entry equal to value from v (order kept); false when there was none.
bool GeoEraseOne(std::vector<Geometry*>& v, const Geometry* value);

// Curve chunk 0xBF09: 38-byte keys, little-endian.
void GeoWriteCurve(ByteWriter& w, const KeyfloatKey* first);
// Reads one curve chunk (header included) from r into *out (null for an empty chunk).
// Key times are divided by time_divisor; non-finite values are made safe. False when the
// chunk is damaged or memory runs out (nothing is allocated then).
bool GeoReadCurve(ByteReader& r, KeyfloatKey** out, float time_divisor);
// Curve value helpers: an empty curve gives the fallback values.
void GeoCurveValue(const KeyfloatKey* c, float t, float fallback_x, float fallback_y, float* x,
                   float* y);

}  // namespace lumetra::geometry
