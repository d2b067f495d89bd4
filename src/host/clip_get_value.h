// ClipGetValue: the key-based query through which a library reads project and clip values.
//
// The answers are read from a plain record that the caller fills from the call context
// (project, clip, render request, media item); ClipGetValueFrom only picks and formats.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

struct ClipValueVideo {
  int32_t width = 0, height = 0;
  float aspect = 1.0f;
  int32_t begin = 0, end = 0, in_point = 0, out_point = 0, cur_point = 0;
  float time_base = 0.0f;
  int32_t fields = 0;
  std::string layer;
};

struct ClipValueSound {
  int32_t bps = 0, samples = 0, channels = 0;
  uint32_t begin = 0, end = 0, in_point = 0, out_point = 0, cur_point = 0;
  int32_t time_base = 0;
  std::string layer;
};

// A format call's file: name parts, digits and flags, and the component's video and sound.
// Video time base, fields and layer need has_video; sound in, out, current point, time base
// and layer need has_sound; the other values are answered either way.
struct ClipValueFile {
  std::string full_file_name, file_path, file_name, file_ext;
  int32_t file_digits = 0, file_flags = 0;
  bool has_video = false, has_sound = false;
  ClipValueVideo video;
  ClipValueSound sound;
};

struct ClipValues {
  int32_t time_base = 25;
  float current_time = 0.0f;  // the request's time in a render call, else the editor's
  int32_t rectangle[4] = {0, 0, 0, 0};
  int32_t language = 0;
  bool has_clip = false;
  float clip_from = 0.0f, clip_to = 0.0f;
  int32_t clip_inputs = 0;
  void* clip_data = nullptr;  // the working copy's block while the edit window is open
  int32_t image_width = 0, image_height = 0;  // the request's picture, else the project's
  float image_aspect = 1.0f;
  // Names of the tracks connected to the clip's inputs; nullopt for an unconnected input.
  std::vector<std::optional<std::string>> input_names;
  std::optional<ClipValueFile> file;  // set in a format call
};

inline constexpr int32_t kClipGetValueVersion = LUMETRA_HOST_VERSION;

// Answers one key (any case). Numbers go to value (integers; frame numbers for times;
// pointers) and fvalue (floats; seconds for times); "rectangle" fills word[0..3]; "Layer"
// puts 4 (video) or 8 (sound) in value; texts are cut to text_size - 1 and terminated.
// index is the input number for "clip_input_name". 1 when answered, else 0.
int32_t ClipGetValueFrom(const ClipValues& values, const char* key, int32_t index, intptr_t* value,
                         int32_t* word, float* fvalue, char* text, int32_t text_size);

// The host service: answers from the clip in the context's clip word (its track, project,
// span, inputs and data), read under the render lock; without a clip, from the current
// project. Render-call values (the request's time and picture) are not known here: a
// render call answers through ClipGetValueFrom with the request's values filled in.
int32_t ClipGetValue(HostCallContext* ctx, const char* key, int32_t index, intptr_t* value,
                     int32_t* word, float* fvalue, char* text, int32_t text_size);

}  // namespace lumetra::project
