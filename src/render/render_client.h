// A blocking client of the render engine for headless callers: one track's picture at a
// time and size, waited for, handed back as the caller's own copy or as the error text.
#pragma once

#include <string>

#include "render/pic.h"
#include "render/render_engine.h"

namespace lumetra::render {

struct RenderClientResult {
  PicPtr picture;     // the caller's; none on failure
  std::string error;  // the users' error text when the picture could not be made
  bool ok() const { return picture != nullptr; }
};

// Asks for the track's picture and waits for it (with 0 threads, ready requests run on the
// calling thread). A request dropped by an invalidate meanwhile is asked again, a bounded
// number of times. Call without the render lock and never from a make function.
RenderClientResult RenderTrackPicture(RenderEngine& engine, project::Track* track, float time,
                                      int32_t width, int32_t height, float aspect = 1.0f);

}  // namespace lumetra::render
