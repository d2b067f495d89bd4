// JSON string literals from the bytes of project texts, which carry no encoding of their own.
#pragma once

#include <string>
#include <string_view>

namespace lumetra::app {

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Appends `bytes` as a quoted JSON string: as UTF-8 when the bytes are valid UTF-8, else
// decoded as Windows-1252 (the encoding of files written by the earlier desktop program).
// Quotes and backslashes are escaped; control characters become "\u00XX".
void AppendJsonString(std::string& out, std::string_view bytes);

}  // namespace lumetra::app
