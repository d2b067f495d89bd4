// Bitmaps of our own in place of the platform's, and the picture bridges onto them.
#include "render/bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/parallel_rows.h"
#include "render/pic.h"
#include "render/pic_error.h"

namespace lumetra::render {

namespace {

// Copies the rows and columns two bottom-up 4-byte-per-pixel images share.
void CopyShared(const uint8_t* source, int32_t source_width, int32_t source_height, uint8_t* dest,
                int32_t dest_width, int32_t dest_height) {
  const int32_t rows = std::min(source_height, dest_height);
  const std::size_t bytes = static_cast<std::size_t>(std::min(source_width, dest_width)) * 4;
  const std::size_t source_stride = static_cast<std::size_t>(source_width) * 4;
  const std::size_t dest_stride = static_cast<std::size_t>(dest_width) * 4;
  for (int32_t r = 0; r < rows; ++r) {
    std::memcpy(dest + r * dest_stride, source + r * source_stride, bytes);
  }
}

inline void Expand555(uint16_t word, uint8_t* d) {
  const auto five = [](unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); };
  d[0] = five(word & 0x1Fu);
  d[1] = five((word >> 5) & 0x1Fu);
  d[2] = five((word >> 10) & 0x1Fu);
  d[3] = 255;
}

}  // namespace

std::unique_ptr<Bitmap> Bitmap::Create(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || width > kPicMaxSide || height > kPicMaxSide) return nullptr;
  std::vector<uint8_t> pixels;
  try {
    pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return std::unique_ptr<Bitmap>(new (std::nothrow) Bitmap(width, height, std::move(pixels)));
}

PIC* PicFromBitmap(const DrawContext* /*context*/, const Bitmap* bitmap, int32_t width,
                   int32_t height) {
  if (bitmap == nullptr) {
    PicSetError(PIC_ERROR_NULL);
    return nullptr;
  }
  PIC* pic = PicCreate(width, height);
  if (pic == nullptr) return nullptr;
  CopyShared(bitmap->Row(0), bitmap->Width(), bitmap->Height(), pic->pixels, width, height);
  return pic;
}

std::unique_ptr<Bitmap> PicToBitmap(const DrawContext* /*context*/, const PIC* pic) {
  if (!PicUsable(pic)) return nullptr;
  auto bitmap = Bitmap::Create(pic->width, pic->height);
  if (bitmap) {
    CopyShared(pic->pixels, pic->width, pic->height, bitmap->Row(0), pic->width, pic->height);
  }
  return bitmap;
}

void PicDraw(DrawContext* context, RectI dest, const void* buffer, int32_t width, int32_t height,
             uint32_t format, RectI source) {
  if (context == nullptr || context->target == nullptr || buffer == nullptr || width <= 0 ||
      height <= 0 || width > kPicMaxSide || height > kPicMaxSide) {
    return;
  }
  const int64_t dest_w = int64_t{dest.right} - dest.left;
  const int64_t dest_h = int64_t{dest.bottom} - dest.top;
  const int64_t source_w = int64_t{source.right} - source.left;
  const int64_t source_h = int64_t{source.bottom} - source.top;
  if (dest_w <= 0 || dest_h <= 0 || source_w <= 0 || source_h <= 0) return;

  Bitmap& target = *context->target;
  const int64_t x0 = std::max<int64_t>(dest.left, 0);
  const int64_t x1 = std::min<int64_t>(dest.right, target.Width());
  const int64_t y0 = std::max<int64_t>(dest.top, 0);
  const int64_t y1 = std::min<int64_t>(dest.bottom, target.Height());
  if (x0 >= x1 || y0 >= y1) return;

  const int32_t pixel_bytes =
      (format & PIC_DRAW_32BIT) != 0 ? 4 : ((format & PIC_DRAW_24BIT) != 0 ? 3 : 2);
  const std::size_t stride = static_cast<std::size_t>(width) * pixel_bytes;
  const auto* bytes = static_cast<const uint8_t*>(buffer);

  // Source column of each target column, -1 where it falls outside the buffer.
  std::vector<int32_t> column(static_cast<std::size_t>(x1 - x0));
  for (int64_t x = x0; x < x1; ++x) {
    const int64_t sx = source.left + (x - dest.left) * source_w / dest_w;
    column[x - x0] = sx >= 0 && sx < width ? static_cast<int32_t>(sx) : -1;
  }
  const auto rows = static_cast<int32_t>(y1 - y0);
  platform::ParallelRows(rows, x1 - x0, [&](int32_t begin, int32_t end) {
    for (int32_t k = begin; k < end; ++k) {
      const int64_t y = y0 + k;
      const int64_t sy = source.top + (y - dest.top) * source_h / dest_h;  // top-down
      if (sy < 0 || sy >= height) continue;
      const uint8_t* s = bytes + static_cast<std::size_t>(height - 1 - sy) * stride;
      uint8_t* d = target.Row(static_cast<int32_t>(target.Height() - 1 - y)) + x0 * 4;
      for (std::size_t i = 0; i < column.size(); ++i, d += 4) {
        if (column[i] < 0) continue;
        const uint8_t* p = s + static_cast<std::size_t>(column[i]) * pixel_bytes;
        if (pixel_bytes == 4) {
          std::memcpy(d, p, 4);
        } else if (pixel_bytes == 3) {
          d[0] = p[0];
          d[1] = p[1];
          d[2] = p[2];
          d[3] = 255;
        } else {
          uint16_t word;
          std::memcpy(&word, p, 2);
          Expand555(word, d);
        }
      }
    }
  });
}

}  // namespace lumetra::render
