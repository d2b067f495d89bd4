// Paste: a foreground laid over a background by an opacity and one of twelve blends.
#pragma once

#include <cstdint>

#include "placed_view.h"

namespace lumetra::effects {

enum class PasteSource : int32_t { kRed, kGreen, kBlue, kAlpha, kIntensity, kOpaque };
inline constexpr int32_t kPasteSources = 6;
enum class PasteMethod : int32_t { kNormal, kPremultiplied, kInverted, kMax, kMin, kProduct };
inline constexpr int32_t kPasteMethods = 6;
enum class PasteBlend : int32_t {
  kNormal, kMultiply, kScreen, kLighten, kDarken, kDifference,
  kTest6, kCombine, kHeavy, kSubScreen, kTest7, kOverlay
};
inline constexpr int32_t kPasteBlends = 12;

struct PasteParams {
  float opacity = 1.f;      // o, 0..1
  int32_t source = 3;       // opacity source code; an unknown code reads 0
  int32_t method = 0;       // opacity method code; an unknown code changes nothing
  int32_t blend = 0;        // blend code; an unknown code blends as Normal
};

// The blended colour channel c of foreground F over background G (both 0..255).
uint8_t PasteBlendChannel(PasteBlend blend, int32_t f, int32_t g, int32_t f_spread,
                          int32_t g_spread);
// The exact Overlay table, [F][G], built once.
const uint8_t* OverlayTable();

// out has the background's size and place. Background colours with alpha 0; the external
// alpha picture's opacity source sets alpha where it overlaps; the foreground is blended
// where it overlaps, its alpha the pasted opacity.
KernelStatus Paste(const PlacedView& background, const PlacedView& foreground,
                   const PlacedView& external, const PlacedImage& out, const PasteParams& p,
                   const BandRunner& bands, const AbortCheck& abort = {});

}  // namespace lumetra::effects
