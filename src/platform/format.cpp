// printf-style formatting sized by a first measuring pass, so no text is ever cut.
#include "platform/format.h"

#include <cstdarg>
#include <cstdio>

namespace lumetra::platform {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  int size = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string out;
  if (size > 0) {
    out.resize(static_cast<std::size_t>(size) + 1);
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<std::size_t>(size));
  }
  va_end(args);
  return out;
}

}  // namespace lumetra::platform
