// ClipGetValue: the key table and its answers.
#include "host/clip_get_value.h"

#include <cmath>
#include <cstring>
#include <string_view>

#include "clipdata/atom.h"
#include "host/context_clip.h"
#include "host/host_services.h"
#include "host/object_error.h"
#include "model/model.h"
#include "model/project.h"
#include "model/render_lock.h"

namespace lumetra::project {
namespace {

struct Out {
  intptr_t* value;
  int32_t* word;
  float* fvalue;
  char* text;
  int32_t text_size;

  int32_t Int(int64_t v) const {
    if (value) *value = static_cast<intptr_t>(v);
    if (fvalue) *fvalue = static_cast<float>(v);
    return 1;
  }
  int32_t Float(float v) const {
    if (fvalue) *fvalue = v;
    if (value) *value = std::isfinite(v) ? static_cast<intptr_t>(v) : 0;
    return 1;
  }
  // A time in seconds and as a frame number: trunc(base × time + 0.0001).
  int32_t Time(float seconds, int32_t base) const {
    if (fvalue) *fvalue = seconds;
    if (value) {
      const double frame = static_cast<double>(base) * seconds + 0.0001;
      *value = std::isfinite(frame) && std::fabs(frame) < 2147483647.0
                   ? static_cast<intptr_t>(frame)
                   : 0;
    }
    return 1;
  }
  int32_t Text(std::string_view t) const {
    if (text != nullptr && text_size > 0) {
      const std::size_t n = std::min(t.size(), static_cast<std::size_t>(text_size) - 1);
      std::memcpy(text, t.data(), n);
      text[n] = '\0';
    }
    return 1;
  }
};

int32_t FileValue(const ClipValueFile& f, std::string_view key, const Out& out) {
  auto is = [&](std::string_view name) { return AtomCompare(key, name) == 0; };
  const ClipValueVideo& v = f.video;
  const ClipValueSound& s = f.sound;
  if (is("FullFileName")) return out.Text(f.full_file_name);
  if (is("FilePath")) return out.Text(f.file_path);
  if (is("FileName")) return out.Text(f.file_name);
  if (is("FileExt")) return out.Text(f.file_ext);
  if (is("FileDigits")) return out.Int(f.file_digits);
  if (is("FileFlags")) return out.Int(f.file_flags);
  if (is("VideoWidth")) return out.Int(v.width);
  if (is("VideoHeight")) return out.Int(v.height);
  if (is("VideoAspect")) return out.Float(v.aspect);
  if (is("VideoBegin")) return out.Int(v.begin);
  if (is("VideoEnd")) return out.Int(v.end);
  if (is("VideoInPoint")) return out.Int(v.in_point);
  if (is("VideoOutPoint")) return out.Int(v.out_point);
  if (is("VideoCurPoint")) return out.Int(v.cur_point);
  if (is("VideoTimeBase")) return f.has_video ? out.Float(v.time_base) : 0;
  if (is("VideoFields")) return f.has_video ? out.Int(v.fields) : 0;
  if (is("VideoLayer")) return f.has_video ? out.Text(v.layer) : 0;
  if (is("SoundBPS")) return out.Int(s.bps);
  if (is("SoundSamples")) return out.Int(s.samples);
  if (is("SoundChannels")) return out.Int(s.channels);
  if (is("SoundBegin")) return out.Int(s.begin);
  if (is("SoundEnd")) return out.Int(s.end);
  if (is("SoundInPoint")) return f.has_sound ? out.Int(s.in_point) : 0;
  if (is("SoundOutPoint")) return f.has_sound ? out.Int(s.out_point) : 0;
  if (is("SoundCurPoint")) return f.has_sound ? out.Int(s.cur_point) : 0;
  if (is("SoundTimeBase")) return f.has_sound ? out.Int(s.time_base) : 0;
  if (is("SoundLayer")) return f.has_sound ? out.Text(s.layer) : 0;
  if (is("Layer")) {
    if (!f.has_video && !f.has_sound) return 0;
    out.Text(f.has_video ? v.layer : s.layer);
    return out.Int(f.has_video ? 4 : 8);
  }
  return 0;
}

}  // namespace

int32_t ClipGetValueFrom(const ClipValues& values, const char* key_text, int32_t index,
                         intptr_t* value, int32_t* word, float* fvalue, char* text,
                         int32_t text_size) {
  if (key_text == nullptr) return 0;
  const std::string_view key(key_text);
  const Out out{value, word, fvalue, text, text_size};
  auto is = [&](std::string_view name) { return AtomCompare(key, name) == 0; };
  if (is("timebase")) return out.Int(values.time_base);
  if (is("current_time")) return out.Time(values.current_time, values.time_base);
  if (is("rectangle")) {
    if (word) std::memcpy(word, values.rectangle, sizeof values.rectangle);
    return 1;
  }
  if (is("version")) return out.Int(kClipGetValueVersion);
  if (is("language")) return out.Int(values.language);
  if (is("image_width")) return out.Int(values.image_width);
  if (is("image_height")) return out.Int(values.image_height);
  if (is("image_aspect")) return out.Float(values.image_aspect);
  if (values.has_clip) {
    if (is("clip_from")) return out.Time(values.clip_from, values.time_base);
    if (is("clip_to")) return out.Time(values.clip_to, values.time_base);
    if (is("clip_inputs")) return out.Int(values.clip_inputs);
    if (is("clip_data")) {
      if (values.clip_data == nullptr) return 0;
      if (value) *value = reinterpret_cast<intptr_t>(values.clip_data);
      return 1;
    }
    if (is("clip_input_name")) {
      if (index < 0 || static_cast<std::size_t>(index) >= values.input_names.size() ||
          !values.input_names[static_cast<std::size_t>(index)])
        return 0;
      return out.Text(*values.input_names[static_cast<std::size_t>(index)]);
    }
  }
  if (values.file) return FileValue(*values.file, key, out);
  return 0;
}

namespace {

void FillFromProject(const Project& p, ClipValues& v) {
  v.time_base = p.settings.time_base;
  v.image_width = p.settings.width;
  v.image_height = p.settings.height;
  v.image_aspect = p.settings.pixel_aspect;
}

void FillFromClip(const Clip& clip, ClipValues& v) {
  v.has_clip = true;
  v.clip_from = clip.start;
  v.clip_to = clip.end;
  v.clip_inputs = static_cast<int32_t>(clip.inputs.size());
  // Only while the edit window is open: then the window's working copy is what changes.
  if (clip.edit_window != 0 && clip.edit_copy != nullptr) v.clip_data = clip.edit_copy->data;
  v.input_names.reserve(clip.inputs.size());
  for (const Track* in : clip.inputs) {
    if (in == nullptr) {
      v.input_names.emplace_back(std::nullopt);
    } else {
      v.input_names.emplace_back(std::string(in->name, strnlen(in->name, sizeof in->name)));
    }
  }
}

}  // namespace

int32_t ClipGetValue(HostCallContext* ctx, const char* key, int32_t index, intptr_t* value,
                     int32_t* word, float* fvalue, char* text, int32_t text_size) {
  if (key == nullptr) return 0;
  ClipValues values;
  bool unknown_clip = false;
  {
    RenderLockGuard lock(RenderLock());
    // A clip word that names no clip the host knows (freed, foreign) is never read through.
    const Clip* clip = ContextClip(ctx);
    unknown_clip = clip == nullptr && ctx != nullptr && ctx->word[HCC_WORD_CLIP] != 0;
    const Project* project =
        clip != nullptr && clip->track != nullptr ? clip->track->project : CurrentProject();
    if (project != nullptr && !unknown_clip) FillFromProject(*project, values);
    if (clip != nullptr) FillFromClip(*clip, values);
  }
  if (unknown_clip) {
    ObjectReportError(ctx, kNoClipText);
    return 0;
  }
  return ClipGetValueFrom(values, key, index, value, word, fvalue, text, text_size);
}

}  // namespace lumetra::project
