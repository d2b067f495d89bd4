// The output driver's sound, assembled chunk by chunk from the track.
#include "app/track_sound_source.h"

#include <algorithm>
#include <cstring>

#include "host/object_error.h"
#include "sound/sound_assemble.h"
#include "sound/sound_block.h"

namespace lumetra::app {

bool TrackSoundSource::Assemble(project::Track* track, int64_t begin, int64_t end, int32_t rate,
                                int32_t bytes, int32_t channels, std::vector<uint8_t>& out,
                                std::string* error) {
  out.clear();
  if (end <= begin) return true;
  if (rate <= 0 || bytes < 1 || bytes > 4 || channels <= 0) {
    if (error != nullptr) *error = "Bad sound format";
    return false;
  }
  HostCallContext ctx{};
  const double r = rate;
  sound::SoundPtr block(sound::AssembleTrackSound(&ctx, track, static_cast<float>(begin / r),
                                                  static_cast<float>(end / r), rate, bytes,
                                                  channels));
  if (block == nullptr) {
    if (error != nullptr) {
      *error = std::string(project::ObjectErrorText(&ctx));
      if (error->empty()) *error = "Sound assembly failed";
    }
    project::ObjectClearError(&ctx);
    return false;
  }
  const std::size_t frame = static_cast<std::size_t>(bytes) * static_cast<std::size_t>(channels);
  const std::size_t wanted = static_cast<std::size_t>(end - begin);
  out.assign(wanted * frame, bytes == 1 ? uint8_t{128} : uint8_t{0});
  const std::size_t have = std::min<std::size_t>(wanted, block->samples);
  if (have > 0 && block->data != nullptr) std::memcpy(out.data(), block->data, have * frame);
  return true;
}

}  // namespace lumetra::app
