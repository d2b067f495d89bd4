// Temporary stand-in for the curve evaluator and key insertion until the anim module's land.
#include <cstdint>

#include "geometry/geo_anim_pending.h"

namespace lumetra::anim {

void KeyfloatEvaluate(const KeyfloatKey* first, float t, float* x, float* y, float* z) {
  if (first == nullptr) {
    *x = *y = *z = 0.f;
    return;
  }
  const KeyfloatKey* k = first;
  if (t <= k->time || k->next == nullptr) {
    *x = k->x, *y = k->y, *z = k->z;
    return;
  }
  while (k->next != nullptr && k->next->time <= t) k = k->next;
  if (k->next == nullptr) {
    *x = k->x, *y = k->y, *z = k->z;
    return;
  }
  const KeyfloatKey* n = k->next;
  float s = (t - k->time) / (n->time - k->time);
  *x = k->x + (n->x - k->x) * s;
  *y = k->y + (n->y - k->y) * s;
  *z = k->z + (n->z - k->z) * s;
}

KeyfloatKey* KeyfloatKeySet(KeyfloatKey** first, float t, int8_t n, float x, float y, float z) {
  KeyfloatKey* prev = nullptr;
  for (KeyfloatKey* k = *first; k != nullptr; k = k->next) {
    if (k->time > t - 1e-6f && k->time < t + 1e-6f) {
      k->x = x, k->y = y, k->z = z;
      return k;
    }
    if (k->time < t) prev = k;
  }
  auto* key = new KeyfloatKey{};
  key->time = t, key->x = x, key->y = y, key->z = z, key->components = n;
  key->prev = prev;
  key->next = prev ? prev->next : *first;
  if (key->next) key->next->prev = key;
  (prev ? prev->next : *first) = key;
  return key;
}

}  // namespace lumetra::anim
