// The checks of the render settings, first failure wins.
#include "output/output_validate.h"

#include <algorithm>
#include <cmath>

#include "host/object_error.h"
#include "platform/format.h"

namespace lumetra::output {

HostCallContext OutputContext(OutputSettings* s) {
  HostCallContext ctx{};
  ctx.word[HCC_WORD_KIND] = HCC_KIND_OUTPUT;
  ctx.word[HCC_WORD_OUTPUT] = reinterpret_cast<uintptr_t>(s);
  return ctx;
}

std::string ContextErrorText(HostCallContext* ctx) {
  return std::string(project::ObjectErrorText(ctx));
}

namespace {

// A check function's refusal: its error text (a format that says nothing gets a text too).
std::string CheckRefused(LumetraCheckFn check, HostCallContext* ctx, void* params) {
  if (check == nullptr) return {};
  project::ObjectClearError(ctx);
  if (check(ctx, params) != 0) return {};
  std::string text = ContextErrorText(ctx);
  return text.empty() ? "Output format refused its parameters." : text;
}

}  // namespace

std::string ValidateOutputSettings(OutputSettings& s, FrameRange range, HostCallContext* ctx) {
  using platform::Format;
  if (s.step == 0) return "Frame step is invalid.\nIt must have nonzero value.";
  OutputComponent& video = s.components[kComponentVideo];
  OutputComponent& sound = s.components[kComponentSound];
  if (s.flags & kOutputVideo) {
    if (video.format == nullptr) return "Video format not assigned.\nAssign format or turn video off.";
    if (s.step < 0 && !s.Numbered(kComponentVideo))
      return "Output format doesn't support backward rendering.\nFrame step must be positive.";
    if (s.width < 1) return "Horizontal resolution is invalid.\nIt must have positive value.";
    if (s.height < 1) return "Vertical resolution is invalid.\nIt must have positive value.";
    if (!(s.aspect > 0.01f) || !std::isfinite(s.aspect))
      return "Frame aspect ratio is invalid.\nIt must be positive floating point number grater "
             "than 0.01";
    if (range.last < range.first)
      return Format("Frame range is invalid.\n[ %d , %d ]", range.first, range.last);
    if (std::string e = CheckRefused(video.format->image_check, ctx, video.params.get());
        !e.empty())
      return e;
  }
  if (s.flags & kOutputSound) {
    if (sound.format == nullptr) return "Sound format not assigned.\nAssign format or turn audio off.";
    const bool joined = (s.flags & kOutputJoinAudio) != 0 && video.format != nullptr;
    void* params = joined ? video.params.get() : sound.params.get();
    if (std::string e = CheckRefused(sound.format->sound_check, ctx, params); !e.empty()) return e;
    // A chunk of no samples never advances.
    if ((sound.format->flags & kFormatSoundInChunks) && s.sound_buffering < 1)
      return "Sound buffering is invalid.\nIt must be at least one sample.";
    if (s.sample_rate < 1 || s.channels < 1 || s.bytes_per_sample < 1 || s.bytes_per_sample > 4)
      return "Sound format is invalid.\nSample rate, channels and bytes per sample must be "
             "positive (at most 4 bytes).";
  }
  if ((s.flags & kOutputAlpha) && s.components[kComponentAlpha].format == nullptr)
    return "External alpha channel format not assigned.\nAssign format or turn ext. alpha off.";
  if ((s.flags & kOutputVideo) && s.Numbered(kComponentVideo)) {
    const int32_t need = std::max(DigitsOf(range.first), DigitsOf(range.last));
    if (std::clamp(s.digits, kDigitsMin, kDigitsMax) < need)
      return "Insufficient number of digits to represent frame number in output file name.\n"
             "Please increase digits.";
  }
  return {};
}

}  // namespace lumetra::output
