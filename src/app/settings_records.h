// Fixed-size records kept as binary settings values, and the project setting presets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "model/model.h"

namespace lumetra::app {

inline constexpr std::size_t kColorEntries = 11;
inline constexpr std::size_t kFontEntries = 6;

// Stored sizes; records are written field by field, little-endian.
inline constexpr std::size_t kColorRecordSize = 52;
inline constexpr std::size_t kFontRecordSize = 60;
inline constexpr std::size_t kWindowPlacementSize = 44;
inline constexpr std::size_t kSafeFrameSize = 16;

// A colour of the editor's drawing: name (up to 39 characters), line style 0 solid to 4
// dash-dot-dot, line width 0 to 16 pixels, colour 0x00BBGGRR.
// Stored: name[40] NUL-padded, style i32, width i32, colour u32.
struct ColorEntry {
  std::string name;
  int32_t line_style = 0;
  int32_t line_width = 1;
  uint32_t color = 0;
  bool operator==(const ColorEntry&) const = default;
};

// A font description: height, width, escapement, orientation, weight (i32), italic,
// underline, strike-out, character set, output precision, clip precision, quality,
// pitch and family (u8), face name (up to 31 characters, NUL-padded to 32).
struct FontEntry {
  std::string name;  // the entry's name, not stored in the record
  int32_t height = -12;
  int32_t width = 0;
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 400;
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strike_out = 0;
  uint8_t char_set = 0;
  uint8_t out_precision = 0;
  uint8_t clip_precision = 0;
  uint8_t quality = 0;
  uint8_t pitch_and_family = 0;
  std::string face = "DejaVu Sans";
  bool operator==(const FontEntry&) const = default;
};

// A window's placement: length (always 44), flags, show state, minimised and maximised
// positions, and the normal rectangle, eleven i32.
struct WindowPlacement {
  int32_t length = static_cast<int32_t>(kWindowPlacementSize);
  int32_t flags = 0;
  int32_t show_cmd = 1;
  int32_t min_x = -1, min_y = -1;
  int32_t max_x = -1, max_y = -1;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const WindowPlacement&) const = default;
};

// Safe-frame margins of the work window in percent of the frame, 0 to 49 each.
struct SafeFrame {
  int32_t left = 10, top = 10, right = 10, bottom = 10;
  bool operator==(const SafeFrame&) const = default;
};

// Project settings kept as a preset: "Default" holds the "New Project" defaults.
struct ProjectPreset {
  std::string name = "Default";  // up to 127 characters
  int32_t width = project::kProjectDefaults.width;
  int32_t height = project::kProjectDefaults.height;
  float aspect = project::kProjectDefaults.pixel_aspect;
  int32_t detail = project::kProjectDefaults.detail;
  int32_t timebase = project::kProjectDefaults.time_base;
  int32_t timesnap = project::kProjectDefaults.time_snap;
  int32_t sampling = project::kProjectDefaults.sampling_rate;
  int32_t channels = project::kProjectDefaults.channels;
  int32_t bps = project::kProjectDefaults.bytes_per_sample;
  int32_t init_tc = project::kProjectDefaults.initial_time_code;
  bool operator==(const ProjectPreset&) const = default;
};
inline constexpr std::size_t kPresetNameMax = 127;

// Encoders give the stored bytes; decoders accept only records of the exact size whose
// fields are all in range (nothing otherwise). A decoded colour keeps the name it is
// read for; the name inside the record is not trusted.
std::array<uint8_t, kColorRecordSize> ColorEncode(const ColorEntry& entry);
std::optional<ColorEntry> ColorDecode(std::span<const uint8_t> bytes, const std::string& name);
std::array<uint8_t, kFontRecordSize> FontEncode(const FontEntry& entry);
std::optional<FontEntry> FontDecode(std::span<const uint8_t> bytes, const std::string& name);
std::array<uint8_t, kWindowPlacementSize> PlacementEncode(const WindowPlacement& p);
std::optional<WindowPlacement> PlacementDecode(std::span<const uint8_t> bytes);
std::array<uint8_t, kSafeFrameSize> SafeFrameEncode(const SafeFrame& s);
std::optional<SafeFrame> SafeFrameDecode(std::span<const uint8_t> bytes);

// Little-endian 4-byte values (for "Aspect", "InitTC", "Expanded", "Ownshape").
std::array<uint8_t, 4> Le32Encode(uint32_t v);
uint32_t Le32Decode(std::span<const uint8_t, 4> bytes);

// The built-in colour and font entries.
std::array<ColorEntry, kColorEntries> DefaultColors();
std::array<FontEntry, kFontEntries> DefaultFonts();

}  // namespace lumetra::app
