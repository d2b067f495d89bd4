// Frames that exist already (read back from files, say) encoded with the track's sound into
// one movie: the movie format's savers as a render session calls them, then the session's own
// sound pass joined to the video. A farm renders a movie's frames on many machines and
// assembles them here once they are all there.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "model/model.h"
#include "output/render_session.h"

namespace lumetra::output {

// Frame `frame` as a new picture the assembly frees (render::PicFree), or null with `error`.
using AssemblyFrameFn = std::function<PIC*(int32_t frame, std::string* error)>;

struct AssemblyRequest {
  project::Project* project = nullptr;
  project::Track* track = nullptr;  // the sound's track; none: the project's first
  int32_t first = 0, last = 0;      // frames, inclusive, every one
  AssemblyFrameFn frame;
  SoundSource* sound = nullptr;     // none: a movie without sound
};

// `settings` names the movie (video component: a movie format, its folder and base name) and
// the sound's rate, channels and bytes; the frame size comes from the first picture. The movie
// carries sound when `sound` is given and the format takes it. The format writes the file
// beside its name and renames it into place; a failed assembly leaves no movie behind.
SessionOutcome AssembleMovie(OutputSettings& settings, const AssemblyRequest& request,
                             SessionObserver& observer);

}  // namespace lumetra::output
