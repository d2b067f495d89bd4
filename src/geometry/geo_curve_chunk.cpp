// Curves inside geometry chunks (id 0xBF09, 38-byte keys) and curve value helpers.
#include <cmath>
#include <new>

#include "geometry/geo_anim_pending.h"
#include "geometry/geo_internal.h"

namespace lumetra::geometry {

namespace {

constexpr std::size_t kKeyBytes = 38;
constexpr float kKeyTimeMax = 360000.f;

float Finite(float v) {
  return std::isfinite(v) ? v : 0.f;
}
bool TimeOk(float t) {
  return std::isfinite(t) && std::fabs(t) <= kKeyTimeMax;
}

}  // namespace

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
  std::size_t at = w.OpenChunk(kChunkCurve);
  for (const KeyfloatKey* k = first; k != nullptr; k = k->next) {
    for (float v :
         {k->time, k->tension, k->continuity, k->bias, k->ease_from, k->ease_to, k->x, k->y, k->z})
      w.F32(v);
    w.U8(static_cast<uint8_t>(k->components));
    w.U8(k->flags);
  }
  w.CloseChunk(at);
}

bool GeoReadCurve(ByteReader& r, KeyfloatKey** out, float time_divisor) {
  *out = nullptr;
  uint16_t id;
  uint32_t len;
  std::span<const uint8_t> payload;
  if (!r.U16(id) || !r.U32(len) || id != kChunkCurve || len < kChunkHeaderSize ||
      !r.Take(len - kChunkHeaderSize, payload))
    return false;
  if (!(time_divisor >= 1.f) || !std::isfinite(time_divisor)) time_divisor = 1.f;
  std::size_t count = payload.size() / kKeyBytes;
  if (count == 0) return true;

  std::vector<KeyfloatKey> keys;
  try {
    keys.resize(count);
  } catch (const std::bad_alloc&) {
    return false;
  }
  ByteReader kr(payload);
  for (KeyfloatKey& k : keys) {
    uint8_t components = 1, flags = 0;
    kr.F32(k.time);
    for (float* v :
         {&k.tension, &k.continuity, &k.bias, &k.ease_from, &k.ease_to, &k.x, &k.y, &k.z}) {
      kr.F32(*v);
      *v = Finite(*v);
    }
    kr.U8(components);
    kr.U8(flags);
    k.components = static_cast<int8_t>(components < 1 ? 1 : components > 3 ? 3 : components);
    k.flags = flags;
  }
  // A time out of range takes the previous key's, the next key's for the first, or 0.
  for (std::size_t i = 0; i < count; ++i) {
    if (TimeOk(keys[i].time)) continue;
    if (i > 0)
      keys[i].time = keys[i - 1].time;
    else if (count > 1 && TimeOk(keys[1].time))
      keys[i].time = keys[1].time;
    else
      keys[i].time = 0.f;
  }
  KeyfloatKey* head = nullptr;
  KeyfloatKey* tail = nullptr;
  for (KeyfloatKey& k : keys) {
    auto* key = new (std::nothrow) KeyfloatKey(k);
    if (key == nullptr) {
      anim::KeyfloatFree(head);
      return false;
    }
    key->time /= time_divisor;
    key->next = nullptr;
    key->prev = tail;
    (tail ? tail->next : head) = key;
    tail = key;
  }
  *out = head;
  return true;
}

}  // namespace lumetra::geometry
