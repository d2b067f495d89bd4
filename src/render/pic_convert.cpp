// 24-bit and 555 conversions, scaled, fitted and at the picture's own size.
#include "render/pic_convert.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>

#include "render/nearest_index.h"
#include "render/pic.h"
#include "render/pic_error.h"

namespace lumetra::render {

namespace {

static_assert(std::endian::native == std::endian::little, "555 words are stored little-endian");

// Pixel converters as function objects, so the row kernel inlines them.
constexpr auto kRgb24 = [](const uint8_t* s, uint8_t* d) {
  d[0] = s[0];
  d[1] = s[1];
  d[2] = s[2];
};

constexpr auto kRgb555 = [](const uint8_t* s, uint8_t* d) {
  uint32_t p;
  std::memcpy(&p, s, 4);
  const auto word =
      static_cast<uint16_t>((p >> 9 & 0x7C00u) | (p >> 6 & 0x3E0u) | (p >> 3 & 0x1Fu));
  std::memcpy(d, &word, 2);
};

// Four pixels into twelve bytes with three word stores.
void RowToRgb24(const uint8_t* s, uint8_t* d, std::size_t width) {
  std::size_t i = 0;
  for (; i + 4 <= width; i += 4, s += 16, d += 12) {
    uint32_t p[4];
    std::memcpy(p, s, 16);
    const uint32_t w[3] = {(p[0] & 0xFFFFFFu) | p[1] << 24, (p[1] >> 8 & 0xFFFFu) | p[2] << 16,
                           (p[2] >> 16 & 0xFFu) | p[3] << 8};
    std::memcpy(d, w, 12);
  }
  for (; i < width; ++i, s += 4, d += 3) kRgb24(s, d);
}

// Checks the picture and the scaled size; allocates a cleared buffer of bytes_per_pixel.
void* ScaledBuffer(const PIC* pic, int32_t width, int32_t height, std::size_t bytes_per_pixel) {
  if (!PicUsable(pic)) {
    PicSetError(PIC_ERROR_NULL);
    return nullptr;
  }
  if (width <= 0 || height <= 0 || width > kConvertMaxWidth || height > kConvertMaxHeight) {
    PicSetError(PIC_ERROR_MEMORY);
    return nullptr;
  }
  void* buffer = PicBufferAlloc(static_cast<std::size_t>(width) *
                                static_cast<std::size_t>(height) * bytes_per_pixel);
  if (buffer == nullptr) PicSetError(PIC_ERROR_MEMORY);
  return buffer;
}

}  // namespace

uint8_t* PicToRgb24Scaled(const PIC* pic, int32_t width, int32_t height) {
  auto* out = static_cast<uint8_t*>(ScaledBuffer(pic, width, height, 3));
  if (out == nullptr) return nullptr;
  const auto cols = NearestIndex(NearestStep(pic->width, width), pic->width, width);
  const auto rows = NearestIndex(NearestStep(pic->height, height), pic->height, height);
  NearestFill<3>(*pic, cols, rows, out, static_cast<std::size_t>(width) * 3, kRgb24);
  PicSetError(PIC_OK);
  return out;
}

uint16_t* PicToRgb555Scaled(const PIC* pic, int32_t width, int32_t height) {
  auto* out = static_cast<uint8_t*>(ScaledBuffer(pic, width, height, 2));
  if (out == nullptr) return nullptr;
  const auto cols = NearestIndex(NearestStep(pic->width, width), pic->width, width);
  const auto rows = NearestIndex(NearestStep(pic->height, height), pic->height, height);
  NearestFill<2>(*pic, cols, rows, out, static_cast<std::size_t>(width) * 2, kRgb555);
  PicSetError(PIC_OK);
  return reinterpret_cast<uint16_t*>(out);
}

uint16_t* PicToRgb555Fit(const PIC* pic, int32_t width, int32_t height) {
  auto* out = static_cast<uint8_t*>(ScaledBuffer(pic, width, height, 2));
  if (out == nullptr) return nullptr;
  const float step_x = NearestStep(pic->width, width);
  const float step_y = NearestStep(pic->height, height);
  const std::size_t stride = static_cast<std::size_t>(width) * 2;
  int32_t first_row = 0;
  int32_t first_col = 0;
  std::vector<int32_t> cols;
  std::vector<int32_t> rows;
  if (step_x >= step_y) {
    // Full width; the rows used are centred vertically.
    const auto used =
        std::clamp(static_cast<int32_t>(pic->height / static_cast<double>(step_x)), 0, height);
    first_row = (height - used) / 2;
    cols = NearestIndex(step_x, pic->width, width);
    rows = NearestIndex(step_x, pic->height, height - first_row);
  } else {
    // Every row; the columns used are centred horizontally.
    const auto used =
        std::clamp(static_cast<int32_t>(pic->width / static_cast<double>(step_y)), 0, width);
    first_col = (width - used) / 2;
    cols = NearestIndex(step_y, pic->width, used);
    rows = NearestIndex(step_y, pic->height, height);
  }
  NearestFill<2>(
      *pic, cols, rows,
      out + static_cast<std::size_t>(first_row) * stride + static_cast<std::size_t>(first_col) * 2,
      stride, kRgb555);
  PicSetError(PIC_OK);
  return reinterpret_cast<uint16_t*>(out);
}

uint8_t* PicToRgb24(const PIC* pic) {
  if (!PicUsable(pic)) {
    PicSetError(PIC_ERROR_NULL);
    return nullptr;
  }
  const std::size_t width = static_cast<std::size_t>(pic->width);
  auto* out = static_cast<uint8_t*>(PicBufferAlloc(width * static_cast<std::size_t>(pic->height) * 3));
  if (out == nullptr) {
    PicSetError(PIC_ERROR_MEMORY);
    return nullptr;
  }
  platform::ParallelRows(pic->height, pic->width, [&](int32_t begin, int32_t end) {
    for (int32_t r = begin; r < end; ++r) {
      const uint8_t* s = PicRow(*pic, r);
      uint8_t* d = out + static_cast<std::size_t>(r) * width * 3;
      RowToRgb24(s, d, width);
    }
  });
  PicSetError(PIC_OK);
  return out;
}

}  // namespace lumetra::render
