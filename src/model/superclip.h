// The built-in SuperClip process record; the model keeps a SuperClip's sub-project.
#pragma once

#include <cstdint>

#include "clipdata/process_record.h"

namespace lumetra::project {

// The built-in SuperClip process: its clips hold a sub-project of tracks. Declared once at
// start-up, never from a library; the record lives for the whole run.
inline constexpr const char* kSuperClipName = "SuperClip";
inline constexpr const char* kSuperClipSignature = "SuperClip ZOLT built in";
inline constexpr int32_t kSuperClipInputs = 3;  // background, input, mask

ProcessRecord* SuperClipProcess();
bool IsSuperClipProcess(const ProcessRecord* process);

}  // namespace lumetra::project
