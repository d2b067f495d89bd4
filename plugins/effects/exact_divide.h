// Division by a per-call constant as a multiply and two shifts, exact for the blur's range;
// and by 255 in vector lanes, for the blends.
#pragma once

#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace lumetra::effects {

// floor(n / d) == ((n * multiplier) >> 32) >> shift for every 0 <= n <= 255 * d and every
// d in [kExactDivideMin, kExactDivideMax] (a weighted mean of bytes): with shift =
// ceil(log2 d) - 1 and multiplier = ceil(2^(32 + shift) / d), n * multiplier overshoots
// n * 2^(32 + shift) / d by n * e with e < d, and 255 * d * d < 2^(32 + shift) keeps that
// below one step. The test checks the largest n of every quotient for every d.
inline constexpr uint32_t kExactDivideMin = 2;
inline constexpr uint32_t kExactDivideMax = 256 * 201;  // the tent's widest weight sum

// Up to this d the float just above 1/d serves as well: trunc(float(n) x reciprocal) ==
// floor(n / d) for the same n (float(n) is exact as n < 2^24). The rounded product grows
// with n, so the two ends of each quotient stand for all its n; the test checks them for
// every d (24356 is the first d where they fail).
inline constexpr uint32_t kFloatDivideMax = 24355;

struct ExactDivisor {
  uint32_t multiplier = 0;
  uint32_t shift = 0;
  float reciprocal = 0.0f;  // non-zero when d <= kFloatDivideMax
};

inline float FloatReciprocal(uint32_t d) {
  const float r = 1.0f / static_cast<float>(d);
  return std::bit_cast<float>(std::bit_cast<uint32_t>(r) + 1);  // the next float up
}

inline ExactDivisor MakeExactDivisor(uint32_t d) {
  const uint32_t shift = static_cast<uint32_t>(std::bit_width(d - 1)) - 1;
  const uint64_t scale = uint64_t{1} << (32 + shift);
  return {static_cast<uint32_t>((scale + d - 1) / d), shift,
          d <= kFloatDivideMax ? FloatReciprocal(d) : 0.0f};
}

inline uint32_t ExactDivide(uint32_t n, ExactDivisor q) {
  return static_cast<uint32_t>((static_cast<uint64_t>(n) * q.multiplier) >> 32) >> q.shift;
}

// The same in 16 bits for sums that fit them: floor(n / d) == ((n * multiplier) >> 16) >>
// shift for every 0 <= n <= 255 * d, found by taking the widest multiplier below 2^16 and
// checking the largest n of every quotient (the overshoot grows with n). `exact` is false
// when no multiplier serves, and the caller keeps the 32-bit division.
struct ShortDivisor {
  uint16_t multiplier = 0;
  uint16_t shift = 0;
  bool exact = false;
  uint32_t divisor = 0;
};

inline uint32_t ShortDivide(uint32_t n, ShortDivisor q) { return ((n * q.multiplier) >> 16) >> q.shift; }

inline ShortDivisor MakeShortDivisor(uint32_t d) {
  ShortDivisor q;
  q.divisor = d;
  if (d < 2 || 255 * d > 0xFFFF) return q;
  const auto shift = static_cast<uint32_t>(std::bit_width(d - 1)) - 1;
  const uint64_t m = ((uint64_t{1} << (16 + shift)) + d - 1) / d;
  if (m > 0xFFFF) return q;
  q.multiplier = static_cast<uint16_t>(m);
  q.shift = static_cast<uint16_t>(shift);
  for (uint32_t quotient = 0; quotient <= 255; ++quotient) {
    const uint32_t high = quotient * d + (quotient == 255 ? 0 : d - 1);
    if (ShortDivide(high, q) != quotient) return q;
  }
  q.exact = true;
  return q;
}

#if defined(__SSE2__)
// x / 255 in 16-bit lanes, exact for x up to 255 x 255: (x + 1 + (x >> 8)) >> 8.
inline __m128i Div255Lanes(__m128i x) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, _mm_set1_epi16(1)), _mm_srli_epi16(x, 8)),
                        8);
}
#endif

}  // namespace lumetra::effects
