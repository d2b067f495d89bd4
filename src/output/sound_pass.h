// The sound pass of a render session: the track's sound in chunks handed to the sound
// format's saver, on a thread of its own while the session's thread keeps polling.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "model/model.h"
#include "output/output_frames.h"
#include "output/output_settings.h"

namespace lumetra::output {

class SessionObserver;
class SoundSource;

struct SoundPassInput {
  OutputSettings& settings;
  project::Track* track;
  project::Project* project;
  RangeMode mode;
  int32_t first, last;  // the range reached, either order
  int32_t fps;
  SoundSource* source;  // none: assembly is not available
};

struct SoundPassResult {
  uint32_t error_bits = 0;
  std::string message;
  bool stopped = false;
  int32_t chunks = 0;
};

// Runs the pass; `poll` is called on the calling thread while the pass runs and answers
// true to stop it (the chunk being written completes first).
SoundPassResult RunSoundPass(const SoundPassInput& in, SessionObserver& observer,
                             const std::function<bool()>& poll);

}  // namespace lumetra::output
