// Error texts from errno values; the "&e" expansion used by message boxes and the status line.
#include "platform/error_text.h"

#include <cerrno>
#include <cstring>

namespace lumetra::platform {
namespace {

// strerror_r has two signatures; both are handled so either C library builds.
[[maybe_unused]] const char* Pick(int result, const char* buffer) {
  return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* Pick(const char* result, const char*) {
  return result;
}

}  // namespace

std::string SystemErrorText(int error_number) {
  char buffer[256] = {};
  const char* text = Pick(strerror_r(error_number, buffer, sizeof buffer), buffer);
  if (text == nullptr || *text == '\0') return "Unknown error " + std::to_string(error_number);
  return text;
}

std::string LastErrorText() {
  return SystemErrorText(errno);
}
int LastErrorNumber() {
  return errno;
}

std::string ExpandErrorCodes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '&' && i + 2 < text.size() && text[i + 1] == 'e' && text[i + 2] >= '0' &&
        text[i + 2] <= '9') {
      std::size_t j = i + 2;
      long long number = 0;
      // Digits past the ninth are consumed but cannot overflow the number.
      for (int digits = 0; j < text.size() && text[j] >= '0' && text[j] <= '9'; ++j, ++digits) {
        if (digits < 9) number = number * 10 + (text[j] - '0');
      }
      out += SystemErrorText(static_cast<int>(number));
      i = j;
      continue;
    }
    out.push_back(text[i++]);
  }
  return out;
}

}  // namespace lumetra::platform
