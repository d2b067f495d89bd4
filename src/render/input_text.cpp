// Texts of inputs that cannot be had.
#include "render/input_text.h"

#include "model/model.h"
#include "model/pseudo_track.h"
#include "platform/format.h"

namespace lumetra::render {

std::string IllegalInputText(int32_t input, const char* effect, const char* track_name,
                             float clip_start, float clip_end, int32_t frame_rate) {
  return platform::Format("Illegal input %d in '%s' clip on %s[%d,%d]", input, effect, track_name,
                          static_cast<int>(clip_start * frame_rate),
                          static_cast<int>(clip_end * frame_rate));
}

std::string UnassignedInputText(const project::Track* track, const project::Track* entry,
                                int32_t input, const char* effect) {
  if (entry == nullptr) return platform::Format("Input %d in '%s' clip is not assigned", input, effect);
  if (entry->number == project::kPreviousTrackNumber) {
    return platform::Format("No previous track for '%s' clip (input %d)", effect, input);
  }
  int32_t n = project::kInput0TrackNumber - entry->number;
  if (track == nullptr || track->owner_clip == nullptr) {
    return platform::Format("Illegal input %d setting in '%s' clip", n, effect);
  }
  return platform::Format("Input %d in '%s' clip is not assigned", n, effect);
}

std::string InputLoopText(const char* track_name) {
  return platform::Format("Input loop on track '%s'", track_name);
}

}  // namespace lumetra::render
