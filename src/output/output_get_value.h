// The output values formats and scripts query by key.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/output_settings.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::output {

// Room "OutputFullFileName" asks of a text buffer, and "OutputFilePath".
inline constexpr std::size_t kFullFileNameRoom = 536;
inline constexpr std::size_t kFilePathRoom = 64;

// The settings a query reads: those of a kind-64 context, else the current ones.
OutputSettings* CurrentOutputSettings();
void SetCurrentOutputSettings(OutputSettings* settings);

// 1 when the key was answered. Integer answers go to `value` (and `value2`), the aspect to
// `real`, texts to `text` (cut to `text_size` - 1 characters, always terminated; a text key
// with a buffer smaller than its room answers 0). Any out may be null.
int32_t OutputGetValue(HostCallContext* ctx, const char* key, int32_t component, int32_t* value,
                       int32_t* value2, float* real, char* text, std::size_t text_size);

}  // namespace lumetra::output
