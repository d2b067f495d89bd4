// Render settings: parameter blocks and the mapping to and from stored render presets.
#include "output/output_settings.h"

#include <bit>
#include <cstring>

#include "clipdata/clip_data.h"
#include "media/format_registry.h"
#include "platform/system_paths.h"

namespace lumetra::output {
namespace {

// The nine 32-bit values of a stored preset, in order.
enum PresetValue : std::size_t {
  kPresetWidth,
  kPresetHeight,
  kPresetAspect,  // float bits
  kPresetDigits,
  kPresetStep,
  kPresetTimeBase,
  kPresetSampleRate,
  kPresetChannels,
  kPresetBytes,
};
// The component texts of a stored preset, in order.
enum PresetText : std::size_t { kTextPath, kTextBaseName, kTextLayer, kTextFormat };

}  // namespace

void ParamsDeleter::operator()(void* block) const {
  if (block != nullptr) project::DataFree(descriptor, block);
}

ParamsPtr ParamsCreate(const project::OutputFormat* format) {
  if (format == nullptr || format->parameters == nullptr || format->parameters->data_size == 0)
    return ParamsPtr(nullptr, ParamsDeleter{});
  const project::DataDescriptor* d = format->parameters.get();
  return ParamsPtr(project::DataCreate(d), ParamsDeleter{d});
}

void OutputComponent::SetFormat(const project::OutputFormat* f) {
  format = f;
  format_flags = f != nullptr ? f->flags : 0;
  params = ParamsCreate(f);
}

bool OutputComponent::ParamsReady() const {
  if (format == nullptr) return false;
  const bool needs = format->parameters != nullptr && format->parameters->data_size > 0;
  return !needs || params != nullptr;
}

OutputSettings SettingsFromPreset(const project::FilePreset& preset,
                                  const std::string& default_directory) {
  OutputSettings s;
  const auto& v = preset.settings;
  s.flags = preset.flags;
  s.width = static_cast<int32_t>(v[kPresetWidth]);
  s.height = static_cast<int32_t>(v[kPresetHeight]);
  s.aspect = std::bit_cast<float>(v[kPresetAspect]);
  s.digits = static_cast<int32_t>(v[kPresetDigits]);
  s.step = static_cast<int32_t>(v[kPresetStep]);
  s.time_base = static_cast<int32_t>(v[kPresetTimeBase]);
  s.sample_rate = static_cast<int32_t>(v[kPresetSampleRate]);
  s.channels = static_cast<int32_t>(v[kPresetChannels]);
  s.bytes_per_sample = static_cast<int32_t>(v[kPresetBytes]);
  s.name = preset.name;
  for (int32_t i = 0; i < kComponentCount; ++i) {
    const project::FilePresetComponent& in = preset.components[i];
    OutputComponent& c = s.components[i];
    c.path = in.texts[kTextPath].empty() ? default_directory : in.texts[kTextPath];
    c.base_name = in.texts[kTextBaseName];
    c.layer_name = in.texts[kTextLayer];
    const std::string& key = in.texts[kTextFormat];
    const project::OutputFormat* f = media::OutputFormatFindByName(key);
    if (f == nullptr) f = media::OutputFormatFind(key);
    c.SetFormat(f);
    // The stored naming flags stand for a format that is not loaded.
    if (f == nullptr) c.format_flags = in.value;
  }
  return s;
}

project::FilePreset PresetFromSettings(const OutputSettings& s) {
  project::FilePreset p;
  // Parameters are not stored: a loaded preset starts from the format's zeroed block.
  p.flags = s.flags & ~((kPresetComponentParameters << 0) | (kPresetComponentParameters << 1) |
                        (kPresetComponentParameters << 2));
  p.settings = {static_cast<uint32_t>(s.width),       static_cast<uint32_t>(s.height),
                std::bit_cast<uint32_t>(s.aspect),    static_cast<uint32_t>(s.digits),
                static_cast<uint32_t>(s.step),        static_cast<uint32_t>(s.time_base),
                static_cast<uint32_t>(s.sample_rate), static_cast<uint32_t>(s.channels),
                static_cast<uint32_t>(s.bytes_per_sample)};
  p.name = s.name;
  for (int32_t i = 0; i < kComponentCount; ++i) {
    const OutputComponent& c = s.components[i];
    project::FilePresetComponent& out = p.components[i];
    out.texts[kTextPath] = c.path;
    out.texts[kTextBaseName] = c.base_name;
    out.texts[kTextLayer] = c.layer_name;
    out.texts[kTextFormat] = c.format != nullptr ? c.format->name : "";
    out.value = c.format_flags;
  }
  return p;
}

std::string DefaultOutputDirectory(const std::string& home_directory) {
  const std::string beside = home_directory + "Output";
  if (platform::IsReadWriteDirectory(beside)) return beside;
  if (auto temp = platform::UserTempDirectory(platform::CurrentTempEnvironment())) return *temp;
  return {};
}

}  // namespace lumetra::output
