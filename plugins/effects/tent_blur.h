// The separable tent blur with truncated integer weights, on all four channels or on
// alpha only: a vertical pass into bytes, then a horizontal pass, each renormalised by
// the weights a clipped window actually uses.
#pragma once

#include <array>
#include <cstdint>

#include "image_view.h"
#include "row_bands.h"

namespace lumetra::effects {

inline constexpr int32_t kTentMaxRadius = 100;

struct TentWeights {
  int32_t radius = 0;  // R: half-width of the window
  std::array<int32_t, kTentMaxRadius + 1> w{};  // w[d] for d = 0..R
};

// R is r rounded up, at most kTentMaxRadius; w[d] = trunc(256 - d * 256 / r) for d <= r,
// else 0, all in double; R = 0 (r not above 0, or NaN) gives the single weight 256.
TentWeights TentWeightsFor(double r);

// The Blur effect's radius: image_width x factor x 5/36 in double, the factor clamped to
// 0..1 (NaN reads as 0).
double BlurRadius(int32_t image_width, float factor);

enum class TentChannels { kAll, kAlpha };

// Blurs src into dst (same size, distinct memory). kAlpha blurs only the alpha byte and
// copies the colour bytes of src. Bands run through `bands`; `abort` is asked on the
// calling thread between row chunks.
KernelStatus TentBlur(const ConstImageView& src, const ImageView& dst, double r,
                      TentChannels channels, const BandRunner& bands,
                      const AbortCheck& abort = {});

}  // namespace lumetra::effects
