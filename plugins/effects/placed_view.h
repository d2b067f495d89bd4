// Pictures placed in frame coordinates, as the compositing kernels see them: a view of the
// pixels and the frame position of its first column and first row.
#pragma once

#include <algorithm>
#include <cstdint>

#include "image_view.h"
#include "row_bands.h"

namespace lumetra::effects {

struct PlacedView {
  ConstImageView view;
  int32_t x = 0;
  int32_t y = 0;
};

struct PlacedImage {
  ImageView view;
  int32_t x = 0;
  int32_t y = 0;
};

// Columns [begin, end) of a destination row that a source covers, and the source's first
// column there; empty (begin == end) when they do not overlap.
struct Span {
  int32_t begin = 0;
  int32_t end = 0;
  int32_t source_column = 0;
};

inline Span SpanOf(int32_t dest_x, int32_t dest_width, int32_t src_x, int32_t src_width) {
  const int32_t begin = std::clamp(src_x - dest_x, 0, dest_width);
  const int32_t end = std::clamp(src_x + src_width - dest_x, begin, dest_width);
  return {begin, end, begin + dest_x - src_x};
}

// The source row that lies on destination row y, or null when the source has none there.
inline const uint8_t* RowAt(const PlacedView& src, int32_t dest_y, int32_t y) {
  const int32_t row = dest_y + y - src.y;
  return row >= 0 && row < src.view.height && src.view.base != nullptr ? src.view.Row(row)
                                                                         : nullptr;
}

// Rows between abort checks: the picture in about this many chunks.
inline constexpr int32_t kCompositeChunks = 16;

// Runs band(begin, end) over all rows of an image in chunks, asking abort after each.
template <class Band>
KernelStatus RunChunked(int32_t rows, int64_t work_per_row, const BandRunner& bands,
                        const AbortCheck& abort, Band& band) {
  const int32_t chunk = abort.fn ? std::max<int32_t>(1, (rows + kCompositeChunks - 1) /
                                                            kCompositeChunks)
                                 : std::max<int32_t>(rows, 1);
  for (int32_t y = 0; y < rows; y += chunk) {
    const int32_t n = std::min(chunk, rows - y);
    auto part = [&band, y](int32_t b, int32_t e) { band(y + b, y + e); };
    RunBands(bands, n, work_per_row, part);
    const int32_t done = y + n;
    if (abort(rows > 1 ? static_cast<double>(done - 1) / (rows - 1) : 1.0)) {
      return KernelStatus::kAborted;
    }
  }
  return KernelStatus::kOk;
}

}  // namespace lumetra::effects
