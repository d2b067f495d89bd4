// Thread priority through the per-thread nice value.
#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace lumetra::platform {

bool SetCurrentThreadLowestPriority() {
  // On Linux the nice value belongs to the thread named by its id, not to the process.
  auto tid = static_cast<id_t>(syscall(SYS_gettid));
  return setpriority(PRIO_PROCESS, tid, 19) == 0;
}

}  // namespace lumetra::platform
