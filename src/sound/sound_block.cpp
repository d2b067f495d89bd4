// Creating and freeing sound blocks.
#include "sound/sound_block.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace lumetra::sound {

int64_t SoundPosition(double time, uint32_t rate) {
  // Clamped far inside int64_t, so that no float can make the conversion undefined.
  constexpr double kLimit = 4.0e18;
  const double x = std::trunc(time * rate + 0.0001);
  if (!(x > -kLimit)) return static_cast<int64_t>(-kLimit);
  if (x > kLimit) return static_cast<int64_t>(kLimit);
  return static_cast<int64_t>(x);
}

std::optional<std::size_t> SoundDataSize(uint64_t samples, uint32_t channels, uint32_t bytes) {
  const uint64_t frame = static_cast<uint64_t>(channels) * bytes;
  if (frame != 0 && samples > std::numeric_limits<std::size_t>::max() / frame) return std::nullopt;
  return static_cast<std::size_t>(samples * frame);
}

SoundBlock* SoundCreateSamples(float start, float end, uint32_t rate, uint32_t bytes,
                               uint32_t channels, uint32_t samples, bool silent) {
  if (rate == 0 || rate > kSoundMaxRate || channels == 0 || channels > UINT16_MAX || bytes < 1 || bytes > kSoundMaxBytes)
    return nullptr;
  const std::optional<std::size_t> size = SoundDataSize(samples, channels, bytes);
  if (!size) return nullptr;
  auto* block = static_cast<SoundBlock*>(std::malloc(sizeof(SoundBlock)));
  if (block == nullptr) return nullptr;
  // One byte at least, so that an empty block still has data to point at.
  auto* data = static_cast<uint8_t*>(std::malloc(*size > 0 ? *size : 1));
  if (data == nullptr) {
    std::free(block);
    return nullptr;
  }
  if (silent) std::memset(data, bytes == 1 ? kSilence8 : 0, *size);
  block->start = start;
  block->end = end;
  block->samples = samples;
  block->rate = rate;
  block->channels = static_cast<uint16_t>(channels);
  block->bytes = static_cast<uint16_t>(bytes);
  block->data = data;
  return block;
}

SoundBlock* SoundCreate(float start, float end, int32_t rate, int32_t bytes, int32_t channels) {
  if (!std::isfinite(start) || !std::isfinite(end) || end < start) return nullptr;
  if (rate <= 0 || channels <= 0 || bytes <= 0) return nullptr;
  const int64_t count = SoundPosition(end, static_cast<uint32_t>(rate)) -
                        SoundPosition(start, static_cast<uint32_t>(rate));
  if (count < 0 || count > std::numeric_limits<uint32_t>::max()) return nullptr;
  return SoundCreateSamples(start, end, static_cast<uint32_t>(rate), static_cast<uint32_t>(bytes),
                            static_cast<uint32_t>(channels), static_cast<uint32_t>(count));
}

void SoundFree(SoundBlock* block) {
  if (block == nullptr) return;
  std::free(block->data);
  std::free(block);
}

}  // namespace lumetra::sound
