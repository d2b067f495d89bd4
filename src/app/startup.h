// The program's entry: start-up in order, the message loop, and the exit sequence.
#pragma once

#include <string>
#include <vector>

namespace lumetra::app {

// The text printed when the loop ends because nothing is left that could post to it.
inline constexpr const char* kIdleEndText =
    "Nothing left to do: no window is open and no command, timer or render is waiting. "
    "Exiting.";

// Runs the program with its arguments (without the program name) and returns the process
// exit status (see exit_status.h). `program_path` is where the program lives; empty means
// /proc/self/exe. The UiHost must be installed before.
int AppMain(const std::vector<std::string>& args, const std::string& program_path = {});

// The temporary directory: the program directory's "Temp" when usable, else the per-user
// one ($XDG_RUNTIME_DIR/lumetra, $TMPDIR/lumetra-<uid>, /tmp/lumetra-<uid>), else a newly
// made "Temp"; empty when none works. Each candidate refused adds its reason to `refusals`.
std::string ChooseTempDirectory(const std::string& home, std::vector<std::string>* refusals);

// The text of "--version".
std::string VersionText();

}  // namespace lumetra::app
