// OutputGetValue: one table row per key.
#include "output/output_get_value.h"

#include <cstring>
#include <string>
#include <string_view>

#include "output/output_frames.h"

namespace lumetra::output {
namespace {

OutputSettings* g_current = nullptr;

struct Query {
  const OutputSettings& s;
  const OutputComponent& c;
  int32_t component;
  int32_t* value;
  int32_t* value2;
  float* real;
  char* text;
  std::size_t text_size;

  int32_t Int(int64_t v) const {
    if (value != nullptr) *value = static_cast<int32_t>(v);
    return 1;
  }
  int32_t Text(const std::string& t, std::size_t room) const {
    if (text == nullptr || text_size == 0 || text_size < room) return 0;
    const std::size_t n = std::min(t.size(), text_size - 1);
    std::memcpy(text, t.data(), n);
    text[n] = '\0';
    return 1;
  }
};

struct Row {
  std::string_view key;
  int32_t (*answer)(const Query& q);
};

constexpr Row kRows[] = {
    {"OutputFullFileName",
     [](const Query& q) {
       if (q.c.format == nullptr) return q.Text(NativePath(q.c.path), kFullFileNameRoom);
       std::string dir = NativePath(q.c.path);
       if (!dir.empty() && dir.back() != '/') dir += '/';
       return q.Text(dir + q.c.base_name + "." + q.c.format->ext, kFullFileNameRoom);
     }},
    {"OutputFilePath", [](const Query& q) { return q.Text(q.c.path, kFilePathRoom); }},
    {"OutputFileName", [](const Query& q) { return q.Text(q.c.base_name, 1); }},
    {"OutputFileExt",
     [](const Query& q) {
       if (q.c.format == nullptr) return q.Int(0);
       return q.Text(q.c.format->ext, 1);
     }},
    {"OutputLayerName", [](const Query& q) { return q.Text(q.c.layer_name, 1); }},
    {"OutputWidth", [](const Query& q) { return q.Int(q.s.width); }},
    {"OutputHeight", [](const Query& q) { return q.Int(q.s.height); }},
    {"OutputDigits", [](const Query& q) { return q.Int(q.s.digits); }},
    {"OutputStep", [](const Query& q) { return q.Int(q.s.step); }},
    {"OutputAspect",
     [](const Query& q) {
       if (q.real != nullptr) *q.real = q.s.aspect;
       return 1;
     }},
    {"OutputSamples", [](const Query& q) { return q.Int(q.s.sample_rate); }},
    {"OutputChannels", [](const Query& q) { return q.Int(q.s.channels); }},
    {"OutputBPS", [](const Query& q) { return q.Int(q.s.bytes_per_sample); }},
    {"OutputFlags", [](const Query& q) { return q.Int(q.s.flags); }},
    {"OutputFormatFlags",
     [](const Query& q) { return q.Int(q.c.format != nullptr ? q.c.format->flags : 0); }},
    {"OutputFrom", [](const Query& q) { return q.Int(q.s.from); }},
    {"OutputTo", [](const Query& q) { return q.Int(q.s.to); }},
    {"OutputTimeBase", [](const Query& q) { return q.Int(q.s.time_base); }},
    {"OutputSoundBuffering", [](const Query& q) { return q.Int(q.s.sound_buffering); }},
};

}  // namespace

OutputSettings* CurrentOutputSettings() { return g_current; }
void SetCurrentOutputSettings(OutputSettings* settings) { g_current = settings; }

int32_t OutputGetValue(HostCallContext* ctx, const char* key, int32_t component, int32_t* value,
                       int32_t* value2, float* real, char* text, std::size_t text_size) {
  if (key == nullptr || component < 0 || component >= kComponentCount) return 0;
  const OutputSettings* s = g_current;
  if (ctx != nullptr && ctx->word[HCC_WORD_KIND] == HCC_KIND_OUTPUT &&
      ctx->word[HCC_WORD_OUTPUT] != 0)
    s = reinterpret_cast<const OutputSettings*>(ctx->word[HCC_WORD_OUTPUT]);
  if (s == nullptr) return 0;
  const Query q{*s, s->components[component], component, value, value2, real, text, text_size};
  for (const Row& row : kRows)
    if (row.key == key) return row.answer(q);
  return 0;
}

}  // namespace lumetra::output
