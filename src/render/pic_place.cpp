// PicPlaceInRect: whole-pixel cover of a float rectangle, nearest-neighbour fill, edge
// coverage applied to alpha.
#include "render/pic_place.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/parallel_rows.h"
#include "render/pic.h"
#include "render/pic_error.h"

namespace lumetra::render {

namespace {

struct Span {
  int32_t first;  // whole-pixel start (truncated)
  int32_t size;
  int32_t first_weight;  // coverage of the first and last pixel on 0..256
  int32_t last_weight;
};

int32_t Weight(double coverage) {
  return std::clamp(static_cast<int32_t>(coverage * 256.0), 0, 256);
}

// One axis of the rectangle; false when it is empty or inverted past the +1 rule.
bool CoverSpan(double low, double high, Span& span) {
  const auto first = static_cast<int32_t>(std::trunc(low + 0.001));
  auto last = static_cast<int32_t>(std::trunc(high + 0.001));
  if (last < high) ++last;
  if (last == first) ++last;
  if (last <= first || last - first > kPicMaxSide) return false;
  span.first = first;
  span.size = last - first;
  span.first_weight = Weight(first - low + 1.0);
  span.last_weight = Weight(high - last + 1.0);
  return true;
}

}  // namespace

PIC* PicPlaceInRect(const PIC* pic, RectF rect) {
  if (!PicUsable(pic)) {
    PicSetError(PIC_ERROR_NULL);
    return nullptr;
  }
  const float coords[] = {rect.left, rect.top, rect.right, rect.bottom};
  if (!std::all_of(std::begin(coords), std::end(coords),
                   [](float v) { return std::isfinite(v); })) {
    PicSetError(PIC_ERROR_MEMORY);
    return nullptr;
  }
  // x and y are 16-bit: clamp before converting so no conversion overflows.
  const auto clamp16 = [](float v) { return std::clamp<double>(v, -32768.0, 32767.0); };
  Span h{};
  Span v{};
  if (!CoverSpan(clamp16(rect.left), clamp16(rect.right), h) ||
      !CoverSpan(clamp16(rect.top), clamp16(rect.bottom), v)) {
    PicSetError(PIC_ERROR_MEMORY);
    return nullptr;
  }
  PIC* out = PicCreate(h.size, v.size);
  if (out == nullptr) return nullptr;
  out->x = static_cast<int16_t>(h.first);
  out->y = static_cast<int16_t>(v.first);
  out->tag = pic->tag;

  const int32_t width = h.size;
  std::vector<int32_t> col(static_cast<std::size_t>(width));
  std::vector<int32_t> col_weight(static_cast<std::size_t>(width), 256);
  for (int32_t i = 0; i < width; ++i) {
    col[i] = static_cast<int32_t>(int64_t{pic->width} * i / width);
  }
  col_weight[0] = h.first_weight;
  if (width > 1) col_weight[width - 1] = h.last_weight;

  platform::ParallelRows(v.size, width, [&](int32_t begin, int32_t end) {
    for (int32_t j = begin; j < end; ++j) {
      const uint8_t* s = PicRow(*pic, static_cast<int32_t>(int64_t{pic->height} * j / v.size));
      uint8_t* d = PicRow(*out, j);
      if (pic->width == width) {  // same width: the column map is the identity
        std::memcpy(d, s, static_cast<std::size_t>(width) * 4);
      } else {
        for (int32_t i = 0; i < width; ++i) std::memcpy(d + i * 4, s + col[i] * 4, 4);
      }
      const int32_t row_weight = j == 0 ? v.first_weight : (j == v.size - 1 ? v.last_weight : 256);
      // Only the edge rows, and the edge columns of the other rows, can have partial cover.
      const auto fade = [&](int32_t i) {
        const int32_t product = col_weight[i] * row_weight;
        if (product < 65536) d[i * 4 + 3] = static_cast<uint8_t>((d[i * 4 + 3] * product) >> 16);
      };
      if (row_weight < 256) {
        for (int32_t i = 0; i < width; ++i) fade(i);
      } else {
        fade(0);
        if (width > 1) fade(width - 1);
      }
    }
  });
  PicSetError(PIC_OK);
  return out;
}

}  // namespace lumetra::render
