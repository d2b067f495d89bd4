#include "crop_geometry.h"

#include "composite_support.h"
#include "crop_kernel.h"

namespace effects {

// The library has no outline filler yet: the geometry covers its bounding box, with
// anti-aliased edges.
bool CropGeometryCoverage(HostCallContext* ctx, LumetraGeometry geometry, float t, PIC* out) {
  float box[4] = {0.f, 0.f, 0.f, 0.f};
  if (!HostGeoGetBBox(ctx, geometry, box, t)) {
    HostReportError(ctx, kTextIllegalParameter);
    return false;
  }
  const KernelStatus status = lumetra::effects::MultiplyRectCoverage(
      PlacedOut(out), box[0], box[1], box[2], box[3], MakeBands());
  if (status != KernelStatus::kOk) HostReportError(ctx, kTextNoMemory);
  return status == KernelStatus::kOk;
}

}  // namespace effects
