// Conversions of a picture into plain 24-bit and 16-bit (555) pixel buffers.
#pragma once

#include <cstdint>

#include "plugin/lumetra_plugin.h"

namespace lumetra::render {

inline constexpr int32_t kConvertMaxWidth = 2560;
inline constexpr int32_t kConvertMaxHeight = 2048;

// Buffers are rows bottom-up without padding, released with PicBufferFree; they are not
// counted as pictures. Every form gives null with PIC_ERROR_NULL for no usable picture and
// PIC_ERROR_MEMORY when memory runs out. The scaled forms take width 1..kConvertMaxWidth
// and height 1..kConvertMaxHeight (else PIC_ERROR_MEMORY), are cleared first, and scale
// nearest-neighbour.

// Blue, green, red per pixel: width x height x 3 bytes.
uint8_t* PicToRgb24Scaled(const PIC* pic, int32_t width, int32_t height);
// One little-endian word per pixel: (red >> 3) << 10 | (green >> 3) << 5 | (blue >> 3).
uint16_t* PicToRgb555Scaled(const PIC* pic, int32_t width, int32_t height);
// As PicToRgb555Scaled with the aspect kept: one step for both axes, the picture centred
// and the margins black.
uint16_t* PicToRgb555Fit(const PIC* pic, int32_t width, int32_t height);
// Blue, green, red of every pixel at the picture's own size; no size limit.
uint8_t* PicToRgb24(const PIC* pic);

}  // namespace lumetra::render
