#include "runtime.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace effects {

float NormalisedTime(float from, float to, float t) {
  const float span = to - from;
  if (!(span > 0.f)) return 0.f;
  return (t - from) / span;
}

int32_t SaturateToInt(float value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.f) return INT32_MAX;
  if (value <= -2147483648.f) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int32_t CodeInRange(int32_t code, int32_t count, int32_t fallback) {
  return code >= 0 && code < count ? code : fallback;
}

OutputPic CreateOutputPic(HostCallContext* ctx, int32_t width, int32_t height,
                          const PIC* place_like) {
  OutputPic out(HostPicCreate(width, height));
  if (!out) {
    const char* text = HostPicErrorText();
    HostReportError(ctx, text != nullptr && *text != '\0' ? text : kTextNoMemory);
    return out;
  }
  if (place_like != nullptr) {
    out->x = place_like->x;
    out->y = place_like->y;
  }
  return out;
}

bool FrameSize(HostCallContext* ctx, int32_t* width, int32_t* height) {
  intptr_t w = 0;
  intptr_t h = 0;
  if (!HostClipGetInt(ctx, "image_width", &w) || !HostClipGetInt(ctx, "image_height", &h)) {
    return false;
  }
  if (w < 1 || h < 1 || w > INT16_MAX || h > INT16_MAX) return false;
  *width = static_cast<int32_t>(w);
  *height = static_cast<int32_t>(h);
  return true;
}

float RowProgress(int32_t row, int32_t height) {
  if (height <= 1) return 1.f;
  return static_cast<float>(row) / static_cast<float>(height - 1);
}

intptr_t ScriptRunf(HostCallContext* ctx, const char* format, ...) {
  // One buffer per call: make functions and dialogs may format at the same time.
  auto text = std::make_unique<char[]>(kScriptBufferSize);
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(text.get(), kScriptBufferSize, format, args);
  va_end(args);
  // A cut statement would run something other than what was meant.
  if (length < 0 || length >= kScriptBufferSize) {
    HostReportError(ctx, kTextScriptError);
    return 0;
  }
  const intptr_t result = HostScriptRun(ctx, text.get());
  if (result == 0) HostReportError(ctx, kTextScriptError);
  return result;
}

namespace {

void StderrSink(const char* line) { std::fprintf(stderr, "%s\n", line); }

TraceSink DefaultSink() {
  const char* target = std::getenv("LUMETRA_DEBUG_LOG");
  return target != nullptr && *target != '\0' ? StderrSink : nullptr;
}

TraceSink g_trace_sink = DefaultSink();

}  // namespace

void TraceSetSink(TraceSink sink) { g_trace_sink = sink; }

void Trace(const char* format, ...) {
  const TraceSink sink = g_trace_sink;
  if (sink == nullptr) return;
  char line[kTraceLineSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  sink(line);
}

namespace {

uint8_t UnitToByte(float v) {
  if (!(v > 0.f)) return 0;  // NaN too
  if (v >= 1.f) return 255;
  return static_cast<uint8_t>(SaturateToInt(v * 255.f));
}

}  // namespace

int32_t ColorStripSample(const KeyfloatKey* curve, int32_t width, uint8_t* rgb) {
  if (width < 1) return 0;
  const int32_t n = width < kColorStripMaxSamples ? width : kColorStripMaxSamples;
  for (int32_t i = 0; i < n; ++i) {
    float c[3] = {0.f, 0.f, 0.f};
    if (curve != nullptr) {
      HostKeyfloatEvaluate(curve, static_cast<float>(i) / static_cast<float>(n), &c[0], &c[1],
                           &c[2]);
    }
    for (int k = 0; k < 3; ++k) rgb[3 * i + k] = UnitToByte(c[k]);
  }
  return n;
}

Rgb HueToColor(int32_t hue) {
  int32_t h = hue % kHueSteps;
  if (h < 0) h += kHueSteps;
  const auto f = static_cast<uint8_t>(h % 255);
  const auto rising = f;
  const auto falling = static_cast<uint8_t>(255 - f);
  switch (h / 255) {
    case 0: return {255, rising, 0};
    case 1: return {falling, 255, 0};
    case 2: return {0, 255, rising};
    case 3: return {0, falling, 255};
    case 4: return {rising, 0, 255};
    default: return {255, 0, falling};
  }
}

int32_t ColorToHue(uint8_t r, uint8_t g, uint8_t b) {
  const int32_t ri = r, gi = g, bi = b;
  if (gi > ri) {
    if (bi >= gi) return 1020 + ri - gi;
    return 510 + bi - ri;
  }
  if (bi >= ri) return 1020 + ri - gi;
  const int32_t h = gi - bi;
  return h < 0 ? h + kHueSteps : h;
}

}  // namespace effects
