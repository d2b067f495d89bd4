// The in-memory log of every text shown to the user, and the debug-log sink.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumetra::platform {

inline constexpr std::size_t kMemoryLogCapacity = 128 * 1024;

// Starts the log afresh with "Lumetra is starting up...".
void LogStart();
// Appends a line; when the log is full the oldest text is dropped.
void LogAppend(std::string_view text);
std::string LogText();

// Debug log: nothing by default; stderr when LUMETRA_DEBUG_LOG is "-" or "stderr",
// else appended to the file it names. A line is cut at 256 characters.
void DebugLog(std::string_view text);

}  // namespace lumetra::platform
