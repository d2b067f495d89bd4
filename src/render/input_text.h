// The texts a make function gets when it asks for an input that cannot be had; the sound
// inputs use the same ones.
#pragma once

#include <cstdint>
#include <string>

namespace lumetra::project {
struct Track;
}

namespace lumetra::render {

// An input index out of the clip's range: "Illegal input %d in '%s' clip on %s[%d,%d]"
// (the clip's span in frames of the project's rate).
std::string IllegalInputText(int32_t input, const char* effect, const char* track_name,
                             float clip_start, float clip_end, int32_t frame_rate);
// An input that resolves to no track, seen from a clip on `track`: none assigned, no
// previous track, or a SuperClip input outside a SuperClip.
std::string UnassignedInputText(const project::Track* track, const project::Track* entry,
                                int32_t input, const char* effect);
// An input that would need its own track.
std::string InputLoopText(const char* track_name);

}  // namespace lumetra::render
