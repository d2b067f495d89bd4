// Splits per-pixel work on a picture into row bands run across a shared thread pool.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace lumetra::platform {

// Largest thread count a caller may ask for (the "RenderThreads" range).
inline constexpr int32_t kParallelRowsMaxThreads = 32;
// Below this much work (rows x work per row, roughly pixels) a call runs inline.
inline constexpr int64_t kParallelRowsMinWork = 64 * 1024;

// Threads that share each call, counting the caller: 1 runs everything inline; 0 or less
// means the processor count; clamped to kParallelRowsMaxThreads.
void ParallelRowsSetThreads(int32_t threads);
int32_t ParallelRowsThreads();

using RowBandFn = void (*)(void* context, int32_t row_begin, int32_t row_end);

// Calls fn(context, begin, end) over disjoint bands that together cover [0, rows) exactly
// once and returns when all are done. Bands never overlap, so a kernel that writes only
// its own rows needs no locks, and its bytes do not depend on the thread count.
void ParallelRowsRun(int32_t rows, int64_t work_per_row, RowBandFn fn, void* context);

// The same with any callable band(begin, end); it must not throw.
template <class Band>
void ParallelRows(int32_t rows, int64_t work_per_row, Band&& band) {
  using B = std::remove_reference_t<Band>;
  ParallelRowsRun(
      rows, work_per_row,
      [](void* context, int32_t begin, int32_t end) { (*static_cast<B*>(context))(begin, end); },
      const_cast<void*>(static_cast<const void*>(&band)));
}

}  // namespace lumetra::platform
