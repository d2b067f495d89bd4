#include "least_make.h"

#include <cstring>

#include "runtime.h"

namespace effects {

int32_t InitDefaults(HostCallContext*, void*) { return 1; }

uintptr_t EditWithoutDialog(HostCallContext*, void*) { return 0; }

PIC* LeastMakeCopy(HostCallContext* ctx, void*, float, float, float t) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    const PIC* in = HostGetInputFrame(ctx, 0, t);
    if (in == nullptr || in->pixels == nullptr || in->width < 1 || in->height < 1) {
      return nullptr;
    }
    OutputPic out = CreateOutputPic(ctx, in->width, in->height, in);
    if (!out) return nullptr;
    const size_t row_bytes = static_cast<size_t>(in->width) * 4;
    const bool done = ForEachRow(ctx, in->height, [&](int32_t row) {
      std::memcpy(out->pixels + row * row_bytes, in->pixels + row * row_bytes, row_bytes);
    });
    return done ? out.release() : nullptr;
  });
}

PIC* LeastMakeTransparent(HostCallContext* ctx, void*, float, float, float) {
  return Guarded<PIC*>(ctx, nullptr, [&]() -> PIC* {
    int32_t width = 0;
    int32_t height = 0;
    if (!FrameSize(ctx, &width, &height)) {
      HostReportError(ctx, kTextIllegalParameter);
      return nullptr;
    }
    return CreateOutputPic(ctx, width, height, nullptr).release();
  });
}

void* LeastMakeSound(HostCallContext*, void*, float, float, int32_t, int32_t, int32_t) {
  return nullptr;
}

int32_t AcceptNoFile(HostCallContext*, const char*) { return 0; }

void* MetaBrowserNone(HostCallContext*, const char*, void*, float, int32_t, int32_t) {
  return nullptr;
}

void* GeometryBrowserNone(HostCallContext*, const char*, void*, int32_t, int32_t) {
  return nullptr;
}

}  // namespace effects
