// The sound of a track for the output driver's sound pass, from the sound module's assembly.
#pragma once

#include "output/render_session.h"

namespace lumetra::app {

class TrackSoundSource final : public output::SoundSource {
 public:
  // Exactly end - begin sample frames (silence pads a shorter block).
  bool Assemble(project::Track* track, int64_t begin, int64_t end, int32_t rate, int32_t bytes,
                int32_t channels, std::vector<uint8_t>& out, std::string* error) override;
};

}  // namespace lumetra::app
