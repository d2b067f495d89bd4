// printf-style formatting into a std::string, for the system's message formats.
#pragma once

#include <string>

namespace lumetra::platform {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace lumetra::platform
