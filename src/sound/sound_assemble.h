// A track's sound for a time span, assembled segment by segment from the make-sound
// functions of the clips that sound there, and the input service of sound effects.
#pragma once

#include <cstdint>
#include <string_view>

#include "model/model.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::sound {

inline constexpr std::string_view kSegmentsFailedText = "Memory allocation error!!";
inline constexpr std::string_view kNoMemoryText = "Memory allocation error!";
inline constexpr std::string_view kTrackGoneText = "Tape fade out of existance!";
inline constexpr std::string_view kIllegalRequestText = "Illegal request";
// No make-sound function is asked for more than this at once.
inline constexpr float kSoundSegmentMax = 4.0f;

// The track's sound for [start, end) in the format asked, as one block the caller owns;
// silence where nothing sounds. None on failure, with the reason on the context. Takes the
// render lock itself and calls make-sound functions outside it, each on a copy of its clip.
// The context becomes a sound context (kind 4, the format in its words).
SoundBlock* AssembleTrackSound(HostCallContext* ctx, project::Track* track, float start,
                               float end, int32_t rate, int32_t bytes, int32_t channels);

// Host service for make-sound functions: the sound of input `input` of the context's clip
// for [start, end) in the context's format. The context's words are as they were
// afterwards. None on failure, with the reason on the context.
SoundBlock* GetInputSound(HostCallContext* ctx, int32_t input, float start, float end);

// True when the track is a pseudo track or a track of a project in the project list.
// Call under the render lock; never reads through the pointer unless it is found.
bool SoundTrackExists(const project::Track* track);

}  // namespace lumetra::sound
