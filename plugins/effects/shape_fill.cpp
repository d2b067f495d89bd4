#include "shape_fill.h"

#include <cstring>
#include <new>

#include "runtime.h"
#include "shape_raster.h"

namespace effects {
namespace {

using lumetra::effects::AbortCheck;
using lumetra::effects::BezierSegment;
using lumetra::effects::ImageView;
using lumetra::effects::KernelStatus;
using lumetra::effects::ShapeOutline;

struct Collect {
  ShapeOutline outline;
  float x_offset = 0.f, y_offset = 0.f;
  bool no_memory = false;
};

// Runs under the host's geometry lock: builds the records and nothing else.
int32_t OnSegment(intptr_t user, float x0, float y0, float vx, float vy, float x1, float y1,
                  float wx, float wy) {
  auto* c = reinterpret_cast<Collect*>(user);
  try {
    c->outline.Add(BezierSegment{x0, y0, vx, vy, x1, y1, wx, wy}, c->x_offset, c->y_offset);
    return 1;
  } catch (const std::bad_alloc&) {
    c->no_memory = true;
    return 0;
  }
}

void SetError(char* error, size_t size, const char* text) {
  if (error == nullptr || size == 0) return;
  const size_t n = std::min(std::strlen(text), size - 1);
  std::memcpy(error, text, n);
  error[n] = '\0';
}

bool AbortAsked(void* context, double) {
  return HostCheckAbort(static_cast<HostCallContext*>(context), 0.f);
}

int32_t Fill(HostCallContext* ctx, char* error, size_t error_size, PIC* pic,
             LumetraGeometry geometry, float time, uint32_t colour, float x_offset,
             float y_offset, bool plain) {
  if (pic == nullptr || geometry == nullptr || error == nullptr || error_size == 0) {
    SetError(error, error_size, kTextIllegalParameters);
    return 0;
  }
  error[0] = '\0';
  return Guarded<int32_t>(ctx, 0, [&]() -> int32_t {
    Collect collect;
    collect.x_offset = x_offset;
    collect.y_offset = y_offset;
    const int32_t got =
        HostGeoGetCurves(ctx, geometry, time, true, reinterpret_cast<intptr_t>(&collect), OnSegment);
    if (collect.no_memory) {
      HostReportError(ctx, kTextNoMemory);
      return 0;
    }
    if (got != 1) {
      if (plain && HostErrorTextLength(ctx) == 0) return 1;
      return got;
    }
    if (pic->pixels == nullptr || pic->width < 1 || pic->height < 1) return 1;
    const ImageView view{pic->pixels, static_cast<std::ptrdiff_t>(pic->width) * 4, pic->width,
                         pic->height};
    const KernelStatus status = lumetra::effects::FillOutline(
        collect.outline, view, pic->x, pic->y, colour, MakeBands(), AbortCheck{AbortAsked, ctx});
    if (status == KernelStatus::kNoMemory) {
      HostReportError(ctx, kTextFillTextNoMemory);
      return 0;
    }
    return status == KernelStatus::kOk ? 1 : 0;
  });
}

}  // namespace

int32_t FillShape(HostCallContext* ctx, char* error, size_t error_size, PIC* pic,
                  LumetraGeometry geometry, float time, uint32_t colour) {
  return Fill(ctx, error, error_size, pic, geometry, time, colour, 0.f, 0.f, true);
}

int32_t FillShapeXYOffset(HostCallContext* ctx, char* error, size_t error_size, PIC* pic,
                          LumetraGeometry geometry, float time, uint32_t colour, float x_offset,
                          float y_offset) {
  return Fill(ctx, error, error_size, pic, geometry, time, colour, x_offset, y_offset, false);
}

int32_t PointInShape(HostCallContext* ctx, LumetraGeometry geometry, float x, float y,
                     float time) {
  if (geometry == nullptr) {
    HostReportError(ctx, kTextIllegalParameter);
    return 0;
  }
  return Guarded<int32_t>(ctx, 0, [&]() -> int32_t {
    Collect collect;
    const int32_t got =
        HostGeoGetCurves(ctx, geometry, time, true, reinterpret_cast<intptr_t>(&collect), OnSegment);
    if (collect.no_memory) {
      HostReportError(ctx, kTextNoMemory);
      return 0;
    }
    if (got != 1) return got;
    return lumetra::effects::PointInOutline(collect.outline, x, y) ? 1 : 0;
  });
}

}  // namespace effects
