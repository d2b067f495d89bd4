// Running a command without a shell and keeping what it printed: the cluster's command-line
// tools answer on stdout (job ids, queue listings).
#pragma once

#include <string>
#include <vector>

namespace lumetra::platform {

struct ProgramOutput {
  int status = -1;    // the exit status; -1 when it could not be started or was killed
  std::string out;    // everything it wrote to stdout (bounded, see below)
  std::string error;  // why it did not run, when status is -1
};

// At most this much of a program's stdout is kept; the rest is read and dropped so the
// program never blocks on a full pipe.
inline constexpr std::size_t kProgramOutputLimit = 16u << 20;

// Starts `program` (looked up on PATH) with `args`, no shell, stdin from /dev/null, stderr
// shared with ours, and waits for it.
ProgramOutput RunProgramOutput(const std::string& program, const std::vector<std::string>& args);

// The full path of `program` on PATH (or the name itself when it holds a "/" and is
// executable); empty when there is none.
std::string FindProgram(const std::string& program);

}  // namespace lumetra::platform
