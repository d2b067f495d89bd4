// The shape raster as first written (full edge-sample planes, per-pixel rules over all of
// them), kept for the tests to hold the fast raster to the same bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "shape_raster.h"

namespace lumetra::effects::reference {

LineCrossings CrossLines(const std::vector<SegmentRecord>& records, int32_t first, int32_t count,
                         const BandRunner& bands);

KernelStatus FillOutline(const ShapeOutline& outline, const ImageView& pic, int32_t x, int32_t y,
                         uint32_t colour, const BandRunner& bands, const AbortCheck& abort = {});

}  // namespace lumetra::effects::reference
