// Curve operations this module uses, declared until the anim header carries them.
#pragma once

#include <cstdint>

#include "anim/keyfloat.h"

namespace lumetra::anim {
void KeyfloatEvaluate(const KeyfloatKey* first, float t, float* x, float* y, float* z);
KeyfloatKey* KeyfloatKeySet(KeyfloatKey** first, float t, int8_t components, float x, float y,
                            float z);
}  // namespace lumetra::anim
