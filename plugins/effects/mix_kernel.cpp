#include "mix_kernel.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace lumetra::effects {
namespace {

// Per channel the carry is a running remainder: with P_i the sum of a x kA + b x kB over
// the row's first i + 1 pixels, the written value is floor(P_i / 4096) - floor(P_(i-1) /
// 4096) and the remainder P_i mod 4096. So a block of four pixels adds its four terms onto
// the remainder it starts with, writes the differences of the sums' high bits and hands on
// the last sum's low 12 bits: the same bytes as one pixel after the other, with a single
// add per pixel left in the chain. The remainder starts below 4096 and each term is at most
// 255 x 4096, so the sums stay below 2^23 and every difference is 0..255.

// The part of a row where the same inputs cover it: pixels [begin, begin + n).
struct Piece {
  int32_t begin = 0;
  int32_t n = 0;
  bool in_a = false;
  bool in_b = false;
};

// A row cuts where a span begins or ends: at most five pieces. An absent span is empty.
int32_t Pieces(const Span& ea, const Span& eb, int32_t w, Piece* out) {
  int32_t cuts[6] = {0, w, ea.begin, ea.end, eb.begin, eb.end};
  std::sort(cuts, cuts + 6);
  int32_t count = 0;
  for (int32_t i = 0; i + 1 < 6; ++i) {
    const int32_t p = cuts[i];
    if (cuts[i + 1] == p) continue;
    out[count++] = {p, cuts[i + 1] - p, ea.begin <= p && p < ea.end, eb.begin <= p && p < eb.end};
  }
  return count;
}

// Calls run.template operator()<in_a, in_b>() for a piece both, one or none cover.
template <class Run>
void ByCover(const Piece& piece, Run& run) {
  if (piece.in_a && piece.in_b) {
    run.template operator()<true, true>();
  } else if (piece.in_a) {
    run.template operator()<true, false>();
  } else if (piece.in_b) {
    run.template operator()<false, true>();
  } else {
    run.template operator()<false, false>();
  }
}

#if defined(__SSE2__)

// The terms of four channels: the (a, b) pairs as 16-bit lanes, pmaddwd with (kA, kB)
// pairs.
inline __m128i Terms(__m128i pairs, __m128i k) { return _mm_madd_epi16(pairs, k); }

// Pixel x of a source, or 0 when it is absent.
template <bool kPresent>
inline __m128i Pixel(const uint8_t* p, int32_t x) {
  if constexpr (kPresent) {
    int32_t v;
    std::memcpy(&v, p + 4 * static_cast<size_t>(x), 4);
    return _mm_cvtsi32_si128(v);
  }
  return _mm_setzero_si128();
}

template <bool kPresent>
inline __m128i Block(const uint8_t* p, int32_t x) {
  if constexpr (kPresent) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * static_cast<size_t>(x)));
  }
  return _mm_setzero_si128();
}

// Pixels [x, n) one at a time.
template <bool kA, bool kB>
void MixTail(const uint8_t* a, const uint8_t* b, uint8_t* o, int32_t x, int32_t n, __m128i k,
             __m128i& carry) {
  const __m128i zero = _mm_setzero_si128();
  __m128i c = carry;
  for (; x < n; ++x) {
    const __m128i ab = _mm_unpacklo_epi8(Pixel<kA>(a, x), Pixel<kB>(b, x));
    const __m128i s = _mm_add_epi32(c, Terms(_mm_unpacklo_epi8(ab, zero), k));
    c = _mm_and_si128(s, _mm_set1_epi32(0xFFF));
    const __m128i h = _mm_srli_epi32(s, 12);
    const int32_t v = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(h, h), zero));
    std::memcpy(o + 4 * static_cast<size_t>(x), &v, 4);
  }
  carry = c;
}

// n pixels of one row from a and b (an absent one reads 0), the carry in and out.
template <bool kA, bool kB>
void MixRun(const uint8_t* a, const uint8_t* b, uint8_t* o, int32_t n, __m128i k,
            __m128i& carry) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low = _mm_set1_epi32(0xFFF);
  __m128i c = carry;
  int32_t x = 0;
  for (; x + 4 <= n; x += 4) {
    const __m128i va = Block<kA>(a, x);
    const __m128i vb = Block<kB>(b, x);
    const __m128i ab01 = _mm_unpacklo_epi8(va, vb);
    const __m128i ab23 = _mm_unpackhi_epi8(va, vb);
    const __m128i s0 = _mm_add_epi32(c, Terms(_mm_unpacklo_epi8(ab01, zero), k));
    const __m128i s1 = _mm_add_epi32(s0, Terms(_mm_unpackhi_epi8(ab01, zero), k));
    const __m128i s2 = _mm_add_epi32(s1, Terms(_mm_unpacklo_epi8(ab23, zero), k));
    const __m128i s3 = _mm_add_epi32(s2, Terms(_mm_unpackhi_epi8(ab23, zero), k));
    c = _mm_and_si128(s3, low);
    const __m128i h0 = _mm_srli_epi32(s0, 12);
    const __m128i h1 = _mm_srli_epi32(s1, 12);
    const __m128i h2 = _mm_srli_epi32(s2, 12);
    const __m128i h3 = _mm_srli_epi32(s3, 12);
    const __m128i w01 = _mm_packs_epi32(h0, _mm_sub_epi32(h1, h0));
    const __m128i w23 = _mm_packs_epi32(_mm_sub_epi32(h2, h1), _mm_sub_epi32(h3, h2));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 4 * static_cast<size_t>(x)),
                     _mm_packus_epi16(w01, w23));
  }
  carry = c;
  MixTail<kA, kB>(a, b, o, x, n, k, carry);
}

#if defined(__GNUC__) && defined(__x86_64__)
#define MIX_PAIRS 1

// Two rows side by side, one in each 128-bit half: the same steps as MixRun, lane by lane,
// so each row's bytes are those it gets alone.
#define MIX_AVX2 __attribute__((target("avx2")))

template <bool kPresent>
MIX_AVX2 inline __m256i Block2(const uint8_t* p0, const uint8_t* p1, int32_t x) {
  if constexpr (kPresent) {
    const size_t at = 4 * static_cast<size_t>(x);
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p0 + at))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p1 + at)), 1);
  }
  return _mm256_setzero_si256();
}

template <bool kA, bool kB>
MIX_AVX2 void MixRun2(const uint8_t* const a[2], const uint8_t* const b[2], uint8_t* const o[2],
                      int32_t n, __m128i k1, __m128i carry[2]) {
  // Locals, so that the stores need not reload the row pointers.
  const uint8_t* const a0 = a[0];
  const uint8_t* const a1 = a[1];
  const uint8_t* const b0 = b[0];
  const uint8_t* const b1 = b[1];
  uint8_t* const o0 = o[0];
  uint8_t* const o1 = o[1];
  const __m256i zero = _mm256_setzero_si256();
  const __m256i low = _mm256_set1_epi32(0xFFF);
  const __m256i k = _mm256_broadcastsi128_si256(k1);
  __m256i c = _mm256_inserti128_si256(_mm256_castsi128_si256(carry[0]), carry[1], 1);
  int32_t x = 0;
  for (; x + 4 <= n; x += 4) {
    const __m256i va = Block2<kA>(a0, a1, x);
    const __m256i vb = Block2<kB>(b0, b1, x);
    const __m256i ab01 = _mm256_unpacklo_epi8(va, vb);
    const __m256i ab23 = _mm256_unpackhi_epi8(va, vb);
    const __m256i s0 = _mm256_add_epi32(c, _mm256_madd_epi16(_mm256_unpacklo_epi8(ab01, zero), k));
    const __m256i s1 = _mm256_add_epi32(s0, _mm256_madd_epi16(_mm256_unpackhi_epi8(ab01, zero), k));
    const __m256i s2 = _mm256_add_epi32(s1, _mm256_madd_epi16(_mm256_unpacklo_epi8(ab23, zero), k));
    const __m256i s3 = _mm256_add_epi32(s2, _mm256_madd_epi16(_mm256_unpackhi_epi8(ab23, zero), k));
    c = _mm256_and_si256(s3, low);
    const __m256i h0 = _mm256_srli_epi32(s0, 12);
    const __m256i h1 = _mm256_srli_epi32(s1, 12);
    const __m256i h2 = _mm256_srli_epi32(s2, 12);
    const __m256i h3 = _mm256_srli_epi32(s3, 12);
    const __m256i w01 = _mm256_packs_epi32(h0, _mm256_sub_epi32(h1, h0));
    const __m256i w23 = _mm256_packs_epi32(_mm256_sub_epi32(h2, h1), _mm256_sub_epi32(h3, h2));
    const __m256i bytes = _mm256_packus_epi16(w01, w23);
    const size_t at = 4 * static_cast<size_t>(x);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o0 + at), _mm256_castsi256_si128(bytes));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o1 + at), _mm256_extracti128_si256(bytes, 1));
  }
  carry[0] = _mm256_castsi256_si128(c);
  carry[1] = _mm256_extracti128_si256(c, 1);
  for (int32_t r = 0; r < 2; ++r) MixTail<kA, kB>(a[r], b[r], o[r], x, n, k1, carry[r]);
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

// Sixteen pixels of one row in 16-bit lanes. With d = b - a, a x kA + b x kB = 4096 a + d x kB
// and d x kB = 4096 hi + r (hi = floor(d kB / 4096), r = d kB mod 4096), so the written value
// is a + hi + carry, the carry being 1 where the row's running sum of r passes a multiple of
// 4096. pmulhw and pmullw of 16 d by kB give hi and 16 r; summed in 16-bit lanes, 16 r wraps
// at 16 x 4096, so the lane holds 16 x the remainder and has passed a multiple exactly where
// it ends below the 16 r just added. a + hi + carry is 0..255, so adding a as bytes is exact.
// That takes about three fifths of the vector operations of 32-bit sums.
#define MIX_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// Byte i of the (a, b) byte pairs of a block's even (odd = 0) or odd (odd = 1) pixels, a from
// the first 64 bytes, b from the second: word i / 2 is channel (i / 2) % 4 of pixel
// 2 (i / 8) + odd, so qword j holds pixel 2 j + odd.
constexpr std::array<uint8_t, 64> PairIndex(int odd) {
  std::array<uint8_t, 64> t{};
  for (int i = 0; i < 64; ++i)
    t[i] = static_cast<uint8_t>((i % 2) * 64 + 4 * (2 * (i / 8) + odd) + (i % 8) / 2);
  return t;
}

// Byte i of a block from the low bytes of the words of the even pixels (first 64 bytes) and
// the odd ones (second 64).
constexpr std::array<uint8_t, 64> BackIndex() {
  std::array<uint8_t, 64> t{};
  for (int i = 0; i < 64; ++i)
    t[i] = static_cast<uint8_t>((i / 4 % 2) * 64 + 8 * (i / 8) + 2 * (i % 4));
  return t;
}

alignas(64) constexpr std::array<uint8_t, 64> kEvenPairs = PairIndex(0);
alignas(64) constexpr std::array<uint8_t, 64> kOddPairs = PairIndex(1);
alignas(64) constexpr std::array<uint8_t, 64> kBack = BackIndex();

template <bool kPresent>
MIX_AVX512 inline __m512i Block16(const uint8_t* p, int32_t x, __mmask64 m) {
  if constexpr (kPresent) return _mm512_maskz_loadu_epi8(m, p + 4 * static_cast<size_t>(x));
  return _mm512_setzero_si512();
}

// The constants of a row's blocks.
struct Wide {
  __m512i even, odd, back, weights, k, ones, last;

  MIX_AVX512 explicit Wide(int32_t kb)
      : even(_mm512_load_si512(kEvenPairs.data())),
        odd(_mm512_load_si512(kOddPairs.data())),
        back(_mm512_load_si512(kBack.data())),
        weights(_mm512_set1_epi16(static_cast<int16_t>(0x10F0))),  // -16 a + 16 b
        k(_mm512_set1_epi16(static_cast<int16_t>(kb))),
        ones(_mm512_set1_epi16(-1)),
        last(_mm512_set1_epi64(7)) {}

  // The sixteen pixels' bytes before a is added, the carry in and out.
  MIX_AVX512 __m512i Block(__m512i va, __m512i vb, __m512i& c) const {
    const __m512i d0 = _mm512_maddubs_epi16(_mm512_permutex2var_epi8(va, even, vb), weights);
    const __m512i d1 = _mm512_maddubs_epi16(_mm512_permutex2var_epi8(va, odd, vb), weights);
    const __m512i l0 = _mm512_mullo_epi16(d0, k);
    const __m512i l1 = _mm512_mullo_epi16(d1, k);
    // Each pixel pair's sum, then the running sum over the eight pairs (each step adds the
    // sums 1, 2, 4 qwords lower; the masked-off qwords have none): r1 ends at the odd pixels,
    // r0 at the even ones.
    __m512i s = _mm512_add_epi16(l0, l1);
    s = _mm512_add_epi16(s, _mm512_maskz_alignr_epi64(0xFE, s, s, 7));
    s = _mm512_add_epi16(s, _mm512_maskz_alignr_epi64(0xFC, s, s, 6));
    s = _mm512_add_epi16(s, _mm512_maskz_alignr_epi64(0xF0, s, s, 4));
    const __m512i r1 = _mm512_add_epi16(s, c);
    const __m512i r0 = _mm512_sub_epi16(r1, l1);
    c = _mm512_add_epi16(c, _mm512_maskz_permutexvar_epi64(0xFF, last, s));
    const __m512i h0 = _mm512_mulhi_epi16(d0, k);
    const __m512i h1 = _mm512_mulhi_epi16(d1, k);
    const __m512i w0 = _mm512_mask_sub_epi16(h0, _mm512_cmplt_epu16_mask(r0, l0), h0, ones);
    const __m512i w1 = _mm512_mask_sub_epi16(h1, _mm512_cmplt_epu16_mask(r1, l1), h1, ones);
    return _mm512_permutex2var_epi8(w0, back, w1);
  }
};

// Pixels [x, x + 16) of one row, the bytes m does not select reading 0.
template <bool kA, bool kB>
MIX_AVX512 inline __m512i Mixed16(const uint8_t* a, const uint8_t* b, int32_t x, __mmask64 m,
                                  const Wide& wide, __m512i& c) {
  const __m512i va = Block16<kA>(a, x, m);
  const __m512i bytes = wide.Block(va, Block16<kB>(b, x, m), c);
  return kA ? _mm512_add_epi8(bytes, va) : bytes;
}

// n pixels of one row; carry is 16 x the remainder in every 16-bit lane of a pixel's qword.
template <bool kA, bool kB>
MIX_AVX512 void MixRun16(const uint8_t* a, const uint8_t* b, uint8_t* o, int32_t n,
                         const Wide& constants, __m512i& carry) {
  // A copy the stores cannot alias, so that the constants stay in registers.
  const Wide wide = constants;
  __m512i c = carry;
  const __mmask64 all = ~__mmask64{0};
  int32_t x = 0;
  for (; x + 16 <= n; x += 16) {
    _mm512_storeu_si512(o + 4 * static_cast<size_t>(x), Mixed16<kA, kB>(a, b, x, all, wide, c));
  }
  if (x < n) {
    // Pixels past the end read 0 and add nothing to the carry.
    const __mmask64 m = (__mmask64{1} << (4 * (n - x))) - 1;
    _mm512_mask_storeu_epi8(o + 4 * static_cast<size_t>(x), m,
                            Mixed16<kA, kB>(a, b, x, m, wide, c));
  }
  carry = c;
}

bool HasAvx512() {
  static const bool has =
      __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
  return has;
}
#endif

#endif  // __SSE2__

struct MixJob {
  PlacedView a;
  PlacedView b;
  PlacedImage out;
  uint32_t ka;
  uint32_t kb;
  MixLanes lanes;  // kOneRow, kTwoRows or kWideRow

  // A piece's first pixel in a source row, or null when the piece does not read it.
  const uint8_t* At(const uint8_t* row, const Span& s, const Piece& piece, bool in) const {
    return in ? row + static_cast<size_t>(s.source_column + piece.begin - s.begin) * 4 : nullptr;
  }

  // Row y piece by piece: mix.template operator()<in_a, in_b>(pa, pb, d, n) where an input
  // covers, zeros where none does.
  template <class Mix>
  void EachPiece(int32_t y, const Span& sa, const Span& sb, Mix&& mix) const {
    const uint8_t* ra = RowAt(a, out.y, y);
    const uint8_t* rb = RowAt(b, out.y, y);
    Piece pieces[5];
    const int32_t count = Pieces(ra ? sa : Span{}, rb ? sb : Span{}, out.view.width, pieces);
    uint8_t* o = out.view.Row(y);
    for (int32_t i = 0; i < count; ++i) {
      const Piece& piece = pieces[i];
      const uint8_t* pa = At(ra, sa, piece, piece.in_a);
      const uint8_t* pb = At(rb, sb, piece, piece.in_b);
      uint8_t* d = o + static_cast<size_t>(piece.begin) * 4;
      auto run = [&]<bool kA, bool kB>() {
        if constexpr (!kA && !kB) {
          // No term: every sum keeps its remainder (below 4096) and writes 0.
          std::memset(d, 0, static_cast<size_t>(piece.n) * 4);
        } else {
          mix.template operator()<kA, kB>(pa, pb, d, piece.n);
        }
      };
      ByCover(piece, run);
    }
  }

  void Row(int32_t y, const Span& sa, const Span& sb) const {
#if defined(__SSE2__)
    __m128i carry = _mm_setzero_si128();
    const __m128i k = _mm_set1_epi32(static_cast<int32_t>(ka | kb << 16));
    EachPiece(y, sa, sb,
              [&]<bool kA, bool kB>(const uint8_t* pa, const uint8_t* pb, uint8_t* d, int32_t n) {
                MixRun<kA, kB>(pa, pb, d, n, k, carry);
              });
#else
    uint32_t carry[4] = {0, 0, 0, 0};
    EachPiece(y, sa, sb,
              [&]<bool kA, bool kB>(const uint8_t* pa, const uint8_t* pb, uint8_t* d, int32_t n) {
                for (size_t j = 0; j < static_cast<size_t>(n) * 4; ++j) {
                  uint32_t s = carry[j & 3];
                  if constexpr (kA) s += pa[j] * ka;
                  if constexpr (kB) s += pb[j] * kb;
                  d[j] = static_cast<uint8_t>(s >> 12);
                  carry[j & 3] = s & 0xFFFu;
                }
              });
#endif
  }

#if defined(MIX_PAIRS)
  // Rows y and y + 1, alike in which inputs they have.
  MIX_AVX2 void RowPair(int32_t y, const Span& sa, const Span& sb) const {
    const int32_t w = out.view.width;
    const uint8_t* ra[2] = {RowAt(a, out.y, y), RowAt(a, out.y, y + 1)};
    const uint8_t* rb[2] = {RowAt(b, out.y, y), RowAt(b, out.y, y + 1)};
    Piece pieces[5];
    const int32_t count = Pieces(ra[0] ? sa : Span{}, rb[0] ? sb : Span{}, w, pieces);
    __m128i carry[2] = {_mm_setzero_si128(), _mm_setzero_si128()};
    const __m128i k = _mm_set1_epi32(static_cast<int32_t>(ka | kb << 16));
    for (int32_t i = 0; i < count; ++i) {
      const Piece& piece = pieces[i];
      const uint8_t* pa[2] = {At(ra[0], sa, piece, piece.in_a), At(ra[1], sa, piece, piece.in_a)};
      const uint8_t* pb[2] = {At(rb[0], sb, piece, piece.in_b), At(rb[1], sb, piece, piece.in_b)};
      uint8_t* d[2] = {out.view.Row(y) + static_cast<size_t>(piece.begin) * 4,
                       out.view.Row(y + 1) + static_cast<size_t>(piece.begin) * 4};
      auto run = [&]<bool kA, bool kB>() {
        if constexpr (!kA && !kB) {
          for (uint8_t* row : d) std::memset(row, 0, static_cast<size_t>(piece.n) * 4);
        } else {
          MixRun2<kA, kB>(pa, pb, d, piece.n, k, carry);
        }
      };
      ByCover(piece, run);
    }
  }
#endif

#if defined(MIX_PAIRS)
  MIX_AVX512 void RowWide(int32_t y, const Span& sa, const Span& sb) const {
    const Wide wide(static_cast<int32_t>(kb));
    __m512i carry = _mm512_setzero_si512();
    EachPiece(y, sa, sb,
              [&]<bool kA, bool kB>(const uint8_t* pa, const uint8_t* pb, uint8_t* d, int32_t n) {
                MixRun16<kA, kB>(pa, pb, d, n, wide, carry);
              });
  }
#endif

  void Band(int32_t begin, int32_t end) const {
    const int32_t w = out.view.width;
    const Span sa = SpanOf(out.x, w, a.x, a.view.width);
    const Span sb = SpanOf(out.x, w, b.x, b.view.width);
    int32_t y = begin;
#if defined(MIX_PAIRS)
    if (lanes == MixLanes::kWideRow) {
      for (; y < end; ++y) RowWide(y, sa, sb);
      return;
    }
    // Two rows go together when both have a row of A or both have none, and the same for B.
    auto alike = [this](int32_t r) {
      return (RowAt(a, out.y, r) == nullptr) == (RowAt(a, out.y, r + 1) == nullptr) &&
             (RowAt(b, out.y, r) == nullptr) == (RowAt(b, out.y, r + 1) == nullptr);
    };
    while (lanes == MixLanes::kTwoRows && y + 1 < end) {
      if (alike(y)) {
        RowPair(y, sa, sb);
        y += 2;
      } else {
        Row(y++, sa, sb);
      }
    }
#endif
    for (; y < end; ++y) Row(y, sa, sb);
  }
};

// The lanes a request runs on: the widest this processor has, or the one asked for.
MixLanes Resolved(MixLanes lanes) {
  if (lanes != MixLanes::kWidest) return MixLanesAvailable(lanes) ? lanes : MixLanes::kOneRow;
  for (const MixLanes l : {MixLanes::kWideRow, MixLanes::kTwoRows}) {
    if (MixLanesAvailable(l)) return l;
  }
  return MixLanes::kOneRow;
}

}  // namespace

bool MixLanesAvailable(MixLanes lanes) {
  switch (lanes) {
#if defined(MIX_PAIRS)
    case MixLanes::kTwoRows:
      return HasAvx2();
    case MixLanes::kWideRow:
      return HasAvx512();
#endif
    case MixLanes::kWidest:
    case MixLanes::kOneRow:
      return true;
    default:
      return false;
  }
}

int32_t MixShare(double f) {
  if (!(f > 0.0)) return 0;
  if (f >= 1.0) return 4096;
  return static_cast<int32_t>(f * 4096.0);
}

KernelStatus MixPictures(const PlacedView& a, const PlacedView& b, const PlacedImage& out,
                         int32_t kb, const BandRunner& bands, const AbortCheck& abort,
                         MixLanes lanes) {
  if (!ViewUsable(out.view)) return KernelStatus::kNoMemory;
  kb = std::clamp(kb, 0, 4096);
  const MixJob job{a,     b,    out, static_cast<uint32_t>(4096 - kb), static_cast<uint32_t>(kb),
                   Resolved(lanes)};
  auto band = [&job](int32_t begin, int32_t end) { job.Band(begin, end); };
  return RunChunked(out.view.height, out.view.width * 3, bands, abort, band);
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
