// Writing and reading the curve chunk field by field.
#include "anim/keyfloat_chunk.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "anim/keyfloat.h"

namespace lumetra::anim {

namespace {

// NaN becomes 0; anything else is clamped into [-limit, limit].
float Bounded(float v, float limit) {
  return std::isnan(v) ? 0.f : std::clamp(v, -limit, limit);
}

int8_t StoredComponents(uint8_t stored) {
  return static_cast<int8_t>(stored < 1 ? 1 : stored > 3 ? 3 : stored);
}

}  // namespace

int KeyfloatChunkWrite(platform::ByteWriter& out, const KeyfloatKey* first) {
  uint64_t length = kKeyfloatChunkHeaderSize;
  for (const KeyfloatKey* k = first; k; k = k->next) length += kKeyfloatKeySize;
  if (length > std::numeric_limits<uint32_t>::max()) return 0;
  out.U16(kKeyfloatChunkId);
  out.U32(static_cast<uint32_t>(length));
  for (const KeyfloatKey* k = first; k; k = k->next) {
    for (float v : {k->time, k->tension, k->continuity, k->bias, k->ease_from, k->ease_to, k->x,
                    k->y, k->z}) {
      out.F32(v);
    }
    out.I8(k->components);
    out.U8(k->flags);
  }
  return 1;
}

int KeyfloatPayloadRead(std::span<const uint8_t> payload, KeyfloatKey** out) {
  *out = nullptr;
  platform::ByteReader in(payload);
  KeyfloatKey* head = nullptr;
  KeyfloatKey* tail = nullptr;
  bool sorted = true;
  while (in.Remaining() >= kKeyfloatKeySize) {
    float f[9] = {};
    uint8_t components = 0, flags = 0;
    for (float& v : f) in.F32(v);
    in.U8(components);
    in.U8(flags);
    if (!KeyfloatTimeValid(f[0])) continue;
    auto* key = new (std::nothrow) KeyfloatKey{};
    if (key == nullptr) {
      KeyfloatFree(head);
      return kKeyfloatReadNoMemory;
    }
    key->time = f[0];
    key->tension = Bounded(f[1], kKeyfloatShapeLimit);
    key->continuity = Bounded(f[2], kKeyfloatShapeLimit);
    key->bias = Bounded(f[3], kKeyfloatShapeLimit);
    key->ease_from = Bounded(f[4], kKeyfloatShapeLimit);
    key->ease_to = Bounded(f[5], kKeyfloatShapeLimit);
    key->x = Bounded(f[6], kKeyfloatValueLimit);
    key->y = Bounded(f[7], kKeyfloatValueLimit);
    key->z = Bounded(f[8], kKeyfloatValueLimit);
    key->components = StoredComponents(components);
    key->flags = flags;
    key->prev = tail;
    if (tail && key->time < tail->time) sorted = false;
    (tail ? tail->next : head) = key;
    tail = key;
  }
  // Epsilon 0 merges nothing: the keys are only put in order.
  if (!sorted) KeyfloatSortMerge(&head, 0.f, 0);
  *out = head;
  return kKeyfloatReadOk;
}

int KeyfloatChunkRead(platform::ByteReader& in, KeyfloatKey** out) {
  *out = nullptr;
  platform::ByteReader probe = in;
  uint16_t id = 0;
  uint32_t length = 0;
  if (!probe.U16(id) || !probe.U32(length) || id != kKeyfloatChunkId ||
      length < kKeyfloatChunkHeaderSize) {
    return kKeyfloatReadBadChunk;
  }
  std::span<const uint8_t> payload;
  if (!probe.Bytes(length - kKeyfloatChunkHeaderSize, payload)) return kKeyfloatReadBadChunk;
  const int result = KeyfloatPayloadRead(payload, out);
  if (result == kKeyfloatReadOk) in = probe;
  return result;
}

}  // namespace lumetra::anim
