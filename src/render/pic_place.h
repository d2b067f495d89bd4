// Placing a whole picture, scaled, over a rectangle with sub-pixel edges.
#pragma once

#include "plugin/lumetra_plugin.h"

namespace lumetra::render {

struct RectF {
  float left, top, right, bottom;
};

// A new picture at the rectangle's whole-pixel cover (x = left', y = top', the source's
// tag), nearest-neighbour scaled from the whole source; the alpha of its edge columns and
// rows is scaled by how much of each the rectangle covers. Coordinates are clamped to
// the 16-bit frame range first. Null with PIC_ERROR_NULL for no usable picture, and with
// PIC_ERROR_MEMORY for a coordinate that is not finite, a right or bottom edge before the
// left or top, or when memory runs out.
PIC* PicPlaceInRect(const PIC* pic, RectF rect);

}  // namespace lumetra::render
