#include "switcher_kernel.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

namespace lumetra::effects {
namespace {

struct Prepared {
  int32_t op[4];
  int32_t ch1[4];  // for an unknown channel the *All operations read 0 too
  bool ch1_ok[4];
  int32_t in1[4];  // -1: reads 0
  int32_t ch2[4];
  int32_t in2[4];
};

Prepared Prepare(const SwitcherProgram& p, int32_t n) {
  Prepared q{};
  for (int c = 0; c < 4; ++c) {
    q.op[c] = p.op[c] >= 0 && p.op[c] < kSwitcherOperations ? p.op[c] : 9;
    const bool ch1_ok = p.ch1[c] >= 0 && p.ch1[c] < kSwitcherChannels;
    const bool ch2_ok = p.ch2[c] >= 0 && p.ch2[c] < kSwitcherChannels;
    q.ch1[c] = ch1_ok ? p.ch1[c] : 0;
    q.ch1_ok[c] = ch1_ok;
    q.ch2[c] = ch2_ok ? p.ch2[c] : 0;
    q.in1[c] = ch1_ok && p.in1[c] >= 0 && p.in1[c] < n ? p.in1[c] : -1;
    q.in2[c] = ch2_ok && p.in2[c] >= 0 && p.in2[c] < n ? p.in2[c] : -1;
  }
  return q;
}

}  // namespace

KernelStatus Switch(const std::vector<PlacedView>& inputs, const PlacedImage& out,
                    const SwitcherProgram& program, const BandRunner& bands,
                    const AbortCheck& abort) {
  if (!ViewUsable(out.view)) return KernelStatus::kNoMemory;
  const int32_t n = static_cast<int32_t>(inputs.size());
  const Prepared q = Prepare(program, n);
  const int32_t w = out.view.width;
  std::vector<Span> spans;
  spans.reserve(inputs.size());
  for (const PlacedView& in : inputs) spans.push_back(SpanOf(out.x, w, in.x, in.view.width));
  static constexpr int32_t kByte[4] = {2, 1, 0, 3};
  std::atomic<bool> failed{false};
  auto band = [&](int32_t begin, int32_t end) {
    const size_t count = static_cast<size_t>(n);
    std::unique_ptr<const uint8_t*[]> rows(new (std::nothrow) const uint8_t*[count + 1]);
    // Five samples (r, g, b, a, l) per input, 0 where it does not cover.
    std::unique_ptr<int32_t[]> samples(new (std::nothrow) int32_t[count * 5 + 5]);
    if (!rows || !samples) {
      failed = true;
      return;
    }
    for (int32_t y = begin; y < end; ++y) {
      for (int32_t i = 0; i < n; ++i) rows[static_cast<size_t>(i)] = RowAt(inputs[static_cast<size_t>(i)], out.y, y);
      uint8_t* o = out.view.Row(y);
      for (int32_t x = 0; x < w; ++x) {
        int32_t lo[5] = {0, 0, 0, 0, 0};
        int32_t hi[5] = {0, 0, 0, 0, 0};
        int32_t sum[5] = {0, 0, 0, 0, 0};
        int32_t covering = 0;
        for (int32_t i = 0; i < n; ++i) {
          int32_t* s = samples.get() + 5 * static_cast<size_t>(i);
          const Span& sp = spans[static_cast<size_t>(i)];
          const uint8_t* r = rows[static_cast<size_t>(i)];
          if (r == nullptr || x < sp.begin || x >= sp.end) {
            s[0] = s[1] = s[2] = s[3] = s[4] = 0;
            continue;
          }
          const uint8_t* px = r + 4 * static_cast<size_t>(x - sp.begin + sp.source_column);
          s[0] = px[2];
          s[1] = px[1];
          s[2] = px[0];
          s[3] = px[3];
          s[4] = (s[0] + s[1] + s[2]) / 3;
          for (int k = 0; k < 5; ++k) {
            lo[k] = covering == 0 ? s[k] : std::min(lo[k], s[k]);
            hi[k] = covering == 0 ? s[k] : std::max(hi[k], s[k]);
            sum[k] += s[k];
          }
          ++covering;
        }
        for (int c = 0; c < 4; ++c) {
          const int32_t av = q.in1[c] < 0 ? 0 : samples[5 * static_cast<size_t>(q.in1[c]) + static_cast<size_t>(q.ch1[c])];
          const int32_t bv = q.in2[c] < 0 ? 0 : samples[5 * static_cast<size_t>(q.in2[c]) + static_cast<size_t>(q.ch2[c])];
          const int32_t ch = q.ch1[c];
          int32_t v = 0;
          switch (q.op[c]) {
            case 0: v = av; break;
            case 1: v = q.ch1_ok[c] ? lo[ch] : 0; break;
            case 2: v = q.ch1_ok[c] ? hi[ch] : 0; break;
            case 3: v = q.ch1_ok[c] && covering > 0 ? sum[ch] / covering : 0; break;
            case 4: v = std::min(av, bv); break;
            case 5: v = std::max(av, bv); break;
            case 6: v = (av + bv) / 2; break;
            case 7: v = std::abs(av - bv); break;
            case 8: v = std::max(av - bv, 0); break;
            case 10: v = 255; break;
            default: v = 0; break;
          }
          o[4 * x + kByte[c]] = static_cast<uint8_t>(v);
        }
      }
    }
  };
  const KernelStatus status = RunChunked(out.view.height, static_cast<int64_t>(w) * (n + 1) * 4,
                                         bands, abort, band);
  return failed ? KernelStatus::kNoMemory : status;
}

}  // namespace lumetra::effects
