// Nearest-neighbour scaling: index tables first, then rows that only copy.
#include "render/pic_scale.h"

#include "render/nearest_index.h"
#include "render/pic.h"
#include "render/pic_error.h"

namespace lumetra::render {

PIC* PicScale(const PIC* pic, int32_t width, int32_t height) {
  if (!PicUsable(pic)) {
    PicSetError(PIC_ERROR_NULL);
    return nullptr;
  }
  if (width <= 0 || height <= 0 || width > kPicScaleMaxSide || height > kPicScaleMaxSide) {
    PicSetError(PIC_ERROR_MEMORY);
    return nullptr;
  }
  PIC* out = PicCreate(width, height);
  if (out == nullptr) return nullptr;
  out->x = pic->x;
  out->y = pic->y;
  out->tag = pic->tag;
  const auto cols = NearestIndex(NearestStep(pic->width, width), pic->width, width);
  const auto rows = NearestIndex(NearestStep(pic->height, height), pic->height, height);
  NearestFill<4>(*pic, cols, rows, out->pixels, PicRowBytes(*out),
                 [](const uint8_t* s, uint8_t* d) { std::memcpy(d, s, 4); });
  PicSetError(PIC_OK);
  return out;
}

}  // namespace lumetra::render
