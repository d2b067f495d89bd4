// Weave and de-interlace as row loops in bands; a rebuilt row reads only rows of the other
// parity, so rebuilding in place needs no second buffer.
#include "render/pic_field.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/parallel_rows.h"
#include "render/pic.h"
#include "render/pic_error.h"

namespace lumetra::render {

namespace {

// d = (a + b) >> 1 byte by byte, eight bytes at a time: the shared bits plus half the
// differing ones, with each byte's lowest differing bit masked off so no bit crosses into
// the byte below. Rows are whole pixels, so their length is a multiple of 4.
void AverageRow(const uint8_t* a, const uint8_t* b, uint8_t* d, std::size_t bytes) {
  constexpr uint64_t kHigh7 = 0xFEFEFEFEFEFEFEFEull;
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    const uint64_t avg = (x & y) + (((x ^ y) & kHigh7) >> 1);
    std::memcpy(d + i, &avg, 8);
  }
  for (; i < bytes; ++i) d[i] = static_cast<uint8_t>((a[i] + b[i]) >> 1);
}

// Rows of `dest` (same size as `source`, possibly the same picture) with the given parity
// are rebuilt from `source`; when they differ, the other rows are copied.
void Deinterlace(const PIC& source, PIC& dest, int32_t parity) {
  const int32_t height = source.height;
  const std::size_t row_bytes = PicRowBytes(source);
  const bool copy_others = source.pixels != dest.pixels;
  platform::ParallelRows(height, source.width, [&](int32_t begin, int32_t end) {
    for (int32_t r = begin; r < end; ++r) {
      uint8_t* d = PicRow(dest, r);
      if ((r & 1) != parity) {
        if (copy_others) std::memcpy(d, PicRow(source, r), row_bytes);
      } else if (r == 0) {
        std::memcpy(d, PicRow(source, 1), row_bytes);
      } else if (r == height - 1) {
        std::memcpy(d, PicRow(source, r - 1), row_bytes);
      } else {
        AverageRow(PicRow(source, r - 1), PicRow(source, r + 1), d, row_bytes);
      }
    }
  });
}

}  // namespace

int32_t PicWeaveField(PIC* dest, const PIC* source, int32_t odd) {
  if (!PicUsable(dest) || !PicUsable(source)) {
    PicSetError(PIC_ERROR_NULL);
    return 0;
  }
  const int32_t parity = odd != 0 ? 1 : 0;
  const std::size_t bytes = static_cast<std::size_t>(std::min(dest->width, source->width)) * 4;
  // Weaving a picture's rows into itself would read rows other bands are writing.
  std::vector<uint8_t> scratch;
  PIC from = *source;
  if (source->pixels == dest->pixels) {
    scratch.assign(source->pixels, source->pixels + PicRowBytes(*source) * source->height);
    from.pixels = scratch.data();
  }
  platform::ParallelRows(dest->height, dest->width, [&](int32_t begin, int32_t end) {
    for (int32_t r = begin; r < end; ++r) {
      const int32_t absolute = dest->y + r;
      const int32_t source_row = absolute - source->y;
      if ((absolute & 1) != parity || source_row < 0 || source_row >= from.height) continue;
      std::memcpy(PicRow(*dest, r), PicRow(from, source_row), bytes);
    }
  });
  PicSetError(PIC_OK);
  return 1;
}

int32_t PicDeinterlace(PIC* pic, int32_t field) {
  if (!PicUsable(pic)) {
    PicSetError(PIC_ERROR_NULL);
    return 0;
  }
  if (pic->height >= 2) Deinterlace(*pic, *pic, field & 1);
  PicSetError(PIC_OK);
  return 1;
}

PIC* PicDeinterlaceCopy(const PIC* pic, int32_t field) {
  if (!PicUsable(pic)) {
    PicSetError(PIC_ERROR_NULL);
    return nullptr;
  }
  if (pic->height < 2) return PicCopy(pic);
  PIC* out = PicCreate(pic->width, pic->height);
  if (out == nullptr) return nullptr;
  out->x = pic->x;
  out->y = pic->y;
  out->tag = pic->tag;
  Deinterlace(*pic, *out, field & 1);
  PicSetError(PIC_OK);
  return out;
}

}  // namespace lumetra::render
