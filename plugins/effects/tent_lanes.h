// The tent blur's inner loop over byte lanes: the centre byte weighted 256 plus every
// side tap's weight times the sum of its two mirrored bytes, in 32 bits, then either
// divided exactly or kept. SSE2 (the x86-64 baseline) does 16 lanes at a time with
// pmaddwd over two taps, AVX2 32 and AVX-512BW 64 where the processor has them (picked
// at run time); the plain loop does the rest and every other processor. Integer sums
// and exact quotients: every path gives the same bytes.
#pragma once

#include <cstdint>

#include "exact_divide.h"
#include "tent_blur.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TENT_LANES_X86 1
#else
#define TENT_LANES_X86 0
#endif

namespace lumetra::effects {

// The side taps with a non-zero weight, nearest first (zero weights add nothing).
struct LaneTaps {
  int32_t count = 0;
  int32_t dist[kTentMaxRadius] = {};
  int32_t w[kTentMaxRadius] = {};
  // Weight pairs as two 16-bit halves for pmaddwd: (256, w[0]), (w[1], w[2]), ...
  int32_t pair[kTentMaxRadius / 2 + 1] = {};
};

inline LaneTaps LaneTapsFor(const TentWeights& t) {
  LaneTaps s;
  for (int32_t d = 1; d <= t.radius; ++d) {
    if (t.w[static_cast<std::size_t>(d)] == 0) continue;
    s.dist[s.count] = d;
    s.w[s.count] = t.w[static_cast<std::size_t>(d)];
    ++s.count;
  }
  for (int32_t p = 0; 2 * p <= s.count; ++p) {
    const int32_t a = p == 0 ? 256 : s.w[2 * p - 1];
    const int32_t b = 2 * p < s.count ? s.w[2 * p] : 0;
    s.pair[p] = a | (b << 16);
  }
  return s;
}

#if TENT_LANES_X86
// The vector loops of one instruction set; V holds its types and operations.
#define TENT_LANES_BODY(V)                                                                      \
  const typename V::I z = V::Zero();                                                            \
  const typename V::I mul = V::Set(static_cast<int32_t>(q.multiplier));                        \
  const __m128i shift = _mm_cvtsi32_si128(static_cast<int32_t>(q.shift));                       \
  const typename V::F rcp = V::SetF(q.reciprocal);                                              \
  const typename V::I odd_mask = V::OddMask();                                                  \
  const int32_t n = taps.count;                                                                 \
  /* The last tap pairs with nothing when the centre and the taps make an odd count. */        \
  const int32_t paired = (n & 1) != 0 ? n : n - 1;                                              \
  const bool by_float = q.reciprocal != 0.0f;                                                  \
  for (; i + V::kLanes <= end; i += V::kLanes) {                                                \
    /* Pair 0: the centre byte with the nearest tap. */                                         \
    const typename V::I cv = V::Load(c + i);                                                    \
    typename V::I xl = V::Unpacklo8(cv, z), xh = V::Unpackhi8(cv, z), yl, yh;                   \
    V::TapSum(lo[0] + i, hi[0] + i, z, yl, yh);                                                                      \
    typename V::I wp = V::Set(taps.pair[0]);                                                    \
    typename V::I s0 = V::Madd(V::Unpacklo16(xl, yl), wp);                                      \
    typename V::I s1 = V::Madd(V::Unpackhi16(xl, yl), wp);                                      \
    typename V::I s2 = V::Madd(V::Unpacklo16(xh, yh), wp);                                      \
    typename V::I s3 = V::Madd(V::Unpackhi16(xh, yh), wp);                                      \
    for (int32_t j = 1; j < paired; j += 2) {                                                   \
      V::TapSum(lo[j] + i, hi[j] + i, z, xl, xh);                                                                    \
      V::TapSum(lo[j + 1] + i, hi[j + 1] + i, z, yl, yh);                                                                \
      wp = V::Set(taps.pair[(j + 1) / 2]);                                                      \
      s0 = V::Add32(s0, V::Madd(V::Unpacklo16(xl, yl), wp));                                    \
      s1 = V::Add32(s1, V::Madd(V::Unpackhi16(xl, yl), wp));                                    \
      s2 = V::Add32(s2, V::Madd(V::Unpacklo16(xh, yh), wp));                                    \
      s3 = V::Add32(s3, V::Madd(V::Unpackhi16(xh, yh), wp));                                    \
    }                                                                                           \
    if (paired < n) {                                                                           \
      V::TapSum(lo[n - 1] + i, hi[n - 1] + i, z, xl, xh);                                                                \
      wp = V::Set(taps.pair[n / 2]);                                                            \
      s0 = V::Add32(s0, V::Madd(V::Unpacklo16(xl, z), wp));                                     \
      s1 = V::Add32(s1, V::Madd(V::Unpackhi16(xl, z), wp));                                     \
      s2 = V::Add32(s2, V::Madd(V::Unpacklo16(xh, z), wp));                                     \
      s3 = V::Add32(s3, V::Madd(V::Unpackhi16(xh, z), wp));                                     \
    }                                                                                           \
    if constexpr (kDivide) {                                                                    \
      /* Quotients are bytes, so the saturating packs keep them; the packs undo the          \
         unpacks' order within each 16-byte half. */                                            \
      const typename V::I lo16 = V::Packs32(V::Divide(s0, by_float, rcp, mul, shift, odd_mask), \
                                            V::Divide(s1, by_float, rcp, mul, shift, odd_mask)); \
      const typename V::I hi16 = V::Packs32(V::Divide(s2, by_float, rcp, mul, shift, odd_mask), \
                                            V::Divide(s3, by_float, rcp, mul, shift, odd_mask)); \
      V::Store(out + (i - begin), V::Packus16(lo16, hi16));                                     \
    } else {                                                                                    \
      V::StoreSums(sums + (i - begin), s0, s1, s2, s3);                                         \
    }                                                                                           \
  }

// Helpers every instruction set's struct defines with its own target attribute.
#define TENT_HELPERS(ATTR)                                                                      \
  static inline ATTR I Divide(I v, bool by_float, F rcp, I mul, __m128i shift, I odd_mask) {    \
    if (by_float) return TruncMul(v, rcp);                                                      \
    const I even = Srli64(MulU32(v, mul), 32);                                                  \
    const I odd = And(MulU32(Srli64(v, 32), mul), odd_mask);                                    \
    return Srl32(Or(even, odd), shift);                                                         \
  }                                                                                             \
  static inline ATTR void TapSum(const uint8_t* pa, const uint8_t* pb, I z, I& low, I& high) {  \
    const I a = Load(pa), b = Load(pb);                                                         \
    low = Add16(Unpacklo8(a, z), Unpacklo8(b, z));                                              \
    high = Add16(Unpackhi8(a, z), Unpackhi8(b, z));                                             \
  }

#define TENT_V(name, expr) static inline __attribute__((always_inline)) name { return expr; }

struct Sse2 {
  using I = __m128i;
  using F = __m128;
  static constexpr int32_t kLanes = 16;
  TENT_V(I Zero(), _mm_setzero_si128())
  TENT_V(I Set(int32_t v), _mm_set1_epi32(v))
  TENT_V(F SetF(float v), _mm_set1_ps(v))
  TENT_V(I OddMask(), _mm_set_epi32(-1, 0, -1, 0))
  TENT_V(I Load(const uint8_t* p), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)))
  TENT_V(I Unpacklo8(I a, I b), _mm_unpacklo_epi8(a, b))
  TENT_V(I Unpackhi8(I a, I b), _mm_unpackhi_epi8(a, b))
  TENT_V(I Unpacklo16(I a, I b), _mm_unpacklo_epi16(a, b))
  TENT_V(I Unpackhi16(I a, I b), _mm_unpackhi_epi16(a, b))
  TENT_V(I Add16(I a, I b), _mm_add_epi16(a, b))
  TENT_V(I Set8(int32_t v), _mm_set1_epi8(static_cast<char>(v)))
  TENT_V(I Avg8(I a, I b), _mm_avg_epu8(a, b))
  TENT_V(I Sub8(I a, I b), _mm_sub_epi8(a, b))
  TENT_V(I Xor(I a, I b), _mm_xor_si128(a, b))
  TENT_V(I Set16(int32_t v), _mm_set1_epi16(static_cast<int16_t>(v)))
  TENT_V(I Mullo16(I a, I b), _mm_mullo_epi16(a, b))
  TENT_V(I Mulhi16(I a, I b), _mm_mulhi_epu16(a, b))
  TENT_V(I Srl16(I a, __m128i s), _mm_srl_epi16(a, s))
  TENT_V(I Add32(I a, I b), _mm_add_epi32(a, b))
  TENT_V(I Madd(I a, I b), _mm_madd_epi16(a, b))
  TENT_V(I MulU32(I a, I b), _mm_mul_epu32(a, b))
  TENT_V(I Srli64(I a, int s), _mm_srli_epi64(a, s))
  TENT_V(I Srl32(I a, __m128i s), _mm_srl_epi32(a, s))
  TENT_V(I And(I a, I b), _mm_and_si128(a, b))
  TENT_V(I Or(I a, I b), _mm_or_si128(a, b))
  TENT_V(I TruncMul(I a, F r), _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(a), r)))
  TENT_V(I Packs32(I a, I b), _mm_packs_epi32(a, b))
  TENT_V(I Packus16(I a, I b), _mm_packus_epi16(a, b))
  static inline __attribute__((always_inline)) void Store(uint8_t* p, I v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
  }
  static inline __attribute__((always_inline)) void StoreSums(uint32_t* p, I a, I b, I c, I d) {
    __m128i* o = reinterpret_cast<__m128i*>(p);
    _mm_storeu_si128(o, a);
    _mm_storeu_si128(o + 1, b);
    _mm_storeu_si128(o + 2, c);
    _mm_storeu_si128(o + 3, d);
  }
  TENT_HELPERS(__attribute__((always_inline)))
};

template <bool kDivide>
inline int32_t TentLanesSse2(const uint8_t* c, const uint8_t* const* lo, const uint8_t* const* hi,
                             const LaneTaps& taps, int32_t begin, int32_t end, ExactDivisor q,
                             uint8_t* out, uint32_t* sums) {
  int32_t i = begin;
  TENT_LANES_BODY(Sse2)
  return i;
}

#define TENT_AVX2 __attribute__((target("avx2"), always_inline))
struct Avx2 {
  using I = __m256i;
  using F = __m256;
  static constexpr int32_t kLanes = 32;
  static inline TENT_AVX2 I Zero() { return _mm256_setzero_si256(); }
  static inline TENT_AVX2 I Set(int32_t v) { return _mm256_set1_epi32(v); }
  static inline TENT_AVX2 F SetF(float v) { return _mm256_set1_ps(v); }
  static inline TENT_AVX2 I OddMask() { return _mm256_set_epi32(-1, 0, -1, 0, -1, 0, -1, 0); }
  static inline TENT_AVX2 I Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  static inline TENT_AVX2 I Unpacklo8(I a, I b) { return _mm256_unpacklo_epi8(a, b); }
  static inline TENT_AVX2 I Unpackhi8(I a, I b) { return _mm256_unpackhi_epi8(a, b); }
  static inline TENT_AVX2 I Unpacklo16(I a, I b) { return _mm256_unpacklo_epi16(a, b); }
  static inline TENT_AVX2 I Unpackhi16(I a, I b) { return _mm256_unpackhi_epi16(a, b); }
  static inline TENT_AVX2 I Add16(I a, I b) { return _mm256_add_epi16(a, b); }
  static inline TENT_AVX2 I Set8(int32_t v) { return _mm256_set1_epi8(static_cast<char>(v)); }
  static inline TENT_AVX2 I Avg8(I a, I b) { return _mm256_avg_epu8(a, b); }
  static inline TENT_AVX2 I Sub8(I a, I b) { return _mm256_sub_epi8(a, b); }
  static inline TENT_AVX2 I Xor(I a, I b) { return _mm256_xor_si256(a, b); }
  static inline TENT_AVX2 I Set16(int32_t v) { return _mm256_set1_epi16(static_cast<int16_t>(v)); }
  static inline TENT_AVX2 I Mullo16(I a, I b) { return _mm256_mullo_epi16(a, b); }
  static inline TENT_AVX2 I Mulhi16(I a, I b) { return _mm256_mulhi_epu16(a, b); }
  static inline TENT_AVX2 I Srl16(I a, __m128i s) { return _mm256_srl_epi16(a, s); }
  static inline TENT_AVX2 I Add32(I a, I b) { return _mm256_add_epi32(a, b); }
  static inline TENT_AVX2 I Madd(I a, I b) { return _mm256_madd_epi16(a, b); }
  static inline TENT_AVX2 I MulU32(I a, I b) { return _mm256_mul_epu32(a, b); }
  static inline TENT_AVX2 I Srli64(I a, int s) { return _mm256_srli_epi64(a, s); }
  static inline TENT_AVX2 I Srl32(I a, __m128i s) { return _mm256_srl_epi32(a, s); }
  static inline TENT_AVX2 I And(I a, I b) { return _mm256_and_si256(a, b); }
  static inline TENT_AVX2 I Or(I a, I b) { return _mm256_or_si256(a, b); }
  static inline TENT_AVX2 I TruncMul(I a, F r) {
    return _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(a), r));
  }
  static inline TENT_AVX2 I Packs32(I a, I b) { return _mm256_packs_epi32(a, b); }
  static inline TENT_AVX2 I Packus16(I a, I b) { return _mm256_packus_epi16(a, b); }
  static inline TENT_AVX2 void Store(uint8_t* p, I v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  }
  static inline TENT_AVX2 void StoreSums(uint32_t*, I, I, I, I) {}  // divided lanes only
  TENT_HELPERS(TENT_AVX2)
};

// GCC 12 sees its own AVX-512 headers' undefined vectors as maybe uninitialized.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#define TENT_AVX512 __attribute__((target("avx512bw"), always_inline))
struct Avx512 {
  using I = __m512i;
  using F = __m512;
  static constexpr int32_t kLanes = 64;
  static inline TENT_AVX512 I Zero() { return _mm512_setzero_si512(); }
  static inline TENT_AVX512 I Set(int32_t v) { return _mm512_set1_epi32(v); }
  static inline TENT_AVX512 F SetF(float v) { return _mm512_set1_ps(v); }
  static inline TENT_AVX512 I OddMask() { return _mm512_set_epi32(-1, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0); }
  static inline TENT_AVX512 I Load(const uint8_t* p) {
    return _mm512_loadu_si512(p);
  }
  static inline TENT_AVX512 I Unpacklo8(I a, I b) { return _mm512_unpacklo_epi8(a, b); }
  static inline TENT_AVX512 I Unpackhi8(I a, I b) { return _mm512_unpackhi_epi8(a, b); }
  static inline TENT_AVX512 I Unpacklo16(I a, I b) { return _mm512_unpacklo_epi16(a, b); }
  static inline TENT_AVX512 I Unpackhi16(I a, I b) { return _mm512_unpackhi_epi16(a, b); }
  static inline TENT_AVX512 I Add16(I a, I b) { return _mm512_add_epi16(a, b); }
  static inline TENT_AVX512 I Set8(int32_t v) { return _mm512_set1_epi8(static_cast<char>(v)); }
  static inline TENT_AVX512 I Avg8(I a, I b) { return _mm512_avg_epu8(a, b); }
  static inline TENT_AVX512 I Sub8(I a, I b) { return _mm512_sub_epi8(a, b); }
  static inline TENT_AVX512 I Xor(I a, I b) { return _mm512_xor_si512(a, b); }
  static inline TENT_AVX512 I Set16(int32_t v) { return _mm512_set1_epi16(static_cast<int16_t>(v)); }
  static inline TENT_AVX512 I Mullo16(I a, I b) { return _mm512_mullo_epi16(a, b); }
  static inline TENT_AVX512 I Mulhi16(I a, I b) { return _mm512_mulhi_epu16(a, b); }
  static inline TENT_AVX512 I Srl16(I a, __m128i s) { return _mm512_srl_epi16(a, s); }
  static inline TENT_AVX512 I Add32(I a, I b) { return _mm512_add_epi32(a, b); }
  static inline TENT_AVX512 I Madd(I a, I b) { return _mm512_madd_epi16(a, b); }
  static inline TENT_AVX512 I MulU32(I a, I b) { return _mm512_mul_epu32(a, b); }
  static inline TENT_AVX512 I Srli64(I a, int s) { return _mm512_srli_epi64(a, s); }
  static inline TENT_AVX512 I Srl32(I a, __m128i s) { return _mm512_srl_epi32(a, s); }
  static inline TENT_AVX512 I And(I a, I b) { return _mm512_and_si512(a, b); }
  static inline TENT_AVX512 I Or(I a, I b) { return _mm512_or_si512(a, b); }
  static inline TENT_AVX512 I TruncMul(I a, F r) {
    return _mm512_cvttps_epi32(_mm512_mul_ps(_mm512_cvtepi32_ps(a), r));
  }
  static inline TENT_AVX512 I Packs32(I a, I b) { return _mm512_packs_epi32(a, b); }
  static inline TENT_AVX512 I Packus16(I a, I b) { return _mm512_packus_epi16(a, b); }
  static inline TENT_AVX512 void Store(uint8_t* p, I v) {
    _mm512_storeu_si512(p, v);
  }
  static inline TENT_AVX512 void StoreSums(uint32_t*, I, I, I, I) {}  // divided lanes only
  TENT_HELPERS(TENT_AVX512)
};

// Divided lanes only: within each half the sums come out in unpack order.
__attribute__((target("avx2"))) inline int32_t TentLanesAvx2(
    const uint8_t* c, const uint8_t* const* lo, const uint8_t* const* hi, const LaneTaps& taps,
    int32_t begin, int32_t end, ExactDivisor q, uint8_t* out) {
  constexpr bool kDivide = true;
  uint32_t* sums = nullptr;
  (void)sums;
  int32_t i = begin;
  TENT_LANES_BODY(Avx2)
  return i;
}

__attribute__((target("avx512bw"))) inline int32_t TentLanesAvx512(
    const uint8_t* c, const uint8_t* const* lo, const uint8_t* const* hi, const LaneTaps& taps,
    int32_t begin, int32_t end, ExactDivisor q, uint8_t* out) {
  constexpr bool kDivide = true;
  uint32_t* sums = nullptr;
  (void)sums;
  int32_t i = begin;
  TENT_LANES_BODY(Avx512)
  return i;
}

#pragma GCC diagnostic pop

inline bool TentLanesHaveAvx512() {
  static const bool has = __builtin_cpu_supports("avx512bw");
  return has;
}
inline bool TentLanesHaveAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#undef TENT_V
#undef TENT_AVX2
#undef TENT_AVX512
#undef TENT_HELPERS
#undef TENT_LANES_BODY
#endif

// Lanes [begin, end): sum[i] = 256 c[i] + sum_j w[j] (lo[j][i] + hi[j][i]) for the
// taps' count >= 1; out[i - begin] = sum / q when kDivide, else sums[i - begin] = sum.
template <bool kDivide>
inline void TentLanes(const uint8_t* c, const uint8_t* const* lo, const uint8_t* const* hi,
                      const LaneTaps& taps, int32_t begin, int32_t end, ExactDivisor q,
                      uint8_t* out, uint32_t* sums) {
  int32_t i = begin;
#if TENT_LANES_X86
  if constexpr (kDivide) {
    if (TentLanesHaveAvx512()) i = TentLanesAvx512(c, lo, hi, taps, i, end, q, out);
    if (TentLanesHaveAvx2()) i = TentLanesAvx2(c, lo, hi, taps, i, end, q, out + (i - begin));
  }
  {
    const int32_t from = i;
    i = TentLanesSse2<kDivide>(c, lo, hi, taps, from, end, q, kDivide ? out + (from - begin) : nullptr,
                               kDivide ? nullptr : sums + (from - begin));
  }
#endif
  for (; i < end; ++i) {
    uint32_t s = 256u * c[i];
    for (int32_t j = 0; j < taps.count; ++j) {
      s += static_cast<uint32_t>(taps.w[j]) * static_cast<uint32_t>(lo[j][i] + hi[j][i]);
    }
    if constexpr (kDivide) {
      out[i - begin] = static_cast<uint8_t>(ExactDivide(s, q));
    } else {
      sums[i - begin] = s;
    }
  }
}

}  // namespace lumetra::effects
