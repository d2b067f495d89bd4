// Spread: n bilinear copies of the picture shifted along a direction, combined by method.
#pragma once

#include <cstdint>
#include <vector>

#include "image_view.h"
#include "row_bands.h"

namespace lumetra::effects {

enum class SpreadMethod : int8_t { kLinear = 0, kAdditive = 1, kManual = 2, kManualAdditive = 3 };

// A stored method byte; values outside 0..3 read as Linear.
SpreadMethod SpreadMethodFrom(int32_t stored);

// Lengths beyond this many pixels are cut to it (a copy shifted further reaches nothing).
inline constexpr double kSpreadMaxLength = 65536.0;

// Length in pixels made usable: NaN is 0, magnitude at most kSpreadMaxLength, sign kept
// (a negative length runs the same offsets in the other order).
double SpreadClampLength(double length);

// One shifted copy: integer shift, bilinear weights in 1/4096, step weight 0..255.
struct SpreadStep {
  int32_t ix = 0, iy = 0;
  int32_t wa = 0, wb = 0, wc = 4096, wd = 0;
  int32_t weight = 255;
};

// The copies for a length (pixels, clamped here) and angle (radians). Manual methods
// take each copy's weight from weight_at(context, i / (n - 1)) (0 when n < 2), clamped
// to 0..1; the others use 255.
std::vector<SpreadStep> SpreadSteps(double length, double angle, SpreadMethod method,
                                    float (*weight_at)(void* context, double t),
                                    void* context);

// dst gets the combination of the copies of src; pixels that no copy reaches are 0.
KernelStatus Spread(const ConstImageView& src, const ImageView& dst,
                    const std::vector<SpreadStep>& steps, SpreadMethod method,
                    const BandRunner& bands, const AbortCheck& abort = {});

}  // namespace lumetra::effects
