// SIGINT and SIGTERM as a request to stop: a flag a long run polls, so that it can end
// cleanly (no half-written file at its final name) instead of dying mid-write.
#pragma once

#include <atomic>

namespace lumetra::platform {

// Installs the handlers (once) and answers the flag they set; the signal number is kept.
const std::atomic<bool>& InstallStopSignals();
// The signal that set the flag, 0 when none.
int StopSignalNumber();
// Clears the flag (tests).
void ResetStopSignals();

}  // namespace lumetra::platform
