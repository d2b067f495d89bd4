// The compositing effects: Mix, Chained Mix, Copy, Paste, Crop, the Multitrack switcher
// and the Channel Processor. Each has its defaults and its make function.
#pragma once

#include "host_api.h"

namespace effects {

inline constexpr const char* kTextImageAllocation = "IMAGE allocation error";
inline constexpr const char* kTextPicCopy = "PIC copy";
inline constexpr const char* kTextNoMemoryInPaster = "NO MEMORY in Paster";
inline constexpr const char* kTextErrorScaling = "Error scaling PIC";
inline constexpr const char* kTextNoInputs = "No inputs";

// The frame rate Chained Mix works with when the host answers none (the host's own rate
// without a project).
inline constexpr int32_t kFallbackFrameRate = 25;

int32_t MixInit(HostCallContext* ctx, void* data);
PIC* MixMake(HostCallContext* ctx, void* data, float from, float to, float t);
int32_t ChainedMixInit(HostCallContext* ctx, void* data);
PIC* ChainedMixMake(HostCallContext* ctx, void* data, float from, float to, float t);
PIC* CopyMake(HostCallContext* ctx, void* data, float from, float to, float t);
int32_t PasteInit(HostCallContext* ctx, void* data);
PIC* PasteMake(HostCallContext* ctx, void* data, float from, float to, float t);
int32_t CropInit(HostCallContext* ctx, void* data);
PIC* CropMake(HostCallContext* ctx, void* data, float from, float to, float t);
int32_t SwitcherInit(HostCallContext* ctx, void* data);
PIC* SwitcherMake(HostCallContext* ctx, void* data, float from, float to, float t);
int32_t ChannelProcessorInit(HostCallContext* ctx, void* data);
PIC* ChannelProcessorMake(HostCallContext* ctx, void* data, float from, float to, float t);

}  // namespace effects
