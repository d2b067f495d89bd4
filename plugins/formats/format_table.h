// Every format the library registers, as rows of definitions that the entry point turns
// into InputFormat and OutputFormat records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "lumetra/plugin.h"

namespace formats {

inline constexpr int32_t kFormatVersion = 1;

// Input format flags: kinds of media and numbered sequences.
inline constexpr uint32_t kInputImage = 0x04;
inline constexpr uint32_t kInputSound = 0x08;
inline constexpr uint32_t kNumberedFiles = 0x40;
// Output format flags.
inline constexpr uint32_t kOutputChunkedSound = 0x200;
inline constexpr uint32_t kOutputSoundMuxed = 0x400;

struct ParamFieldDef {
  const char* name;
  const char* type;
  size_t offset;
};

struct InputDef {
  const char* name;
  const char* description;
  const char* const* extensions;  // null-terminated, at most 16
  uint32_t flags;
  LumetraImageLoaderFn image_loader;
  LumetraImageInformatorFn image_informator;
  LumetraImageBrowserFn image_browser;
  LumetraLayersEnumeratorFn layers;
  LumetraSoundLoaderFn sound_loader;
  LumetraSoundInformatorFn sound_informator;
};

struct OutputDef {
  const char* ext;
  const char* name;
  const char* description;
  uint32_t flags;
  std::span<const ParamFieldDef> params;
  LumetraImageSaverFn image_saver;
  LumetraStartFn image_start;
  LumetraFinishFn image_finish;
  LumetraCheckFn image_check;
  LumetraSoundSaverFn sound_saver;
  LumetraStartFn sound_start;
  LumetraFinishFn sound_finish;
  LumetraCheckFn sound_check;
};

std::span<const InputDef> InputDefs();
// Movie formats whose encoder this build lacks are left out.
std::span<const OutputDef> OutputDefs();
bool OutputAvailable(const OutputDef& def);

}  // namespace formats
