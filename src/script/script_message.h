// Message formatting for the interpreter: every text starts with the interpreter prefix.
#pragma once

#include <string>

namespace lumetra::script {

// Passed as the first argument of every message ("%s...").
inline constexpr const char* kPrefix = "Script interpretator: ";
// What the clip's error reporter receives when a run fails.
inline constexpr const char* kScriptError = "Script error";

// printf-style formatting into a string of any length.
std::string FormatMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Shows a finished message in the status line and writes it to the debug log.
void ShowMessage(const std::string& text);

}  // namespace lumetra::script
