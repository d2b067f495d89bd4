// Conversions of sound blocks and placing one block into another. Each conversion answers
// a new block the caller owns, the same block when nothing changes, or none when refused
// or out of memory; the source is never changed or freed.
#pragma once

#include <cstdint>

#include "plugin/lumetra_plugin.h"

namespace lumetra::sound {

// Width 1 to 4 through a signed 32-bit intermediate: 1 byte (v - 128) * 2^24, 2 bytes
// v * 2^16, 3 bytes v * 2^8, 4 bytes v; written back as the top bits rounded toward zero.
SoundBlock* SoundConvertBytes(SoundBlock* block, int32_t bytes);
// Fewer channels: the source channels split into even groups, each averaged into one output
// channel. More: each output channel copies the source channel at the same relative place
// (mono to stereo doubles the channel; stereo to four gives L L R R).
SoundBlock* SoundConvertChannels(SoundBlock* block, int32_t channels);
// Same span at another rate: linear interpolation up, box average down.
SoundBlock* SoundResample(SoundBlock* block, int32_t rate);

// Copies the part of `source` placed at `time` that overlaps `dest` into `dest`,
// converted to its channels, rate and width (in that order), overwriting. 1 on success or
// when nothing overlaps, 0 when a conversion failed or an argument is missing.
int32_t SoundPlace(SoundBlock* dest, const SoundBlock* source, float time);

}  // namespace lumetra::sound
