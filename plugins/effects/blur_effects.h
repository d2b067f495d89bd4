// The blur family's make functions: Blur, Spread and Motion Blur.
#pragma once

#include "host_api.h"

namespace effects {

// Init functions: the effects' defaults.
int32_t BlurInit(HostCallContext* ctx, void* data);
int32_t SpreadInit(HostCallContext* ctx, void* data);
int32_t MotionBlurInit(HostCallContext* ctx, void* data);

PIC* BlurMake(HostCallContext* ctx, void* data, float from, float to, float t);
PIC* SpreadMake(HostCallContext* ctx, void* data, float from, float to, float t);
// Keeps its progress in the render request's user word while input frames are missing.
PIC* MotionBlurMake(HostCallContext* ctx, void* data, float from, float to, float t);

}  // namespace effects
