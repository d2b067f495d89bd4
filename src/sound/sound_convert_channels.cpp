// Channel conversion of sound blocks: down-mix by even groups, up-mix by spreading.
#include <new>
#include <vector>

#include "sound/sound_block.h"
#include "sound/sound_convert.h"
#include "sound/sound_samples.h"

namespace lumetra::sound {
namespace {

// Output channel c averages source channels [first[c], first[c + 1]).
template <int W>
void DownMix(const SoundBlock& in, SoundBlock& out, const std::vector<uint32_t>& first) {
  const uint32_t old_ch = in.channels, new_ch = out.channels;
  const uint8_t* src = in.data;
  uint8_t* dst = out.data;
  for (uint32_t s = 0; s < in.samples; ++s) {
    for (uint32_t c = 0; c < new_ch; ++c) {
      int64_t sum = 0;
      for (uint32_t k = first[c]; k < first[c + 1]; ++k) sum += samples::Load<W>(src + k * W);
      const auto n = static_cast<int64_t>(first[c + 1] - first[c]);
      samples::Store<W>(dst + c * W, static_cast<int32_t>(sum / n));
    }
    src += static_cast<std::size_t>(old_ch) * W;
    dst += static_cast<std::size_t>(new_ch) * W;
  }
}

// Stereo to mono, the common case, without the group tables.
template <int W>
void StereoToMono(const SoundBlock& in, SoundBlock& out) {
  const uint8_t* src = in.data;
  uint8_t* dst = out.data;
  for (uint32_t s = 0; s < in.samples; ++s) {
    const int64_t sum = int64_t{samples::Load<W>(src)} + samples::Load<W>(src + W);
    samples::Store<W>(dst, static_cast<int32_t>(sum / 2));
    src += 2 * W;
    dst += W;
  }
}

// Fills `out` (same samples, another channel count) from `in`; the group tables may throw.
void Convert(const SoundBlock& in, SoundBlock& out) {
  const uint32_t old_ch = in.channels, new_ch = out.channels, w = in.bytes;
  if (new_ch < old_ch) {
    // Even groups: group c starts at floor(c * old / new). Every group holds at least one
    // channel because old > new (groups of ceil(old / new) would leave the last ones empty).
    std::vector<uint32_t> first(new_ch + 1);
    for (uint32_t c = 0; c <= new_ch; ++c)
      first[c] = static_cast<uint32_t>(uint64_t{c} * old_ch / new_ch);
    samples::WithWidth(w, [&]<int W>() {
      if (old_ch == 2) {
        StereoToMono<W>(in, out);
      } else {
        DownMix<W>(in, out, first);
      }
    });
  } else {
    std::vector<uint32_t> from(new_ch);
    for (uint32_t c = 0; c < new_ch; ++c)
      from[c] = static_cast<uint32_t>(uint64_t{c} * old_ch / new_ch);
    const uint8_t* src = in.data;
    uint8_t* dst = out.data;
    for (uint32_t s = 0; s < in.samples; ++s) {
      for (uint32_t c = 0; c < new_ch; ++c)
        for (uint32_t b = 0; b < w; ++b) dst[c * w + b] = src[from[c] * w + b];
      src += static_cast<std::size_t>(old_ch) * w;
      dst += static_cast<std::size_t>(new_ch) * w;
    }
  }
}

}  // namespace

SoundBlock* SoundConvertChannels(SoundBlock* block, int32_t channels) {
  if (block == nullptr || channels < 1 || channels > UINT16_MAX) return nullptr;
  if (block->channels == channels) return block;
  if (block->channels == 0) return nullptr;
  SoundBlock* out = SoundCreateSamples(block->start, block->end, block->rate, block->bytes,
                                       static_cast<uint32_t>(channels), block->samples, false);
  if (out == nullptr) return nullptr;
  try {
    Convert(*block, *out);
  } catch (const std::bad_alloc&) {
    SoundFree(out);
    return nullptr;
  }
  return out;
}

}  // namespace lumetra::sound
