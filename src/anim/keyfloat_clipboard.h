// The process-wide curve clipboard of the curve editor ("Copy curve", "Paste curve").
#pragma once

#include <string>
#include <string_view>

#include "plugin/lumetra_plugin.h"

namespace lumetra::anim {

inline constexpr std::string_view kCurveCopyFailed = "Copy operation failed";

// What the curve editor shows with a curve: its display type and value range.
struct CurveDisplay {
  int type = 0;
  float range_min = 0.f;
  float range_max = 1.f;
};

// Replaces the clipboard with a copy of the curve and its display. Returns 1, or 0 when
// the copy could not be made (the clipboard is then unchanged).
int KeyfloatClipboardCopy(const KeyfloatKey* curve, const CurveDisplay& display);

// True once a curve was copied; *display receives its display when not null.
bool KeyfloatClipboardHas(CurveDisplay* display);

// Frees *curve and installs a fresh copy of the clipboard. Returns 1, or 0 with the curve
// unchanged when the clipboard is empty or the copy cannot be made (the caller shows
// kCurveCopyFailed).
int KeyfloatClipboardPaste(KeyfloatKey** curve);

// Empties the clipboard.
void KeyfloatClipboardClear();

// The undo description of a paste: "Paste '%s' curve", or "Paste curve" without a name.
std::string KeyfloatPasteUndoText(std::string_view curve_name);

}  // namespace lumetra::anim
