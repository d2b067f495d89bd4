// Scheduling priority of the calling thread.
#pragma once

namespace lumetra::platform {

// Gives the calling thread the lowest priority (render threads yield to the interface).
// False when the system refused.
bool SetCurrentThreadLowestPriority();

}  // namespace lumetra::platform
