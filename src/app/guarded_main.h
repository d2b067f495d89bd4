// The outermost guard of the program: no exception ends the process without a message.
#pragma once

#include <functional>

namespace lumetra::app {

// Runs `body` and returns its status. std::bad_alloc ends with "No memory", any other
// exception with "Internal error: <what>", both on stderr and in the log, and the status
// kExitStartupFailed. A status of 0 becomes kExitSaveFailed when stdout could not be
// written (StdoutWritten).
int RunGuarded(const std::function<int()>& body);

}  // namespace lumetra::app
