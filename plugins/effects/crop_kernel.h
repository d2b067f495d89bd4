// Crop's pixel steps: anti-aliased rectangle coverage and laying the input into the cut.
#pragma once

#include <cstdint>

#include "placed_view.h"

namespace lumetra::effects {

// Multiplies every alpha of out by the pixel's coverage of the rectangle (x0, y0)-(x1, y1)
// in frame coordinates: covered width times covered height, each clamped to 0..1, so an
// inverted rectangle covers nothing.
KernelStatus MultiplyRectCoverage(const PlacedImage& out, double x0, double y0, double x1,
                                  double y1, const BandRunner& bands);

// Copies the input's colours into out where they overlap. by_source: alpha x input alpha /
// 255 there and 0 where the input has no pixel; else the alpha stays, except on the
// input's rows outside its columns, which get 0.
KernelStatus CropComposite(const PlacedView& input, const PlacedImage& out, bool by_source,
                           const BandRunner& bands, const AbortCheck& abort = {});

}  // namespace lumetra::effects
