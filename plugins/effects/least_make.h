// The functions an effect has before its own behaviour is built: defaults, no dialog, and
// the least make (a copy of input 0, or a transparent frame for effects without inputs).
#pragma once

#include "host_api.h"

namespace effects {

// The host hands a zeroed block; effects whose defaults are not built yet keep it so.
int32_t InitDefaults(HostCallContext* ctx, void* data);
// No dialog toolkit in this build: no dialog opens.
uintptr_t EditWithoutDialog(HostCallContext* ctx, void* data);
// A copy of input 0 made row by row; no picture while the input is not there.
PIC* LeastMakeCopy(HostCallContext* ctx, void* data, float from, float to, float t);
// A transparent picture of the frame size.
PIC* LeastMakeTransparent(HostCallContext* ctx, void* data, float from, float to, float t);
// No sound yet.
void* LeastMakeSound(HostCallContext* ctx, void* data, float from, float to, int32_t rate,
                     int32_t bytes_per_sample, int32_t channels);
// Offers the effect for no media file yet.
int32_t AcceptNoFile(HostCallContext* ctx, const char* file_name);
// Thumbnails of the two input formats: none yet.
void* MetaBrowserNone(HostCallContext* ctx, const char* file_name, void* info, float position,
                      int32_t width, int32_t height);
void* GeometryBrowserNone(HostCallContext* ctx, const char* file_name, void* info,
                          int32_t width, int32_t height);

}  // namespace effects
