// The system's description of an error number, and the "&e<number>" substitution in texts.
#pragma once

#include <string>
#include <string_view>

namespace lumetra::platform {

// strerror-style text for an errno value ("No such file or directory").
std::string SystemErrorText(int error_number);
// The text of the calling thread's last system error (errno).
std::string LastErrorText();
// The last system error number of the calling thread.
int LastErrorNumber();
// Replaces every "&e" followed by a decimal number with SystemErrorText of that number.
// An "&e" without digits is kept as it is.
std::string ExpandErrorCodes(std::string_view text);

}  // namespace lumetra::platform
