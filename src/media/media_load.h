// Loading a picture or a sound through the input format of the file's extension.
#pragma once

#include <cstdint>
#include <string_view>

#include "plugin/lumetra_plugin.h"

namespace lumetra::media {

inline constexpr std::string_view kFormatNotSupported = "Format not supported";
inline constexpr std::string_view kNoFormatLoader = "No format loader";
inline constexpr std::string_view kNoLoaderFunction = "No loader function for this format";

// The image loader's picture (the caller owns it), or null with the reason on the context.
PIC* MediaLoadImage(HostCallContext* ctx, const char* file_name, const char* layer,
                    int32_t frame);
// The sound loader's block (the caller owns it), or null with the reason on the context.
SoundBlock* MediaLoadSound(HostCallContext* ctx, const char* file_name, const char* layer,
                           float from, float to);

}  // namespace lumetra::media
