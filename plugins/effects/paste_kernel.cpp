#include "paste_kernel.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "exact_divide.h"

namespace lumetra::effects {
namespace {

// One opacity value from a pixel by source code; bytes are blue, green, red, alpha.
inline int32_t SourceValue(int32_t source, const uint8_t* px) {
  switch (source) {
    case 0: return px[2];
    case 1: return px[1];
    case 2: return px[0];
    case 3: return px[3];
    case 4: return (px[0] + px[1] + px[2]) / 3;
    case 5: return 255;
    default: return 0;
  }
}

inline int32_t Spread(const uint8_t* px) {
  return std::max({px[0], px[1], px[2]}) - std::min({px[0], px[1], px[2]});
}

struct OverlayTableData {
  std::array<uint8_t, 256 * 256> value{};
  OverlayTableData() {
    for (int f = 0; f < 256; ++f) {
      for (int g = 0; g < 256; ++g) {
        const double fn = f / 255.0;
        const double gn = g / 255.0;
        const double p = 255.0 * std::pow(gn, 4.0 - fn - gn);
        const double q = 255.0 * std::pow(gn, 1.0 - std::sqrt(2.0 * fn * gn));
        const double c = std::trunc(p + fn * (q - p));
        value[static_cast<size_t>(f) * 256 + static_cast<size_t>(g)] =
            static_cast<uint8_t>(std::clamp(c, 0.0, 255.0));
      }
    }
  }
};

template <PasteBlend kBlend>
inline int32_t Blend(int32_t f, int32_t g, int32_t sf, int32_t sg, const uint8_t* overlay) {
  if constexpr (kBlend == PasteBlend::kNormal) return f;
  if constexpr (kBlend == PasteBlend::kMultiply) return f * g / 255;
  if constexpr (kBlend == PasteBlend::kScreen) return f * (255 - g) / 255 + g;
  if constexpr (kBlend == PasteBlend::kLighten) return std::max(f, g);
  if constexpr (kBlend == PasteBlend::kDarken) return std::min(f, g);
  if constexpr (kBlend == PasteBlend::kDifference) return std::abs(g - f);
  if constexpr (kBlend == PasteBlend::kTest6) return sf != 0 ? g + (f - g) * sf / (sg + sf) : g;
  if constexpr (kBlend == PasteBlend::kCombine) return g + (f - g) * f / 255;
  if constexpr (kBlend == PasteBlend::kHeavy) return (255 - f) * g / 255;
  if constexpr (kBlend == PasteBlend::kSubScreen) {
    const int32_t m = (f + g) / 2;
    return m + (255 - m) * m / 255;
  }
  if constexpr (kBlend == PasteBlend::kTest7) return f + g == 0 ? 0 : (g * g + f * f) / (g + f);
  if constexpr (kBlend == PasteBlend::kOverlay) return overlay[f * 256 + g];
  return f;
}

#if defined(__SSE2__)
// The blends that have a vector form: four pixels at e = 255, colours only (the alpha bytes
// are set after).
template <PasteBlend kBlend>
inline constexpr bool kVectorBlend =
    kBlend == PasteBlend::kNormal || kBlend == PasteBlend::kMultiply ||
    kBlend == PasteBlend::kScreen || kBlend == PasteBlend::kLighten ||
    kBlend == PasteBlend::kDarken || kBlend == PasteBlend::kDifference;

// f x g' / 255 (+ g) per byte, g' = g or 255 - g.
template <bool kScreen>
inline __m128i ProductOver255(__m128i f, __m128i g) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i gg = kScreen ? _mm_sub_epi8(_mm_set1_epi8(-1), g) : g;
  const __m128i lo =
      Div255Lanes(_mm_mullo_epi16(_mm_unpacklo_epi8(f, zero), _mm_unpacklo_epi8(gg, zero)));
  const __m128i hi =
      Div255Lanes(_mm_mullo_epi16(_mm_unpackhi_epi8(f, zero), _mm_unpackhi_epi8(gg, zero)));
  const __m128i q = _mm_packus_epi16(lo, hi);
  return kScreen ? _mm_add_epi8(q, g) : q;  // f (255 - g) / 255 + g <= 255
}

template <PasteBlend kBlend>
inline __m128i BlendBlock(__m128i f, __m128i g) {
  if constexpr (kBlend == PasteBlend::kNormal) return f;
  if constexpr (kBlend == PasteBlend::kMultiply) return ProductOver255<false>(f, g);
  if constexpr (kBlend == PasteBlend::kScreen) return ProductOver255<true>(f, g);
  if constexpr (kBlend == PasteBlend::kLighten) return _mm_max_epu8(f, g);
  if constexpr (kBlend == PasteBlend::kDarken) return _mm_min_epu8(f, g);
  return _mm_or_si128(_mm_subs_epu8(f, g), _mm_subs_epu8(g, f));  // kDifference
}
#endif

struct PasteJob {
  PlacedView bg, fg, ext;
  PlacedImage out;
  PasteParams p;
  std::array<uint8_t, 256> e_of{};       // trunc(alpha x o)
  std::array<int32_t, 256> keep_of{};    // premultiplied: 4096 - e x 4096 / 255
  std::array<int32_t, 256> share_of{};   // straight: e x 4096 / 255
  int32_t k_opacity = 0;                 // trunc(o x 4096)
  bool premultiplied = false;
  const uint8_t* overlay = nullptr;

  template <PasteBlend kBlend>
  void Foreground(uint8_t* o, const uint8_t* f, int32_t n) const {
    int32_t x = 0;
#if defined(__SSE2__)
    // Where the alpha is the output's own (no method reads the foreground) and the opacity
    // is full, a block of four pixels of alpha 255 is pasted at e = 255: its colours are
    // the blend itself, its alpha 255. Other blocks take the pixel steps below.
    if constexpr (kVectorBlend<kBlend>) {
      if ((p.method < 2 || p.method > 5) && e_of[255] == 255) {
        const __m128i alpha = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
        for (; x + 4 <= n; x += 4, o += 16, f += 16) {
          const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(o));
          if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(g, alpha), alpha)) != 0xFFFF) {
            Pixels<kBlend>(o, f, 4);
            continue;
          }
          const __m128i fv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f));
          _mm_storeu_si128(reinterpret_cast<__m128i*>(o),
                           _mm_or_si128(BlendBlock<kBlend>(fv, g), alpha));
        }
      }
    }
#endif
    Pixels<kBlend>(o, f, n - x);
  }

  // Pixel by pixel.
  template <PasteBlend kBlend>
  void Pixels(uint8_t* o, const uint8_t* f, int32_t n) const {
    const int32_t method = p.method;
    const int32_t source = p.source;
    for (int32_t x = 0; x < n; ++x, o += 4, f += 4) {
      int32_t alpha = o[3];
      switch (method) {
        case 2: alpha = 255 - alpha; break;
        case 3: alpha = std::max(alpha, SourceValue(source, f)); break;
        case 4: alpha = std::min(alpha, SourceValue(source, f)); break;
        case 5: alpha = alpha * SourceValue(source, f) / 255; break;
        default: break;
      }
      const int32_t e = e_of[static_cast<size_t>(alpha)];
      o[3] = static_cast<uint8_t>(e);
      if (e == 0) continue;
      int32_t sf = 0;
      int32_t sg = 0;
      if constexpr (kBlend == PasteBlend::kTest6) {
        sf = Spread(f);
        sg = Spread(o);
      }
      for (int c = 0; c < 3; ++c) {
        const int32_t g = o[c];
        const int32_t col = Blend<kBlend>(f[c], g, sf, sg, overlay);
        int32_t v;
        if (e >= 255) {
          v = col;
        } else if (premultiplied) {
          v = std::min(g * keep_of[static_cast<size_t>(e)] + col * k_opacity, 0xFF000) >> 12;
        } else {
          const int32_t k = share_of[static_cast<size_t>(e)];
          v = (g * (4096 - k) + col * k) >> 12;
        }
        o[c] = static_cast<uint8_t>(v);
      }
    }
  }

  // Alpha from the external picture's opacity source; the source chosen once per row.
  // Pixels as words (blue in the low byte), so that the loops vectorise.
  void ExternalAlpha(uint8_t* d, const uint8_t* e, int32_t n) const {
    auto run = [&](auto value) {
      for (size_t x = 0; x < static_cast<size_t>(n); ++x) {
        uint32_t ew, dw;
        std::memcpy(&ew, e + 4 * x, 4);
        std::memcpy(&dw, d + 4 * x, 4);
        dw = (dw & 0x00FFFFFFu) | value(ew) << 24;
        std::memcpy(d + 4 * x, &dw, 4);
      }
    };
    switch (p.source) {
      case 0: return run([](uint32_t w) { return w >> 16 & 0xFFu; });
      case 1: return run([](uint32_t w) { return w >> 8 & 0xFFu; });
      case 2: return run([](uint32_t w) { return w & 0xFFu; });
      case 3: return run([](uint32_t w) { return w >> 24; });
      case 4:
        return run(
            [](uint32_t w) { return ((w & 0xFFu) + (w >> 8 & 0xFFu) + (w >> 16 & 0xFFu)) / 3; });
      case 5: return run([](uint32_t) { return 0xFFu; });
      default: return run([](uint32_t) { return 0u; });
    }
  }

  // The background's colours with alpha 0.
  static void Colours(uint8_t* o, const uint8_t* b, int32_t n) {
    for (size_t x = 0; x < static_cast<size_t>(n); ++x) {
      uint32_t w;
      std::memcpy(&w, b + 4 * x, 4);
      w &= 0x00FFFFFFu;
      std::memcpy(o + 4 * x, &w, 4);
    }
  }

  template <PasteBlend kBlend>
  void Band(int32_t begin, int32_t end) const {
    const int32_t w = out.view.width;
    const Span se = SpanOf(out.x, w, ext.x, ext.view.width);
    const Span sf = SpanOf(out.x, w, fg.x, fg.view.width);
    for (int32_t y = begin; y < end; ++y) {
      uint8_t* o = out.view.Row(y);
      const uint8_t* b = RowAt(bg, out.y, y);
      if (b != nullptr) {
        Colours(o, b, w);
      } else {
        std::memset(o, 0, static_cast<size_t>(w) * 4);
      }
      if (const uint8_t* e = RowAt(ext, out.y, y); e != nullptr) {
        ExternalAlpha(o + static_cast<size_t>(se.begin) * 4,
                      e + static_cast<size_t>(se.source_column) * 4, se.end - se.begin);
      }
      if (const uint8_t* f = RowAt(fg, out.y, y); f != nullptr) {
        Foreground<kBlend>(o + static_cast<size_t>(sf.begin) * 4,
                           f + static_cast<size_t>(sf.source_column) * 4, sf.end - sf.begin);
      }
    }
  }
};

template <PasteBlend kBlend>
KernelStatus RunPaste(const PasteJob& job, const BandRunner& bands, const AbortCheck& abort) {
  auto band = [&job](int32_t begin, int32_t end) { job.Band<kBlend>(begin, end); };
  return RunChunked(job.out.view.height, job.out.view.width * 2, bands, abort, band);
}

}  // namespace

const uint8_t* OverlayTable() {
  static const OverlayTableData table;
  return table.value.data();
}

uint8_t PasteBlendChannel(PasteBlend blend, int32_t f, int32_t g, int32_t f_spread,
                          int32_t g_spread) {
  const uint8_t* ov = OverlayTable();
  int32_t c = 0;
  switch (blend) {
#define PASTE_CASE(name) \
  case PasteBlend::name: c = Blend<PasteBlend::name>(f, g, f_spread, g_spread, ov); break;
    PASTE_CASE(kNormal)
    PASTE_CASE(kMultiply)
    PASTE_CASE(kScreen)
    PASTE_CASE(kLighten)
    PASTE_CASE(kDarken)
    PASTE_CASE(kDifference)
    PASTE_CASE(kTest6)
    PASTE_CASE(kCombine)
    PASTE_CASE(kHeavy)
    PASTE_CASE(kSubScreen)
    PASTE_CASE(kTest7)
    PASTE_CASE(kOverlay)
#undef PASTE_CASE
  }
  return static_cast<uint8_t>(c);
}

KernelStatus Paste(const PlacedView& background, const PlacedView& foreground,
                   const PlacedView& external, const PlacedImage& out, const PasteParams& p,
                   const BandRunner& bands, const AbortCheck& abort) {
  if (!ViewUsable(out.view)) return KernelStatus::kNoMemory;
  PasteJob job{background, foreground, external, out, p};
  const float o = std::isnan(p.opacity) ? 0.f : std::clamp(p.opacity, 0.f, 1.f);
  for (int32_t a = 0; a < 256; ++a) {
    const int32_t e = static_cast<int32_t>(static_cast<float>(a) * o);
    job.e_of[static_cast<size_t>(a)] = static_cast<uint8_t>(e);
    job.keep_of[static_cast<size_t>(a)] = 4096 - (a * 4096) / 255;
    job.share_of[static_cast<size_t>(a)] = (a * 4096) / 255;
  }
  job.k_opacity = static_cast<int32_t>(o * 4096.f);
  job.premultiplied = p.source == static_cast<int32_t>(PasteSource::kOpaque) ||
                      p.method == static_cast<int32_t>(PasteMethod::kPremultiplied);
  const int32_t blend = p.blend >= 0 && p.blend < kPasteBlends ? p.blend : 0;
  if (blend == static_cast<int32_t>(PasteBlend::kOverlay)) job.overlay = OverlayTable();
  switch (static_cast<PasteBlend>(blend)) {
#define PASTE_RUN(name) \
  case PasteBlend::name: return RunPaste<PasteBlend::name>(job, bands, abort);
    PASTE_RUN(kNormal)
    PASTE_RUN(kMultiply)
    PASTE_RUN(kScreen)
    PASTE_RUN(kLighten)
    PASTE_RUN(kDarken)
    PASTE_RUN(kDifference)
    PASTE_RUN(kTest6)
    PASTE_RUN(kCombine)
    PASTE_RUN(kHeavy)
    PASTE_RUN(kSubScreen)
    PASTE_RUN(kTest7)
    PASTE_RUN(kOverlay)
#undef PASTE_RUN
  }
  return KernelStatus::kOk;
}

}  // namespace lumetra::effects
