// Finding the registered input and output formats by file extension, and the GetInfo walks
// through which libraries read the registries by key.
#pragma once

#include <cstdint>
#include <string_view>

#include "host/plugin_registry.h"

namespace lumetra::media {

using project::InputFormat;
using project::OutputFormat;

// Input formats whose first four extension slots hold numbered files (a frame sequence).
inline constexpr uint32_t kFormatFlagNumbered = 0x40;
// The extension slots InputFormatFind searches.
inline constexpr int kSearchedExtensionSlots = 4;

// The newest input format with `extension` (no dot) in one of its first four slots, compared
// without regard to case; null for none or an empty extension.
const InputFormat* InputFormatFind(std::string_view extension);
// The newest output format whose extension matches without regard to case (a leading "."
// is ignored); null.
const OutputFormat* OutputFormatFind(std::string_view extension);
// The newest output format of that name, without regard to case; null.
const OutputFormat* OutputFormatFindByName(std::string_view name);

// The extension of a file name: the text after the last dot of its last path component
// ("/" or "\\" separated); empty when there is none.
std::string_view FileExtension(std::string_view file_name);

// Null format: the newest format. Else copies the key's value into out (texts up to
// FORMAT_NAME_SIZE bytes, numbers int32_t, functions one pointer) and answers the next
// format, so that a caller walks the list. A format that is not a live registered record
// answers null and copies nothing. Unknown keys copy nothing and still answer the next.
// index 1 to 15 picks an input format's extension slot for "Ext".
const InputFormat* InputFormatGetInfo(const InputFormat* format, const char* key, void* out,
                                      int32_t index);
const OutputFormat* OutputFormatGetInfo(const OutputFormat* format, const char* key, void* out,
                                        int32_t index);

}  // namespace lumetra::media
