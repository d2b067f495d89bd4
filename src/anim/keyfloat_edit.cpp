// Key type presets and time-segment scaling.
#include "anim/keyfloat_edit.h"

#include <algorithm>
#include <cmath>

#include "anim/keyfloat.h"

namespace lumetra::anim {

const KeyTypePreset& KeyTypePresetOf(KeyType type) {
  for (const KeyTypePreset& p : kKeyTypePresets) {
    if (p.type == type) return p;
  }
  return kKeyTypePresets[1];
}

int KeyfloatApplyKeyType(KeyfloatKey* first, KeyType type) {
  constexpr uint8_t kComponentBits =
      KEYFLOAT_FLAG_X_SELECTED | KEYFLOAT_FLAG_Y_SELECTED | KEYFLOAT_FLAG_Z_SELECTED;
  const KeyTypePreset& p = KeyTypePresetOf(type);
  int changed = 0;
  for (KeyfloatKey* k = first; k; k = k->next) {
    if (!(k->flags & kComponentBits)) continue;
    if (k->tension != p.tension || k->continuity != p.continuity || k->bias != p.bias) ++changed;
    k->tension = p.tension;
    k->continuity = p.continuity;
    k->bias = p.bias;
  }
  return changed;
}

void KeyfloatSelectedSpan(const KeyfloatKey* first, float* from, float* to, bool* found) {
  for (const KeyfloatKey* k = first; k; k = k->next) {
    if (!(k->flags & KEYFLOAT_FLAG_SELECTED)) continue;
    if (!*found || k->time < *from) *from = k->time;
    if (!*found || k->time > *to) *to = k->time;
    *found = true;
  }
}

int KeyfloatScaleSelected(KeyfloatKey** first, float from, float to, float new_from, float new_to) {
  if (first == nullptr || !KeyfloatTimeValid(from) || !KeyfloatTimeValid(to) ||
      !KeyfloatTimeValid(new_from) || !KeyfloatTimeValid(new_to)) {
    return 0;
  }
  KeyfloatEdited();
  const bool spread = to - from >= kKeyfloatMergeEpsilon;
  for (KeyfloatKey* k = *first; k; k = k->next) {
    if (!(k->flags & KEYFLOAT_FLAG_SELECTED)) continue;
    const float t =
        spread ? (new_to - new_from) * (k->time - from) / (to - from) + new_from : new_from;
    k->time = std::isnan(t) ? new_from : std::clamp(t, -kKeyfloatTimeLimit, kKeyfloatTimeLimit);
  }
  KeyfloatSortMerge(first, kKeyfloatMergeEpsilon, KEYFLOAT_FLAG_SELECTED);
  return 1;
}

}  // namespace lumetra::anim
