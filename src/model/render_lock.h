// The render lock: one re-entrant lock over the project list, the current project, every
// track and clip list and the clip inputs as the render engine reads them.
#pragma once

#include <mutex>

namespace lumetra::project {

// Lock order: script lock, then the render lock, then the geometry lock. Never run a script
// or an effect's make function while holding it.
std::recursive_mutex& RenderLock();

using RenderLockGuard = std::lock_guard<std::recursive_mutex>;

}  // namespace lumetra::project
