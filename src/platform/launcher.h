// Starting other programs without a shell: the registered viewer of a file (xdg-open).
#pragma once

#include <string>
#include <vector>

namespace lumetra::platform {

// Starts `program` (looked up on PATH) with `args`, no shell, and waits for it. Returns its
// exit status, or -1 with `error` set when it could not be started or did not exit normally.
int RunProgram(const std::string& program, const std::vector<std::string>& args,
               std::string* error = nullptr);

// Opens a file in the desktop's registered viewer through `xdg-open`; false with `error`
// set when the launcher could not be started or reported failure.
bool OpenWithViewer(const std::string& path, std::string* error = nullptr,
                    const std::string& launcher = "xdg-open");

}  // namespace lumetra::platform
