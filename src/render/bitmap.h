// An in-memory 32-bit bitmap with the picture's pixel layout, the drawing context that
// targets one, and the bridges between bitmaps, pictures and pixel buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "plugin/lumetra_plugin.h"

namespace lumetra::render {

// Blue, green, red, alpha per pixel, rows bottom-up without padding, like a PIC.
class Bitmap {
 public:
  // Null for a side outside 1..32767 or when memory runs out.
  static std::unique_ptr<Bitmap> Create(int32_t width, int32_t height);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // Row 0 is the bottom scan line.
  uint8_t* Row(int32_t row) { return pixels_.data() + RowOffset(row); }
  const uint8_t* Row(int32_t row) const { return pixels_.data() + RowOffset(row); }

 private:
  Bitmap(int32_t width, int32_t height, std::vector<uint8_t> pixels)
      : width_(width), height_(height), pixels_(std::move(pixels)) {}
  std::size_t RowOffset(int32_t row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) * 4;
  }

  int32_t width_;
  int32_t height_;
  std::vector<uint8_t> pixels_;
};

// Where drawing goes: the bitmap selected into the context (none: drawing does nothing).
// Device coordinates run top-down from the target's top-left pixel.
struct DrawContext {
  Bitmap* target = nullptr;
};

struct RectI {
  int32_t left, top, right, bottom;
};

// A new picture of width x height holding the bitmap's pixels, bottom rows first; where
// the sizes differ only the part both share is copied and the rest stays zero. Null with
// PIC_ERROR_NULL for no bitmap, PIC_ERROR_MEMORY for a bad size or no memory.
PIC* PicFromBitmap(const DrawContext* context, const Bitmap* bitmap, int32_t width, int32_t height);

// A new bitmap of the picture's size holding its pixels; null if it could not be made.
std::unique_ptr<Bitmap> PicToBitmap(const DrawContext* context, const PIC* pic);

// Stretches the source rectangle of a width x height buffer (bottom-up rows without
// padding; `format` PIC_DRAW_32BIT, else PIC_DRAW_24BIT, else 555 words) onto the
// destination rectangle of the context's target, nearest pixel, straight copy. Both
// rectangles are left, top, right, bottom with the top row first; pixels falling
// outside the buffer or the target are skipped; an empty or inverted rectangle, no
// buffer or no target draws nothing. Pixels without alpha are drawn opaque.
void PicDraw(DrawContext* context, RectI dest, const void* buffer, int32_t width, int32_t height,
             uint32_t format, RectI source);

}  // namespace lumetra::render
