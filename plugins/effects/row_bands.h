// Row bands for the kernels: the host's band runner when it hands one in, else a small
// splitter over std::thread. Bands never overlap, so the bytes do not depend on the count.
#pragma once

#include <cstdint>

namespace lumetra::effects {

using BandFn = void (*)(void* context, int32_t row_begin, int32_t row_end);
// Calls fn over disjoint bands covering [0, rows) and returns when all are done.
using BandRunFn = void (*)(void* self, int32_t rows, int64_t work_per_row, BandFn fn,
                           void* context);

struct BandRunner {
  BandRunFn run = nullptr;  // null: the library's own splitter with `threads`
  void* self = nullptr;
  int32_t threads = 1;      // 0 or less: the processor count
};

// Work below this (rows x work per row) runs inline on the caller.
inline constexpr int64_t kBandsMinWork = 64 * 1024;

void RunBands(const BandRunner& runner, int32_t rows, int64_t work_per_row, BandFn fn,
              void* context);

// The same with any callable band(begin, end), which must not throw.
template <class Band>
void RunBands(const BandRunner& runner, int32_t rows, int64_t work_per_row, Band& band) {
  RunBands(
      runner, rows, work_per_row,
      [](void* context, int32_t begin, int32_t end) { (*static_cast<Band*>(context))(begin, end); },
      &band);
}

}  // namespace lumetra::effects
