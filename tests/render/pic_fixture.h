// Small pictures built in code for the picture tests, and pixel accessors.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>

#include "render/pic.h"
#include "render/pic_error.h"

namespace lumetra::render::testing {

// Blue, green, red, alpha packed as they lie in memory (little-endian word).
constexpr uint32_t Bgra(uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  return uint32_t{b} | uint32_t{g} << 8 | uint32_t{r} << 16 | uint32_t{a} << 24;
}

inline uint32_t Px(const PIC& pic, int32_t x, int32_t row) {
  uint32_t v;
  std::memcpy(&v, PicRow(pic, row) + x * 4, 4);
  return v;
}

inline void SetPx(PIC& pic, int32_t x, int32_t row, uint32_t v) {
  std::memcpy(PicRow(pic, row) + x * 4, &v, 4);
}

// A counted picture whose pixel (x, row) is fill(x, row).
inline PicPtr MakePic(int32_t width, int32_t height,
                      const std::function<uint32_t(int32_t, int32_t)>& fill) {
  PicInit();
  PicPtr pic(PicCreate(width, height));
  for (int32_t r = 0; r < height; ++r)
    for (int32_t x = 0; x < width; ++x) SetPx(*pic, x, r, fill(x, r));
  return pic;
}

// A pseudo-random but repeatable picture.
inline PicPtr NoisePic(int32_t width, int32_t height, uint32_t seed = 12345) {
  uint32_t state = seed;
  return MakePic(width, height, [&](int32_t, int32_t) {
    state = state * 1664525u + 1013904223u;
    return state;
  });
}

}  // namespace lumetra::render::testing
