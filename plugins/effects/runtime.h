// The effect runtime shared by every effect: normalised time, safe conversions, the
// make-function frame (output picture, row loop with abort), the guard that keeps C++
// failures inside the library, script statements, the debug trace, the colour strip
// and the hue circle.
#pragma once

#include <cinttypes>
#include <cstdint>
#include <new>
#include <utility>

#include "host_api.h"
#include "row_bands.h"

namespace effects {

// Error texts the effects report.
inline constexpr const char* kTextNoMemory = "No memory";
inline constexpr const char* kTextAllocationError = "Memory allocation error";
inline constexpr const char* kTextCantCopyPic = "Can't copy pic";
inline constexpr const char* kTextIllegalParameter = "Illegal parameter";
inline constexpr const char* kTextNoInput = "No input assigned";
inline constexpr const char* kTextScriptError = "Script error";

// (t - from) / (to - from); 0 when the span is not positive (or not a number).
float NormalisedTime(float from, float to, float t);

// Truncates towards zero and saturates at the int32 range; NaN gives 0.
int32_t SaturateToInt(float value);
// A stored byte or int16 code used as an index: the code when 0 <= code < count, else
// fallback.
int32_t CodeInRange(int32_t code, int32_t count, int32_t fallback);

// Runs body; a C++ failure is reported on ctx ("No memory" for exhausted memory) and
// gives failure instead of crossing into the host.
template <typename Result, typename Body>
Result Guarded(HostCallContext* ctx, Result failure, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const std::bad_alloc&) {
    HostReportError(ctx, kTextNoMemory);
  } catch (...) {
    HostReportError(ctx, kTextIllegalParameter);
  }
  return failure;
}

// An output picture owned by the make function until it is handed to the host.
class OutputPic {
 public:
  OutputPic() = default;
  explicit OutputPic(PIC* pic) : pic_(pic) {}
  OutputPic(const OutputPic&) = delete;
  OutputPic& operator=(const OutputPic&) = delete;
  OutputPic(OutputPic&& other) noexcept : pic_(other.release()) {}
  OutputPic& operator=(OutputPic&& other) noexcept {
    if (this != &other) {
      HostPicFree(pic_);
      pic_ = other.release();
    }
    return *this;
  }
  ~OutputPic() { HostPicFree(pic_); }
  PIC* get() const { return pic_; }
  PIC* operator->() const { return pic_; }
  explicit operator bool() const { return pic_ != nullptr; }
  PIC* release() { return std::exchange(pic_, nullptr); }

 private:
  PIC* pic_ = nullptr;
};

// A zeroed width x height picture placed at the origin of `place_like` (when given). On
// failure reports the picture error text, or "No memory", and answers empty.
OutputPic CreateOutputPic(HostCallContext* ctx, int32_t width, int32_t height,
                          const PIC* place_like);
// The frame size of the call ("image_width", "image_height"); false when not answered or
// not a usable picture size.
bool FrameSize(HostCallContext* ctx, int32_t* width, int32_t* height);
// Progress reported after row `row` of `height` rows: row / (height - 1), 1 for one row.
float RowProgress(int32_t row, int32_t height);

// The row bands the effects' kernels run in: the library's splitter over every processor.
inline lumetra::effects::BandRunner MakeBands() { return {nullptr, nullptr, 0}; }

// Calls row_fn(row) for every row bottom-up, asking CheckAbort after each; false when the
// render was aborted (the caller then frees what it made and answers no picture).
template <typename RowFn>
bool ForEachRow(HostCallContext* ctx, int32_t height, RowFn&& row_fn) {
  for (int32_t row = 0; row < height; ++row) {
    row_fn(row);
    if (HostCheckAbort(ctx, RowProgress(row, height))) return false;
  }
  return true;
}

// Script statements the effects hand to the host (addresses as 64-bit hexadecimal).
#define EFFECTS_ADDR "0x%" PRIXPTR
inline constexpr const char* kScriptChooseColor =
    "*(int *)" EFFECTS_ADDR " = DialogChooseColor( " EFFECTS_ADDR "," EFFECTS_ADDR "," EFFECTS_ADDR
    " );";
inline constexpr const char* kScriptMpairAssign =
    "GeometryMpairAssign( CurrentClip.d.gpair[%u], " EFFECTS_ADDR ", 1 );";
inline constexpr const char* kScriptPolydiaColor =
    "PolydiaControl( " EFFECTS_ADDR "," EFFECTS_ADDR ",\"ItemType\"," EFFECTS_ADDR
    ",\"Lightness\",\"AsIs\" );";
inline constexpr const char* kScriptInputAdd = "ClipInputAdd( CurrentClip );";
inline constexpr const char* kScriptInputRemove = "ClipInputRemove( CurrentClip, %d );";
#undef EFFECTS_ADDR

// Room for one formatted statement.
inline constexpr int kScriptBufferSize = 65536;
// Formats one statement and runs it through the host. A statement that does not fit, or
// that the host refuses, reports "Script error" and answers 0.
intptr_t ScriptRunf(HostCallContext* ctx, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Longest debug trace line, terminator included.
inline constexpr int kTraceLineSize = 256;
// Where trace lines go; by default stderr when LUMETRA_DEBUG_LOG is set, else nowhere.
using TraceSink = void (*)(const char* line);
void TraceSetSink(TraceSink sink);
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Samples a colour curve for a strip of `width` pixels: n = min(width, 128) colours at
// normalised times i / n, each component clamped to 0..1 and scaled to a byte, written as
// red, green, blue triples into rgb (room for 3 * 128 bytes). An absent curve gives black.
// Answers n (0 for a width below 1).
inline constexpr int kColorStripMaxSamples = 128;
int32_t ColorStripSample(const KeyfloatKey* curve, int32_t width, uint8_t* rgb);

// The integer hue circle: 1530 steps, six sectors of 255 (0 red, 255 yellow, 510 green,
// 765 cyan, 1020 blue, 1275 magenta).
inline constexpr int32_t kHueSteps = 1530;
struct Rgb {
  uint8_t r, g, b;
};
// The fully saturated colour of a hue (taken modulo the circle).
Rgb HueToColor(int32_t hue);
// The hue of a colour: its largest channel's sector offset by the other two.
int32_t ColorToHue(uint8_t r, uint8_t g, uint8_t b);

}  // namespace effects
