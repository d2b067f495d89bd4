// Whether a standard stream is a terminal (progress bars) or a pipe or file (lines).
#pragma once

namespace lumetra::platform {

inline constexpr int kStderrDescriptor = 2;
bool IsTerminal(int descriptor);

}  // namespace lumetra::platform
