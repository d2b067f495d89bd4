// The process-wide render lock.
#include "model/render_lock.h"

namespace lumetra::project {

std::recursive_mutex& RenderLock() {
  static std::recursive_mutex lock;
  return lock;
}

}  // namespace lumetra::project
