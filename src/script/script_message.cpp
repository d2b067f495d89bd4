// Message formatting and display for the interpreter.
#include "script/script_message.h"

#include <cstdarg>
#include <cstdio>

#include "platform/ui_host.h"

namespace lumetra::script {

std::string FormatMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (n > 0) {
    text.resize(static_cast<std::size_t>(n));
    std::vsnprintf(text.data(), text.size() + 1, format, again);
  }
  va_end(again);
  return text;
}

// The status line also feeds the in-memory log and the debug log.
void ShowMessage(const std::string& text) {
  platform::Ui().SetStatus(text);
}

}  // namespace lumetra::script
