// UTF-8 validation, the Windows-1252 table and JSON escaping.
#include "app/json_text.h"

#include <cstdint>
#include <cstdio>

namespace lumetra::app {
namespace {

// Windows-1252 0x80-0x9F; the five unassigned bytes keep their C1 code points, as web
// browsers decode them.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// One code point of the JSON text; ASCII and C0/C1 controls escaped as JSON needs.
void AppendEscaped(std::string& out, char32_t c) {
  if (c == '"' || c == '\\') {
    out += '\\';
    out += static_cast<char>(c);
  } else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
    out += buf;
  } else {
    AppendUtf8(out, c);
  }
}

// The code point starting at `i` of valid UTF-8; `i` moves past it.
char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
  auto b = static_cast<unsigned char>(s[i]);
  int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
  char32_t c = extra == 0 ? b : b & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  i += static_cast<std::size_t>(extra) + 1;
  return c;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    int extra;
    char32_t min;
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
      min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      min = 0x10000;
    } else {
      return false;
    }
    if (s.size() - i <= static_cast<std::size_t>(extra)) return false;
    char32_t c = b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      auto cont = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((cont & 0xC0) != 0x80) return false;
      c = (c << 6) | (cont & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

void AppendJsonString(std::string& out, std::string_view bytes) {
  out += '"';
  if (IsValidUtf8(bytes)) {
    for (std::size_t i = 0; i < bytes.size();) AppendEscaped(out, DecodeUtf8(bytes, i));
  } else {
    for (unsigned char b : bytes)
      AppendEscaped(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char32_t{b});
  }
  out += '"';
}

}  // namespace lumetra::app
