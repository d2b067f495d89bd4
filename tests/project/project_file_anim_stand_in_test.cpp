// Stand-ins for two curve operations the geometry module links against, until the curve
// module provides them. Only what project file tests need: keys set in time order.
#include "geometry/geo_anim_pending.h"

namespace lumetra::anim {

void KeyfloatEvaluate(const KeyfloatKey* first, float, float* x, float* y, float* z) {
  if (x) *x = first ? first->x : 0.f;
  if (y) *y = first ? first->y : 0.f;
  if (z) *z = first ? first->z : 0.f;
}

KeyfloatKey* KeyfloatKeySet(KeyfloatKey** first, float t, int8_t components, float x, float y,
                            float z) {
  KeyfloatKey* prev = nullptr;
  KeyfloatKey* k = *first;
  while (k != nullptr && k->time < t) {
    prev = k;
    k = k->next;
  }
  if (k == nullptr || k->time != t) {
    auto* n = new KeyfloatKey{};
    n->time = t;
    n->next = k;
    n->prev = prev;
    if (k) k->prev = n;
    (prev ? prev->next : *first) = n;
    k = n;
  }
  k->components = components;
  k->x = x;
  k->y = y;
  k->z = z;
  return k;
}

}  // namespace lumetra::anim
