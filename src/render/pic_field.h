// Field operations: weaving one field into a frame and de-interlacing.
#pragma once

#include <cstdint>

#include "plugin/lumetra_plugin.h"

namespace lumetra::render {

// Copies into `dest` the rows whose absolute row (dest y + row) is odd when `odd` is set,
// even when it is clear, each from source row (absolute row - source y). Rows without a
// source row are left alone, and a row copies no more pixels than both pictures have.
// 1, or 0 with PIC_ERROR_NULL when either picture is missing.
int32_t PicWeaveField(PIC* dest, const PIC* source, int32_t odd);

// Rebuilds in place the rows whose buffer index has the parity of `field` (0 or 1; only
// its lowest bit counts): each from the average of its neighbours, or a copy of its only
// neighbour at the first and last row. A picture of one row is left as it is.
// 1, or 0 with PIC_ERROR_NULL for no usable picture.
int32_t PicDeinterlace(PIC* pic, int32_t field);

// The same into a new picture (x, y and tag of the source; the other rows copied).
PIC* PicDeinterlaceCopy(const PIC* pic, int32_t field);

}  // namespace lumetra::render
