// Nearest-neighbour index tables and the row kernel that scaling and the scaled
// conversions share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/parallel_rows.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::render {

// Source pixels per destination pixel, worked out in double and kept as a float.
float NearestStep(int32_t source_size, int32_t dest_size);

// Source index of each of `count` destination positions: the truncated sum of k steps,
// accumulated in extended precision. The table ends at the first index not below
// source_size (the indices ascend), so every entry is a valid source index.
std::vector<int32_t> NearestIndex(float step, int32_t source_size, int32_t count);

// Fills rows[k] x cols[i] of the destination from source pixel (cols[i], rows[k]).
// `dest` is the first written pixel of the first written row; `convert(src, dst)` turns
// one 4-byte source pixel into kOutBytes bytes. Runs in row bands.
template <int kOutBytes, class Convert>
void NearestFill(const PIC& source, const std::vector<int32_t>& cols,
                 const std::vector<int32_t>& rows, uint8_t* dest, std::size_t dest_stride,
                 Convert convert) {
  const std::size_t source_stride = static_cast<std::size_t>(source.width) * 4;
  const std::size_t row_bytes = cols.size() * kOutBytes;
  const int32_t* col = cols.data();
  const int32_t* row = rows.data();
  const auto width = static_cast<int32_t>(cols.size());
  platform::ParallelRows(static_cast<int32_t>(rows.size()), width, [&](int32_t begin, int32_t end) {
    for (int32_t k = begin; k < end; ++k) {
      uint8_t* d = dest + static_cast<std::size_t>(k) * dest_stride;
      if (k > begin && row[k] == row[k - 1]) {  // an enlarged row repeats the one before
        std::memcpy(d, d - dest_stride, row_bytes);
        continue;
      }
      const uint8_t* s = source.pixels + static_cast<std::size_t>(row[k]) * source_stride;
      for (int32_t i = 0; i < width; ++i) {
        convert(s + static_cast<std::size_t>(col[i]) * 4,
                d + static_cast<std::size_t>(i) * kOutBytes);
      }
    }
  });
}

}  // namespace lumetra::render
