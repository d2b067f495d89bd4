// The two-picture mix as first written: every pixel's remainder carried to the next one
// through a row of 32-bit sums, one pixel after the other. The tests hold the fast kernel
// to these bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "placed_view.h"

namespace effects_test {

inline void ReferenceMix(const lumetra::effects::PlacedView& a,
                         const lumetra::effects::PlacedView& b,
                         const lumetra::effects::PlacedImage& out, int32_t kb) {
  using namespace lumetra::effects;
  using U32x4 = uint32_t __attribute__((vector_size(16)));
  kb = std::clamp(kb, 0, 4096);
  const auto ka = static_cast<uint32_t>(4096 - kb);
  const auto kbu = static_cast<uint32_t>(kb);
  const int32_t w = out.view.width;
  const size_t lanes = static_cast<size_t>(w) * 4;
  std::vector<uint32_t> sums(lanes);
  uint32_t* v = sums.data();
  const Span sa = SpanOf(out.x, w, a.x, a.view.width);
  const Span sb = SpanOf(out.x, w, b.x, b.view.width);
  for (int32_t y = 0; y < out.view.height; ++y) {
    const uint8_t* ra = RowAt(a, out.y, y);
    const uint8_t* rb = RowAt(b, out.y, y);
    std::fill(sums.begin(), sums.end(), 0u);
    if (ra != nullptr) {
      const uint8_t* s = ra + static_cast<size_t>(sa.source_column) * 4;
      uint32_t* d = v + static_cast<size_t>(sa.begin) * 4;
      const size_t n = static_cast<size_t>(sa.end - sa.begin) * 4;
      for (size_t i = 0; i < n; ++i) d[i] = s[i] * ka;
    }
    if (rb != nullptr) {
      const uint8_t* s = rb + static_cast<size_t>(sb.source_column) * 4;
      uint32_t* d = v + static_cast<size_t>(sb.begin) * 4;
      const size_t n = static_cast<size_t>(sb.end - sb.begin) * 4;
      for (size_t i = 0; i < n; ++i) d[i] += s[i] * kbu;
    }
    U32x4 acc = {0, 0, 0, 0};
    for (int32_t x = 0; x < w; ++x) {
      U32x4 add;
      std::memcpy(&add, v + 4 * static_cast<size_t>(x), sizeof add);
      acc += add;
      const U32x4 written = acc >> 12;
      std::memcpy(v + 4 * static_cast<size_t>(x), &written, sizeof written);
      acc &= 0xFFFu;
    }
    uint8_t* o = out.view.Row(y);
    for (size_t i = 0; i < lanes; ++i) o[i] = static_cast<uint8_t>(v[i]);
  }
}

}  // namespace effects_test
