// Terminal test of a file descriptor.
#include "platform/terminal.h"

#include <unistd.h>

namespace lumetra::platform {

bool IsTerminal(int descriptor) { return isatty(descriptor) == 1; }

}  // namespace lumetra::platform
