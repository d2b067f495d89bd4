#include "crop_geometry.h"

#include "composite_support.h"
#include "shape_fill.h"

namespace effects {

// The coverage comes from the shape filler on a scratch picture at out's place: its alpha
// is the outline's anti-aliased even-odd coverage.
bool CropGeometryCoverage(HostCallContext* ctx, LumetraGeometry geometry, float t, PIC* out) {
  OutputPic mask = CreateOutputPic(ctx, out->width, out->height, out);
  if (!mask) return false;
  char error[256] = {};
  if (FillShape(ctx, error, sizeof error, mask.get(), geometry, t,
                ColourWord(255, 255, 255, 255)) != 1) {
    HostReportError(ctx, error[0] != '\0' ? error : kTextIllegalParameters);
    return false;
  }
  const size_t count = static_cast<size_t>(out->width) * static_cast<size_t>(out->height);
  uint8_t* dst = out->pixels;
  const uint8_t* cov = mask->pixels;
  for (size_t i = 0; i < count; ++i)
    dst[4 * i + 3] = static_cast<uint8_t>(dst[4 * i + 3] * cov[4 * i + 3] / 255);
  return true;
}

}  // namespace effects
