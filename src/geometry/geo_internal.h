// Helpers shared by the geometry sources; not part of the module's interface.
#pragma once

#include <cstring>
#include <span>
#include <string>

#include "geometry/geo_kinds.h"
#include "geometry/geometry.h"
#include "platform/byte_io.h"

namespace lumetra::geometry {

// Chunk framing on the common byte writer: id, a length patched when the chunk closes.
inline std::size_t GeoOpenChunk(ByteWriter& w, uint16_t id) {
  const std::size_t at = w.Size();
  w.U16(id);
  w.U32(0);
  return at;
}
// Sets the chunk's length to everything written since it was opened.
inline void GeoCloseChunk(ByteWriter& w, std::size_t at) {
  w.PatchU32(at + 2, static_cast<uint32_t>(w.Size() - at));
}
inline void GeoCString(ByteWriter& w, const std::string& s) {
  w.Bytes({reinterpret_cast<const uint8_t*>(s.data()), s.size()});
  w.U8(0);
}
// Text up to its NUL (consumed); false, nothing consumed, when no NUL comes before the end.
inline bool GeoCString(ByteReader& r, std::string& s) {
  const std::span<const uint8_t> rest = r.Data().subspan(r.Position());
  const void* nul = std::memchr(rest.data(), 0, rest.size());
  if (nul == nullptr) return false;
  const auto n = static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - rest.data());
  s.assign(reinterpret_cast<const char*>(rest.data()), n);
  return r.Skip(n + 1);
}

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
// The keys are vetted by the curve module's reader; key times are then divided by
// time_divisor. False when the chunk is damaged or memory runs out (nothing allocated).
bool GeoReadCurve(ByteReader& r, KeyfloatKey** out, float time_divisor);
// Curve value helpers: an empty curve gives the fallback values.
void GeoCurveValue(const KeyfloatKey* c, float t, float fallback_x, float fallback_y, float* x,
                   float* y);

}  // namespace lumetra::geometry
