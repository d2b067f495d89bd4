// The tent blur's lanes for small windows whose sums fit 16 bits. Every weight of a tent
// shares the largest power of two dividing 256 and the side weights; dividing them all by
// it changes no quotient, and when the window's reduced sum times 255 stays below 2^16 the
// sums can be kept in 16-bit lanes (twice as many per instruction as the 32-bit path) and
// divided by a 16-bit multiply-high and shift. Radius 2's full window (weights 2, 1, 1
// over 4) needs no widening at all: floor((2c + a + b) / 4) is the floor of the mean of c
// and the floor of the mean of a and b, and a floor mean of bytes is their rounded-up mean
// (pavgb) less the low bit of their difference.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "exact_divide.h"
#include "tent_blur.h"
#include "tent_lanes.h"

namespace lumetra::effects {

// The reduced side taps with a non-zero weight, nearest first; count == 0 when the
// window's sums do not fit 16 bits (or it has no side tap), and the 32-bit path serves.
struct ShortTaps {
  int32_t count = 0;
  int32_t centre = 0;
  int32_t factor = 1;  // the power of two every weight was divided by
  int32_t dist[kTentMaxRadius] = {};
  int32_t w[kTentMaxRadius] = {};
  bool halves = false;  // centre 2 and one tap of 1: the window of 4 goes by halving means
};

inline ShortTaps ShortTapsFor(const TentWeights& t) {
  ShortTaps s;
  int32_t low = 8;  // trailing zero bits shared by 256 and every side weight
  uint32_t sum = 256;
  for (int32_t d = 1; d <= t.radius; ++d) {
    const auto w = static_cast<uint32_t>(t.w[static_cast<std::size_t>(d)]);
    if (w == 0) continue;
    low = std::min(low, std::countr_zero(w));
    sum += 2 * w;
  }
  if (sum == 256 || 255 * (sum >> low) > 0xFFFF) return s;
  s.factor = 1 << low;
  s.centre = 256 >> low;
  for (int32_t d = 1; d <= t.radius; ++d) {
    const int32_t w = t.w[static_cast<std::size_t>(d)];
    if (w == 0) continue;
    s.dist[s.count] = d;
    s.w[s.count] = w >> low;
    ++s.count;
  }
  s.halves = s.count == 1 && s.centre == 2 && s.w[0] == 1;
  return s;
}

#if TENT_LANES_X86
// 2 x kLanes / 2 sums per step: the low and high halves of each byte vector widened to 16
// bits; the pack undoes the unpacks' order within each 16-byte half. The tap rows'
// pointers are copied first: a byte store may alias anything, and the copies keep the
// compiler from reading them back on every step.
#define TENT_SHORT_BODY(V)                                                                   \
  const typename V::I z = V::Zero();                                                         \
  const int32_t n = taps.count;                                                              \
  const uint8_t* tl_[kTentMaxRadius];                                                        \
  const uint8_t* th_[kTentMaxRadius];                                                        \
  typename V::I w_[kTentMaxRadius];                                                          \
  for (int32_t j = 0; j < n; ++j) {                                                          \
    tl_[j] = lo[j];                                                                          \
    th_[j] = hi[j];                                                                          \
    w_[j] = V::Set16(taps.w[j]);                                                             \
  }                                                                                          \
  if (taps.halves && q.divisor == 4) {                                                       \
    const typename V::I one = V::Set8(1);                                                    \
    const uint8_t* a_ = tl_[0];                                                              \
    const uint8_t* b_ = th_[0];                                                              \
    for (; i + V::kLanes <= end; i += V::kLanes) {                                           \
      const typename V::I a = V::Load(a_ + i), b = V::Load(b_ + i), cv = V::Load(c + i);     \
      const typename V::I m = V::Sub8(V::Avg8(a, b), V::And(V::Xor(a, b), one));             \
      V::Store(out + (i - begin), V::Sub8(V::Avg8(cv, m), V::And(V::Xor(cv, m), one)));       \
    }                                                                                        \
  }                                                                                          \
  const typename V::I mul = V::Set16(q.multiplier);                                          \
  const __m128i shift = _mm_cvtsi32_si128(q.shift);                                           \
  const typename V::I wc = V::Set16(taps.centre);                                            \
  for (; i + V::kLanes <= end; i += V::kLanes) {                                             \
    const typename V::I cv = V::Load(c + i);                                                 \
    typename V::I sl = V::Mullo16(V::Unpacklo8(cv, z), wc);                                  \
    typename V::I sh = V::Mullo16(V::Unpackhi8(cv, z), wc);                                  \
    for (int32_t j = 0; j < n; ++j) {                                                        \
      typename V::I tl, th;                                                                  \
      V::TapSum(tl_[j] + i, th_[j] + i, z, tl, th);                                          \
      tl = V::Mullo16(tl, w_[j]);                                                            \
      th = V::Mullo16(th, w_[j]);                                                            \
      sl = V::Add16(sl, tl);                                                                 \
      sh = V::Add16(sh, th);                                                                 \
    }                                                                                        \
    sl = V::Srl16(V::Mulhi16(sl, mul), shift);                                               \
    sh = V::Srl16(V::Mulhi16(sh, mul), shift);                                               \
    V::Store(out + (i - begin), V::Packus16(sl, sh));                                        \
  }

inline int32_t ShortLanesSse2(const uint8_t* c, const uint8_t* const* lo, const uint8_t* const* hi,
                              const ShortTaps& taps, int32_t begin, int32_t end, ShortDivisor q,
                              uint8_t* out) {
  int32_t i = begin;
  TENT_SHORT_BODY(Sse2)
  return i;
}

__attribute__((target("avx2"))) inline int32_t ShortLanesAvx2(
    const uint8_t* c, const uint8_t* const* lo, const uint8_t* const* hi, const ShortTaps& taps,
    int32_t begin, int32_t end, ShortDivisor q, uint8_t* out) {
  int32_t i = begin;
  TENT_SHORT_BODY(Avx2)
  return i;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
__attribute__((target("avx512bw"))) inline int32_t ShortLanesAvx512(
    const uint8_t* c, const uint8_t* const* lo, const uint8_t* const* hi, const ShortTaps& taps,
    int32_t begin, int32_t end, ShortDivisor q, uint8_t* out) {
  int32_t i = begin;
  TENT_SHORT_BODY(Avx512)
  return i;
}
#pragma GCC diagnostic pop
#undef TENT_SHORT_BODY
#endif

// Lanes [begin, end): out[i - begin] = (centre c[i] + sum_j w[j] (lo[j][i] + hi[j][i])) / q
// for reduced taps (count >= 1) and an exact 16-bit divisor of their window.
inline void ShortLanes(const uint8_t* c, const uint8_t* const* lo, const uint8_t* const* hi,
                       const ShortTaps& taps, int32_t begin, int32_t end, ShortDivisor q, uint8_t* out) {
  int32_t i = begin;
#if TENT_LANES_X86
  if (TentLanesHaveAvx512()) i = ShortLanesAvx512(c, lo, hi, taps, i, end, q, out);
  if (TentLanesHaveAvx2()) i = ShortLanesAvx2(c, lo, hi, taps, i, end, q, out + (i - begin));
  i = ShortLanesSse2(c, lo, hi, taps, i, end, q, out + (i - begin));
#endif
  for (; i < end; ++i) {
    uint32_t s = static_cast<uint32_t>(taps.centre) * c[i];
    for (int32_t j = 0; j < taps.count; ++j) {
      s += static_cast<uint32_t>(taps.w[j]) * static_cast<uint32_t>(lo[j][i] + hi[j][i]);
    }
    out[i - begin] = static_cast<uint8_t>(ShortDivide(s, q));
  }
}

}  // namespace lumetra::effects
