// The content of a project file as plain records: what the chunk reader produces and the
// chunk writer consumes. Binding to the live project model is done elsewhere; clip data
// stays as its chunk payload until it is decoded against a template.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "projectfile/project_file.h"

namespace lumetra::project {

struct FileTemplateField {
  uint32_t offset = 0;
  uint16_t type = 0;
  uint32_t count = 1;
  std::string name;
  bool operator==(const FileTemplateField&) const = default;
};

struct FileTemplate {
  uint32_t data_size = 0;
  std::vector<FileTemplateField> fields;
  bool operator==(const FileTemplate&) const = default;
};

struct FileProcess {
  std::string name;
  std::string signature;
  uint32_t flags = 0;
  FileTemplate data_template;
  bool operator==(const FileProcess&) const = default;
};

// A clip's span and inputs as stored.
struct FileSpan {
  float start = 0, end = 0;
  std::vector<int32_t> inputs;
  std::optional<uint16_t> display_mode;  // absent: the process's default
  std::optional<uint32_t> flags;
  bool operator==(const FileSpan&) const = default;
};

struct FileTrack;

struct FileEditCopy {
  std::optional<std::vector<uint8_t>> data;  // Clip data payload
  FileSpan span;                             // short form: no mode, no flags
  bool operator==(const FileEditCopy&) const = default;
};

struct FileClip {
  std::string process_name;
  std::string process_signature;
  std::optional<FileSpan> span;
  std::optional<std::vector<uint8_t>> icon;
  std::optional<std::vector<uint8_t>> data;  // Clip data payload, decoded against a template
  std::optional<std::vector<FileTrack>> sub_tracks;  // a SuperClip's sub-project, list order
  std::array<int32_t, 4> window = {0, 0, 0, 0};
  std::optional<FileEditCopy> edit_copy;
  bool operator==(const FileClip&) const;
};

struct FileTrack {
  std::optional<int32_t> number;
  std::string name;
  std::array<int32_t, 4> window = {100, 100, 500, 400};
  std::array<uint32_t, 5> view = {0, 0x3F800000u, 0, 0x3F800000u, 0x401C};
  uint32_t flags = 0;
  std::vector<FileClip> clips;  // time order
  bool operator==(const FileTrack&) const = default;
};

struct FilePresetComponent {
  std::string texts[4];
  uint32_t value = 0;
  FileTemplate data_template;
  std::optional<std::vector<uint8_t>> data;  // Clip data payload of the format parameters
  bool operator==(const FilePresetComponent&) const = default;
};

struct FilePreset {
  uint32_t flags = 0;
  std::array<uint32_t, 9> settings = {};
  std::string name;
  FilePresetComponent components[3];
  bool operator==(const FilePreset&) const = default;
};

// Settings the file carries; defaults are those of a new project record.
struct FileSettings {
  int32_t time_base = kProjectDefaults.time_base, time_snap = kProjectDefaults.time_snap,
          initial_time_code = kProjectDefaults.initial_time_code;
  int32_t width = kProjectDefaults.width, height = kProjectDefaults.height,
          detail = kProjectDefaults.detail;
  float pixel_aspect = kProjectDefaults.pixel_aspect;
  float active_start = 0, active_end = 0, preview_start = 0, preview_end = 0;
  std::array<uint32_t, 2> view_range = {0, 0};
  int32_t render_fields = -1;
  std::array<uint32_t, 6> render_extra = {};
  int32_t render_detail = 45;
  int32_t sample_rate = kProjectDefaults.sampling_rate, channels = kProjectDefaults.channels,
          bytes_per_sample = kProjectDefaults.bytes_per_sample;
  int32_t render_threads = 0;  // 0: none stored (the u16 is 0)
  uint32_t time_display = 0;
  float current_time = 0;
  std::array<uint32_t, 5> view_switches = {};
  uint32_t render_segment_given = 0;
  int32_t render_start_frame = 0, render_end_frame = 0, render_current_frame = 0;
  int32_t render_track = -1;  // track reference
  float track_window[3] = {0.3f, 0.6f, 0.8f};
  bool track_window_option = false;
  float key_window[2] = {0.3f, 0.6f};
  bool key_window_option = false;
  bool operator==(const FileSettings&) const = default;
};

struct FileProject {
  int status = kLoadOk;
  int32_t version = 0;
  std::optional<std::string> description;
  std::optional<std::string> undo_label;
  std::optional<std::string> snapshot_path;
  FileSettings settings;
  std::vector<FileProcess> processes;  // registry order
  // The Geometry list chunk, header included, as read or as the geometry module wrote it;
  // empty: none read (written as an empty list).
  std::vector<uint8_t> geometry_list;
  std::vector<FileTrack> tracks;  // list order (the writer emits the last first)
  std::optional<FilePreset> render_preset;
};

inline bool FileClip::operator==(const FileClip& o) const {
  return process_name == o.process_name && process_signature == o.process_signature &&
         span == o.span && icon == o.icon && data == o.data && sub_tracks == o.sub_tracks &&
         window == o.window && edit_copy == o.edit_copy;
}

}  // namespace lumetra::project
