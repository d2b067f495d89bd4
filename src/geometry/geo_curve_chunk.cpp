// Curves inside geometry chunks (id 0xBF09, 38-byte keys) and curve value helpers.
#include <cmath>

#include "anim/keyfloat.h"
#include "anim/keyfloat_chunk.h"
#include "geometry/geo_internal.h"

namespace lumetra::geometry {

void GeoCurveValue(const KeyfloatKey* c, float t, float fallback_x, float fallback_y, float* x,
                   float* y) {
  if (c == nullptr) {
    *x = fallback_x;
    *y = fallback_y;
    return;
  }
  float vx = 0.f, vy = 0.f, vz = 0.f;
  anim::KeyfloatEvaluate(c, t, &vx, &vy, &vz);
  *x = vx;
  *y = vy;
}

void GeoWriteCurve(ByteWriter& w, const KeyfloatKey* first) {
  std::size_t at = GeoOpenChunk(w, kChunkCurve);
  for (const KeyfloatKey* k = first; k != nullptr; k = k->next) {
    for (float v :
         {k->time, k->tension, k->continuity, k->bias, k->ease_from, k->ease_to, k->x, k->y, k->z})
      w.F32(v);
    w.U8(static_cast<uint8_t>(k->components));
    w.U8(k->flags);
  }
  GeoCloseChunk(w, at);
}

bool GeoReadCurve(ByteReader& r, KeyfloatKey** out, float time_divisor) {
  *out = nullptr;
  uint16_t id;
  uint32_t len;
  std::span<const uint8_t> payload;
  if (!r.U16(id) || !r.U32(len) || id != kChunkCurve || len < kChunkHeaderSize ||
      !r.Bytes(len - kChunkHeaderSize, payload))
    return false;
  // The curve module vets the keys (times, NaNs, limits, order) as for every stored curve.
  if (anim::KeyfloatPayloadRead(payload, out) != anim::kKeyfloatReadOk) return false;
  if (time_divisor > 1.f && std::isfinite(time_divisor)) {
    for (KeyfloatKey* k = *out; k != nullptr; k = k->next) k->time /= time_divisor;
    anim::KeyfloatEdited();
  }
  return true;
}

}  // namespace lumetra::geometry
