// Keyframe curves: a curve is a pointer to its first KeyfloatKey.
#pragma once

#include "plugin/lumetra_plugin.h"

namespace lumetra::anim {

// A new list with every field copied and the links rebuilt; null for an empty curve or
// when memory runs out (a partial copy is freed).
KeyfloatKey* KeyfloatCopy(const KeyfloatKey* first);
// Frees every key of the list.
void KeyfloatFree(KeyfloatKey* first);

}  // namespace lumetra::anim
