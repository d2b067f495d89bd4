// Rate conversion of sound blocks: linear interpolation up, box average down.
#include <algorithm>

#include "sound/sound_block.h"
#include "sound/sound_convert.h"
#include "sound/sound_samples.h"

namespace lumetra::sound {
namespace {

// Output sample j lies at source position j * old / new. Up: between source samples i and
// i + 1 it takes s(i) + (s(i + 1) - s(i)) * r / new, r = j * old - i * new; past the last
// source sample the last value holds.
template <int W>
void Interpolate(const SoundBlock& in, SoundBlock& out) {
  const uint64_t old_rate = in.rate, new_rate = out.rate;
  const uint32_t ch = in.channels;
  const std::size_t frame = static_cast<std::size_t>(ch) * W;
  const uint32_t n = in.samples;
  for (uint32_t j = 0; j < out.samples; ++j) {
    const uint64_t num = uint64_t{j} * old_rate;
    const uint64_t i = num / new_rate;
    const auto r = static_cast<int64_t>(num - i * new_rate);
    uint8_t* dst = out.data + j * frame;
    if (i + 1 < n) {
      const uint8_t* a = in.data + i * frame;
      const uint8_t* b = a + frame;
      for (uint32_t c = 0; c < ch; ++c) {
        const int64_t sa = samples::Load<W>(a + c * W), sb = samples::Load<W>(b + c * W);
        samples::Store<W>(dst + c * W, static_cast<int32_t>(
                                           sa + (sb - sa) * r / static_cast<int64_t>(new_rate)));
      }
    } else if (n > 0) {
      std::copy_n(in.data + static_cast<std::size_t>(n - 1) * frame, frame, dst);
    }
  }
}

// Down: output sample j is the mean of the source samples at positions in
// [j * old / new, (j + 1) * old / new); an interval without one copies the sample at j's
// position.
// Down by a whole factor k, the common 2:1 and 4:1: boxes of exactly k samples.
template <int W>
bool AverageWhole(const SoundBlock& in, SoundBlock& out) {
  if (in.rate % out.rate != 0 || in.channels > 8) return false;
  const uint32_t k = in.rate / out.rate, ch = in.channels;
  const std::size_t frame = static_cast<std::size_t>(ch) * W;
  const uint64_t whole = std::min<uint64_t>(out.samples, in.samples / k);
  const uint8_t* src = in.data;
  uint8_t* dst = out.data;
  for (uint64_t j = 0; j < whole; ++j) {
    int64_t sums[8] = {};
    for (uint32_t i = 0; i < k; ++i, src += frame)
      for (uint32_t c = 0; c < ch; ++c) sums[c] += samples::Load<W>(src + c * W);
    for (uint32_t c = 0; c < ch; ++c)
      samples::Store<W>(dst + c * W, static_cast<int32_t>(sums[c] / k));
    dst += frame;
  }
  // The tail, where the boxes run past the source, as the general case does it.
  for (uint64_t j = whole; j < out.samples; ++j) {
    const uint64_t lo = j * k, hi = std::min<uint64_t>(in.samples, lo + k);
    uint8_t* d = out.data + j * frame;
    for (uint32_t c = 0; c < ch; ++c) {
      if (lo < hi) {
        int64_t sum = 0;
        for (uint64_t i = lo; i < hi; ++i) sum += samples::Load<W>(in.data + i * frame + c * W);
        samples::Store<W>(d + c * W, static_cast<int32_t>(sum / static_cast<int64_t>(hi - lo)));
      } else if (in.samples > 0) {
        samples::Store<W>(d + c * W,
                          samples::Load<W>(in.data + (in.samples - 1) * frame + c * W));
      }
    }
  }
  return true;
}

template <int W>
void Average(const SoundBlock& in, SoundBlock& out) {
  if (AverageWhole<W>(in, out)) return;
  const uint64_t old_rate = in.rate, new_rate = out.rate;
  const uint32_t ch = in.channels;
  const std::size_t frame = static_cast<std::size_t>(ch) * W;
  const uint64_t n = in.samples;
  int64_t sums[8];
  uint64_t lo = 0;  // ceil(j * old / new)
  for (uint32_t j = 0; j < out.samples; ++j) {
    const uint64_t hi = std::min(n, ((uint64_t{j} + 1) * old_rate + new_rate - 1) / new_rate);
    uint8_t* dst = out.data + j * frame;
    if (lo < hi) {
      const auto count = static_cast<int64_t>(hi - lo);
      for (uint32_t c0 = 0; c0 < ch; c0 += 8) {
        const uint32_t cn = std::min<uint32_t>(8, ch - c0);
        std::fill_n(sums, cn, 0);
        for (uint64_t i = lo; i < hi; ++i) {
          const uint8_t* src = in.data + i * frame + c0 * W;
          for (uint32_t c = 0; c < cn; ++c) sums[c] += samples::Load<W>(src + c * W);
        }
        for (uint32_t c = 0; c < cn; ++c)
          samples::Store<W>(dst + (c0 + c) * W, static_cast<int32_t>(sums[c] / count));
      }
    } else if (n > 0) {
      const uint64_t at = std::min(n - 1, uint64_t{j} * old_rate / new_rate);
      std::copy_n(in.data + at * frame, frame, dst);
    }
    lo = std::max(lo, hi);
  }
}

}  // namespace

SoundBlock* SoundResample(SoundBlock* block, int32_t rate) {
  if (block == nullptr || rate < 1 || static_cast<uint32_t>(rate) > kSoundMaxRate) return nullptr;
  if (block->rate == static_cast<uint32_t>(rate)) return block;
  const auto new_rate = static_cast<uint32_t>(rate);
  const int64_t count =
      SoundPosition(block->end, new_rate) - SoundPosition(block->start, new_rate);
  if (count < 0 || count > UINT32_MAX) return nullptr;
  // Every output sample is written unless there is no source sample to take it from.
  SoundBlock* out = SoundCreateSamples(block->start, block->end, new_rate, block->bytes,
                                       block->channels, static_cast<uint32_t>(count),
                                       block->samples == 0);
  if (out == nullptr) return nullptr;
  const bool up = out->rate > block->rate;
  samples::WithWidth(block->bytes, [&]<int W>() {
    if (up) {
      Interpolate<W>(*block, *out);
    } else {
      Average<W>(*block, *out);
    }
  });
  return out;
}

}  // namespace lumetra::sound
