// The effect record ("process") as the project model sees it; the registry is the plug-in host's.
#pragma once

#include <cstdint>
#include <string>

// Records of the plug-in interface that effect functions exchange with the host.
struct HostCallContext;
struct PIC;
struct SoundBlock;

namespace lumetra::project {

struct Template;

inline constexpr uint32_t kProcessKindTag = 19;

enum ProcessFlag : uint32_t {
  kProcessSound = 0x02,
  kProcessVirtual = 0x04,  // made from a project file; no library provides it
  kProcessUsed = 0x10,     // used by the project being saved
  kProcessHidden = 0x20,   // not offered in the effect chooser
};

// Effect functions; every one takes the call context first.
using ProcessInitFn = int32_t (*)(HostCallContext* ctx, void* data);
using ProcessEditFn = uintptr_t (*)(HostCallContext* ctx, void* data);
using ProcessMakeFn = PIC* (*)(HostCallContext* ctx, void* data, float start, float end,
                               float time);
using ProcessMakeSoundFn = SoundBlock* (*)(HostCallContext* ctx, void* data, float start, float end,
                                           int32_t rate, int32_t bytes_per_sample,
                                           int32_t channels);
using ProcessFormatFn = int32_t (*)(HostCallContext* ctx, const char* file_name);
using ProcessOnDeleteFn = int32_t (*)(HostCallContext* ctx, void* data);

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
