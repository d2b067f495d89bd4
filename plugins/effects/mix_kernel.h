// The two-picture mix over the union of both rectangles, and the plain row copy.
#pragma once

#include <cstdint>

#include "placed_view.h"

namespace lumetra::effects {

// Share of B in 1/4096: trunc(f x 4096), f clamped to 0..1 (NaN reads as 0).
int32_t MixShare(double f);

// Which vector path runs: kWidest the widest this processor has; kOneRow one row at a time
// in 128-bit lanes (every x86-64), kTwoRows two rows side by side in 256-bit lanes (AVX2),
// kWideRow sixteen pixels of one row at a time in 16-bit lanes (AVX-512BW and VBMI). A path
// the processor lacks runs as kOneRow. Every choice gives the same bytes.
enum class MixLanes { kWidest, kOneRow, kTwoRows, kWideRow };

// Whether MixPictures can run on these lanes here.
bool MixLanesAvailable(MixLanes lanes);

// out (placed on the union of a and b, every pixel written) = a x (4096 - kb) + b x kb in
// 1/4096, all four channels, pixels a or b do not cover reading 0. The remainder of each
// channel carries to the next pixel of the row and starts at 0 on every row, so a 50 % mix
// of 0 and 255 alternates 127 and 128 instead of flattening to 127.
KernelStatus MixPictures(const PlacedView& a, const PlacedView& b, const PlacedImage& out,
                         int32_t kb, const BandRunner& bands, const AbortCheck& abort = {},
                         MixLanes lanes = MixLanes::kWidest);

// Copies src into dst (same size) row by row over the bands.
KernelStatus CopyRows(const ConstImageView& src, const ImageView& dst, const BandRunner& bands,
                      const AbortCheck& abort = {});

}  // namespace lumetra::effects
