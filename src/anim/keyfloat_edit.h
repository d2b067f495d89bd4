// Editor operations on keys: key type presets and scaling the selected keys' time segment.
#pragma once

#include <string_view>

#include "plugin/lumetra_plugin.h"

namespace lumetra::anim {

enum class KeyType { Corner, Smooth, SmoothCorner, CornerSmooth };

// A key type: its menu text, the tension, continuity and bias it sets, and the undo
// description recorded when it changed at least one key.
struct KeyTypePreset {
  KeyType type;
  std::string_view menu_text;
  float tension, continuity, bias;
  std::string_view undo_description;
};

inline constexpr KeyTypePreset kKeyTypePresets[] = {
    {KeyType::Corner, "&Corner", 0.f, 1.0f, 0.f, "Apply 'Corner' to selected keys"},
    {KeyType::Smooth, "&Smooth", 0.f, 0.f, 0.f, "Apply 'Smooth' to selected keys"},
    {KeyType::SmoothCorner, "Sm&ooth - Corner", 0.f, 0.f, 1.0f,
     "Apply 'Smooth-Corner' to selected keys"},
    {KeyType::CornerSmooth, "Co&rner - Smooth", 0.f, 0.f, -1.0f,
     "Apply 'Corner-Smooth' to selected keys"},
};

const KeyTypePreset& KeyTypePresetOf(KeyType type);

// Sets the preset's tension, continuity and bias on every key with any of the component
// selection bits (X, Y, Z) set; returns how many keys changed.
int KeyfloatApplyKeyType(KeyfloatKey* first, KeyType type);

inline constexpr std::string_view kScaleDialogTitle = "Scale selected animation";
inline constexpr std::string_view kScaleUndoDescription = "Scale animation";
// Keys merged after scaling: closer than this, the selected key wins.
inline constexpr float kKeyfloatMergeEpsilon = 1e-5f;

// The time span [from, to] of the curve's selected keys (flag bit 2), widening what the
// caller passes when *found is already true (several curves share one segment). Sets
// *found when the curve has a selected key.
void KeyfloatSelectedSpan(const KeyfloatKey* first, float* from, float* to, bool* found);

// Maps every selected key's time from [from, to] onto [new_from, new_to] (all to new_from
// when to - from < 1e-5), then sorts and merges with epsilon 1e-5 and mask 4. Returns 1, or
// 0 (nothing changed) when a bound is not a valid key time; times that leave the valid
// range are clamped into it.
int KeyfloatScaleSelected(KeyfloatKey** first, float from, float to, float new_from, float new_to);

}  // namespace lumetra::anim
