// The render settings of an output session: three components (video, sound, external alpha)
// with their paths, names, formats and format parameters, and the frame and sound values.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "host/plugin_registry.h"
#include "projectfile/project_file_doc.h"

namespace lumetra::output {

enum OutputFlag : uint32_t {
  kOutputVideo = 0x00001,
  kOutputSound = 0x00002,
  kOutputAlpha = 0x00004,
  kOutputFields = 0x00400,
  kOutputDefaultPreset = 0x01000,
  kOutputOverwrite = 0x02000,         // else insert mode: existing numbered frames are skipped
  kOutputSingleUnnumbered = 0x04000,  // single-frame mode: no frame number in the name
  kOutputJoinAudio = 0x08000,
  kOutputViewer = 0x20000,
  kOutputLowerFieldFirst = 0x40000,
};
// Preset flag of component i carrying its parameters: 0x40 << i.
inline constexpr uint32_t kPresetComponentParameters = 0x40;

// Output format flags.
inline constexpr uint32_t kFormatNumberedFiles = 0x40;  // one numbered file per frame
inline constexpr uint32_t kFormatSoundInChunks = 0x200;
inline constexpr uint32_t kFormatCarriesSound = 0x400;

enum ComponentIndex : int32_t { kComponentVideo = 0, kComponentSound = 1, kComponentAlpha = 2 };
inline constexpr int32_t kComponentCount = 3;

// Digits of frame numbers in names: the room of a file name bounds them.
inline constexpr int32_t kDigitsMin = 1;
inline constexpr int32_t kDigitsMax = 31;

// A format's parameter block, laid out by its "Parameters" descriptor; none when the
// descriptor has no fields.
struct ParamsDeleter {
  const project::DataDescriptor* descriptor = nullptr;
  void operator()(void* block) const;
};
using ParamsPtr = std::unique_ptr<void, ParamsDeleter>;
// A zeroed block for the format, or none when its descriptor is empty.
ParamsPtr ParamsCreate(const project::OutputFormat* format);

struct OutputComponent {
  std::string path;
  std::string base_name;
  std::string layer_name;
  const project::OutputFormat* format = nullptr;
  uint32_t format_flags = 0;  // the format's flag word as used for naming
  ParamsPtr params;
  // Sets the format, its naming flags and a fresh parameter block.
  void SetFormat(const project::OutputFormat* f);
  // True when the parameters a format needs are there (a block only when its size > 0).
  bool ParamsReady() const;
};

struct OutputSettings {
  std::array<OutputComponent, kComponentCount> components;
  int32_t width = 720, height = 576;
  float aspect = 1.0f;
  int32_t digits = 4;
  int32_t step = 1;
  int32_t time_base = 0;  // frames per second; 0: the project's
  int32_t sample_rate = 22050, channels = 1, bytes_per_sample = 2;
  uint32_t flags = kOutputVideo | kOutputOverwrite;
  int32_t sound_buffering = 22050;  // samples per sound chunk
  std::string name;                 // the preset's name
  int32_t from = 0, to = 0;         // first and last frame of the running session

  bool Numbered(int32_t component) const {
    return (components[component].format_flags & kFormatNumberedFiles) != 0;
  }
};

// Looks the format up by the stored name, then by extension; paths stored with '\' are kept.
// Components with an empty path get `default_directory`.
OutputSettings SettingsFromPreset(const project::FilePreset& preset,
                                  const std::string& default_directory);
project::FilePreset PresetFromSettings(const OutputSettings& settings);

// The directory a preset without a path renders to: "Output" beside the program when it
// can be written, else the per-user temporary directory when it can, else none.
std::string DefaultOutputDirectory(const std::string& home_directory);

}  // namespace lumetra::output
