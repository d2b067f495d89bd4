// The shape filler the geometry effects share: a geometry's closed outline, fetched from
// the host as bezier segments, laid over a picture as anti-aliased even-odd coverage; and
// the point test against the same outline.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host_api.h"

namespace effects {

inline constexpr const char* kTextIllegalParameters = "Illegal parameter(s)";
inline constexpr const char* kTextFillTextNoMemory = "FillText: Memory allocation failure";

// A colour word laid out like a pixel: blue in the low byte, then green, red, alpha.
inline constexpr uint32_t ColourWord(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  return (b & 0xFFu) | (g & 0xFFu) << 8 | (r & 0xFFu) << 16 | (a & 0xFFu) << 24;
}

// Fills pic (placed at its x, y in the clip's pixels) with the geometry's coverage at
// `time` in `colour`: every pixel's alpha becomes the covered alpha. error (error_size
// bytes) is emptied, or gets "Illegal parameter(s)" for a missing argument. 1 on success
// (an outline the host could not give without an error text draws nothing and succeeds),
// else 0 or the outline operation's result; an abort answers 0.
int32_t FillShape(HostCallContext* ctx, char* error, size_t error_size, PIC* pic,
                  LumetraGeometry geometry, float time, uint32_t colour);
// The same with the outline moved by (x_offset, y_offset) pixels; any outline failure is
// answered as it came.
int32_t FillShapeXYOffset(HostCallContext* ctx, char* error, size_t error_size, PIC* pic,
                          LumetraGeometry geometry, float time, uint32_t colour, float x_offset,
                          float y_offset);
// 1 when (x, y) lies inside the closed outline, 0 outside, or the outline operation's
// failing result; no geometry reports "Illegal parameter" and answers 0.
int32_t PointInShape(HostCallContext* ctx, LumetraGeometry geometry, float x, float y,
                     float time);

}  // namespace effects
