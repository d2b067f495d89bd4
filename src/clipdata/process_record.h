// The effect record ("process") as the project model sees it; the registry is the plug-in host's.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

struct Template;

inline constexpr uint32_t kProcessKindTag = OBJECT_KIND_EFFECT;

enum ProcessFlag : uint32_t {
  kProcessSound = EFFECT_FLAG_SOUND,
  kProcessVirtual = EFFECT_FLAG_VIRTUAL,
  kProcessUsed = 0x10,  // used by the project being saved
  kProcessHidden = EFFECT_FLAG_HIDDEN,
};

// Effect functions, as the plug-in header types them.
using ProcessInitFn = LumetraInitFn;
using ProcessEditFn = LumetraEditFn;
using ProcessMakeFn = LumetraMakeFn;
using ProcessMakeSoundFn = LumetraMakeSoundFn;
using ProcessFormatFn = LumetraFormatFn;
using ProcessOnDeleteFn = LumetraOnDeleteFn;

// A clip never has more inputs than this; a record asking for more makes no clips.
inline constexpr int32_t kMaxProcessInputs = 64;

struct ProcessRecord {
  uint32_t kind = kProcessKindTag;
  uint32_t reserved = 0;
  uint32_t flags = 0;             // ProcessFlag bits
  ProcessRecord* next = nullptr;  // registry list, newest first
  std::string name;               // menu path: group and item joined by "/"
  std::string comments;
  uintptr_t icon = 0;  // platform bitmap handle
  ProcessInitFn init = nullptr;
  ProcessEditFn edit = nullptr;
  ProcessMakeFn make = nullptr;
  ProcessMakeSoundFn make_sound = nullptr;
  ProcessFormatFn format = nullptr;
  ProcessOnDeleteFn on_delete = nullptr;
  const Template* data_template = nullptr;  // lays out every clip's data block
  std::string signature;                    // identity across files
  int32_t inputs_number = 0;
  int32_t display_mode = 0;
  int32_t previous_track_input = -1;  // input that starts as "*Previous", or -1
  int32_t version = 0;
};

}  // namespace lumetra::project
