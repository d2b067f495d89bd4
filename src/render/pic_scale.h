// Nearest-neighbour scaling of a picture into a new one.
#pragma once

#include <cstdint>

#include "plugin/lumetra_plugin.h"

namespace lumetra::render {

inline constexpr int32_t kPicScaleMaxSide = 4096;

// A new picture of width x height (each 1..kPicScaleMaxSide) with x, y and tag of the
// source; rows and columns whose source index falls outside the source stay zero.
// Null with PIC_ERROR_NULL for no usable picture, PIC_ERROR_MEMORY for a bad size or
// when memory runs out.
PIC* PicScale(const PIC* pic, int32_t width, int32_t height);

}  // namespace lumetra::render
