// Width conversion of sound blocks.
#include "sound/sound_block.h"
#include "sound/sound_convert.h"
#include "sound/sound_samples.h"

namespace lumetra::sound {
namespace {

template <int From, int To>
void ConvertRow(const uint8_t* src, uint8_t* dst, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const int32_t x = samples::ToIntermediate<From>(samples::Load<From>(src + i * From));
    samples::Store<To>(dst + i * To, samples::FromIntermediate<To>(x));
  }
}

}  // namespace

SoundBlock* SoundConvertBytes(SoundBlock* block, int32_t bytes) {
  if (block == nullptr || bytes < 1 || bytes > kSoundMaxBytes) return nullptr;
  if (block->bytes == bytes) return block;
  SoundBlock* out = SoundCreateSamples(block->start, block->end, block->rate,
                                       static_cast<uint32_t>(bytes), block->channels,
                                       block->samples, false);
  if (out == nullptr) return nullptr;
  const std::size_t count = static_cast<std::size_t>(block->samples) * block->channels;
  const bool done = samples::WithWidth(block->bytes, [&]<int From>() {
    samples::WithWidth(static_cast<uint32_t>(bytes), [&]<int To>() {
      ConvertRow<From, To>(block->data, out->data, count);
    });
  });
  if (!done) {
    SoundFree(out);
    return nullptr;
  }
  return out;
}

}  // namespace lumetra::sound
