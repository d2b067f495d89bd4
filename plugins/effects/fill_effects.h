// The effects that are little more than the shape filler: Fill Shape, Fill Shape with Drop
// Shadow and the solid colour source Matte.
#pragma once

#include "host_api.h"

namespace effects {

// Fill Shape and Fill Shape/Drop Shadow flags: bits 0 and 1 the mode, bit 2 the shadow's
// alpha output.
inline constexpr int32_t kFillModeMask = 3;
inline constexpr int32_t kFillModeCombine = 0;
inline constexpr int32_t kFillModeUnion = 1;
inline constexpr int32_t kFillShadowAlphaOutput = 1 << 2;

// Init functions: the effects' defaults.
int32_t FillShapeInit(HostCallContext* ctx, void* data);
int32_t FillShapeDropShadowInit(HostCallContext* ctx, void* data);
int32_t MatteInit(HostCallContext* ctx, void* data);

PIC* FillShapeMake(HostCallContext* ctx, void* data, float from, float to, float t);
PIC* FillShapeDropShadowMake(HostCallContext* ctx, void* data, float from, float to, float t);
PIC* MatteMake(HostCallContext* ctx, void* data, float from, float to, float t);

}  // namespace effects
