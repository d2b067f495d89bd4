// Placing one sound block into another.
#include <algorithm>
#include <cstring>

#include "sound/sound_block.h"
#include "sound/sound_convert.h"

namespace lumetra::sound {
namespace {

// Frees an intermediate of the conversion chain, never the caller's source.
void Step(SoundPtr& held, SoundBlock* next, const SoundBlock* source) {
  if (next == held.get() || next == source) return;
  held.reset(next);
}

}  // namespace

int32_t SoundPlace(SoundBlock* dest, const SoundBlock* source, float time) {
  if (dest == nullptr || source == nullptr) return 0;
  const double length = static_cast<double>(source->end) - source->start;
  if (time >= dest->end || static_cast<double>(time) + length <= dest->start) return 1;

  // Channels, then rate, then width: the cheap reductions first, each intermediate kept
  // only until the next step has been made.
  SoundPtr held;
  auto* current = const_cast<SoundBlock*>(source);  // conversions never change their source
  SoundBlock* next = SoundConvertChannels(current, dest->channels);
  if (next == nullptr) return 0;
  Step(held, next, source);
  current = next;
  next = SoundResample(current, static_cast<int32_t>(dest->rate));
  if (next == nullptr) return 0;
  Step(held, next, source);
  current = next;
  next = SoundConvertBytes(current, dest->bytes);
  if (next == nullptr) return 0;
  Step(held, next, source);
  current = next;

  // Absolute positions on the destination's rate, as blocks count their samples.
  const uint32_t rate = dest->rate;
  const int64_t dest_first = SoundPosition(dest->start, rate);
  const int64_t at = SoundPosition(time, rate);
  int64_t d0 = 0, s0 = 0;
  if (at > dest_first) {
    d0 = at - dest_first;
  } else {
    s0 = dest_first - at;
  }
  if (d0 >= dest->samples || s0 >= current->samples) return 1;
  const int64_t count = std::min<int64_t>(dest->samples - d0, current->samples - s0);
  const std::size_t frame = SoundFrameBytes(*dest);
  std::memcpy(dest->data + static_cast<std::size_t>(d0) * frame,
              current->data + static_cast<std::size_t>(s0) * frame,
              static_cast<std::size_t>(count) * frame);
  return 1;
}

}  // namespace lumetra::sound
