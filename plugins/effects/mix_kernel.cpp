#include "mix_kernel.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace lumetra::effects {
namespace {

using U32x4 = uint32_t __attribute__((vector_size(16)));

struct MixJob {
  PlacedView a;
  PlacedView b;
  PlacedImage out;
  uint32_t ka;
  uint32_t kb;
  std::atomic<bool> failed{false};

  void Band(int32_t begin, int32_t end) {
    const int32_t w = out.view.width;
    const size_t lanes = static_cast<size_t>(w) * 4;
    std::unique_ptr<uint32_t[]> sums(new (std::nothrow) uint32_t[lanes]);
    if (!sums) {
      failed = true;
      return;
    }
    uint32_t* v = sums.get();
    const Span sa = SpanOf(out.x, w, a.x, a.view.width);
    const Span sb = SpanOf(out.x, w, b.x, b.view.width);
    for (int32_t y = begin; y < end; ++y) {
      const uint8_t* ra = RowAt(a, out.y, y);
      const uint8_t* rb = RowAt(b, out.y, y);
      std::memset(v, 0, lanes * sizeof(uint32_t));
      if (ra != nullptr) {
        const uint8_t* s = ra + static_cast<size_t>(sa.source_column) * 4;
        uint32_t* d = v + static_cast<size_t>(sa.begin) * 4;
        const size_t n = static_cast<size_t>(sa.end - sa.begin) * 4;
        const uint32_t k = ka;
        for (size_t i = 0; i < n; ++i) d[i] = s[i] * k;
      }
      if (rb != nullptr) {
        const uint8_t* s = rb + static_cast<size_t>(sb.source_column) * 4;
        uint32_t* d = v + static_cast<size_t>(sb.begin) * 4;
        const size_t n = static_cast<size_t>(sb.end - sb.begin) * 4;
        const uint32_t k = kb;
        for (size_t i = 0; i < n; ++i) d[i] += s[i] * k;
      }
      // The carry: kA + kB = 4096 keeps acc below 256 x 4096, so acc >> 12 never needs
      // the clamp to 255 and the remainder is acc's low 12 bits.
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
};

}  // namespace

int32_t MixShare(double f) {
  if (!(f > 0.0)) return 0;
  if (f >= 1.0) return 4096;
  return static_cast<int32_t>(f * 4096.0);
}

KernelStatus MixPictures(const PlacedView& a, const PlacedView& b, const PlacedImage& out,
                         int32_t kb, const BandRunner& bands, const AbortCheck& abort) {
  if (!ViewUsable(out.view)) return KernelStatus::kNoMemory;
  kb = std::clamp(kb, 0, 4096);
  MixJob job{a, b, out, static_cast<uint32_t>(4096 - kb), static_cast<uint32_t>(kb)};
  auto band = [&job](int32_t begin, int32_t end) { job.Band(begin, end); };
  const KernelStatus status = RunChunked(out.view.height, out.view.width * 3, bands, abort, band);
  if (job.failed) return KernelStatus::kNoMemory;
  return status;
}

KernelStatus CopyRows(const ConstImageView& src, const ImageView& dst, const BandRunner& bands,
                      const AbortCheck& abort) {
  if (!ViewUsable(src) || !ViewUsable(dst) || src.width != dst.width ||
      src.height != dst.height) {
    return KernelStatus::kNoMemory;
  }
  const size_t bytes = static_cast<size_t>(src.width) * 4;
  auto band = [&](int32_t begin, int32_t end) {
    if (src.stride == dst.stride && static_cast<size_t>(src.stride) == bytes) {
      std::memcpy(dst.Row(begin), src.Row(begin), bytes * static_cast<size_t>(end - begin));
      return;
    }
    for (int32_t y = begin; y < end; ++y) std::memcpy(dst.Row(y), src.Row(y), bytes);
  };
  return RunChunked(src.height, src.width, bands, abort, band);
}

}  // namespace lumetra::effects
