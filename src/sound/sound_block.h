// Sound blocks: interleaved PCM samples of a time span, with their format. The block record
// is the plug-in interface's SoundBlock, so libraries and the host share blocks as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "plugin/lumetra_plugin.h"

namespace lumetra::sound {

inline constexpr int32_t kSoundMaxBytes = 4;
inline constexpr uint8_t kSilence8 = 128;
// Rates above this are refused: it keeps every position product of the resampler in 64 bits.
inline constexpr uint32_t kSoundMaxRate = 1u << 24;  // unsigned 8-bit samples are centred on 128

// The absolute sample position of a time: trunc(time * rate + 0.0001). Every block and
// every placement counts samples this way, so that neighbouring spans meet without a gap.
int64_t SoundPosition(double time, uint32_t rate);

// The size in bytes of samples * channels * bytes, or none when it overflows.
std::optional<std::size_t> SoundDataSize(uint64_t samples, uint32_t channels, uint32_t bytes);

// A silent block for [start, end). None when end < start, a time is not finite, the rate or
// channel count is 0 or too large, the width is not 1 to 4, the size overflows or memory runs
// out.
SoundBlock* SoundCreate(float start, float end, int32_t rate, int32_t bytes, int32_t channels);
// Releases the data and the block; null is ignored.
void SoundFree(SoundBlock* block);

// A block of exactly `samples` frames (conversions keep their source's count). Without
// `silent` the data is left unset, for a conversion that writes every byte.
SoundBlock* SoundCreateSamples(float start, float end, uint32_t rate, uint32_t bytes,
                               uint32_t channels, uint32_t samples, bool silent = true);

struct SoundDeleter {
  void operator()(SoundBlock* block) const { SoundFree(block); }
};
using SoundPtr = std::unique_ptr<SoundBlock, SoundDeleter>;

inline std::size_t SoundFrameBytes(const SoundBlock& b) {
  return static_cast<std::size_t>(b.channels) * b.bytes;
}

}  // namespace lumetra::sound
