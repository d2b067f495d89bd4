#include "formats/format_host.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace formats_test {
namespace {

FormatHost* g_host = nullptr;
std::mutex g_mutex;

// Contexts carry their error text as a heap copy in word 3, as the host's do.
int32_t ClipReportError(HostCallContext* ctx, const char* text) {
  if (ctx == nullptr) return 0;
  std::free(reinterpret_cast<char*>(ctx->word[HCC_WORD_ERROR_TEXT]));
  ctx->word[HCC_WORD_ERROR_TEXT] = text ? reinterpret_cast<uintptr_t>(strdup(text)) : 0;
  return 1;
}

PIC* PicCreate(int32_t width, int32_t height) {
  return MakePicture(width, height);
}

void PicFree(PIC* pic) {
  if (pic == nullptr) return;
  {
    std::lock_guard lock(g_mutex);
    --g_host->live_pictures;
  }
  std::free(pic->pixels);
  delete pic;
}

SoundBlock* SoundCreate(float start, float end, int32_t rate, int32_t bytes, int32_t channels) {
  if (rate < 1 || bytes < 1 || bytes > 4 || channels < 1 || !(end >= start)) return nullptr;
  auto* b = new SoundBlock{};
  b->start = start;
  b->end = end;
  b->rate = static_cast<uint32_t>(rate);
  b->channels = static_cast<uint16_t>(channels);
  b->bytes = static_cast<uint16_t>(bytes);
  b->samples = static_cast<uint32_t>(static_cast<int64_t>(end * rate + 0.0001) -
                                     static_cast<int64_t>(start * rate + 0.0001));
  const size_t size = size_t{b->samples} * channels * bytes;
  b->data = static_cast<uint8_t*>(std::calloc(size ? size : 1, 1));
  if (bytes == 1) std::memset(b->data, 128, size);
  return b;
}

void SoundFree(SoundBlock* block) {
  if (block == nullptr) return;
  std::free(block->data);
  delete block;
}

void* MemoryAllocate(size_t size) { return std::malloc(size ? size : 1); }
void MemoryRelease(void* block) { std::free(block); }

uint16_t* PicToRgb555Fit(const PIC* pic, int32_t width, int32_t height) {
  if (pic == nullptr || width < 1 || height < 1) return nullptr;
  return static_cast<uint16_t*>(std::calloc(size_t(width) * height, 2));
}

int32_t ProjectFrameRate() { return 25; }

int32_t ClipGetValue(HostCallContext*, const char* key, int32_t, intptr_t* value, int32_t*,
                     float* fvalue, char*, int32_t) {
  const std::string k = key;
  double v = 0;
  if (k == "OutputFlags") {
    v = g_host->output_flags;
  } else if (k == "OutputSamples") {
    v = g_host->output_samples;
  } else if (k == "OutputChannels") {
    v = g_host->output_channels;
  } else if (k == "OutputTimeBase") {
    v = g_host->frame_rate;
  } else if (k == "version") {
    v = 1002;
  } else {
    return 0;
  }
  if (value) *value = static_cast<intptr_t>(v);
  if (fvalue) *fvalue = static_cast<float>(v);
  return 1;
}

LumetraObject ObjectCreate(HostCallContext*, const char* kind, const char* name, LumetraTemplate,
                           const void* data) {
  Registered& o = g_host->objects.emplace_back();
  o.kind = kind;
  o.name = name ? name : "";
  o.base = data;
  return reinterpret_cast<LumetraObject>(&o);
}

int32_t ObjectAddField(HostCallContext*, LumetraTemplate tmpl, const char* name, const char* type,
                       const void* address, int32_t) {
  auto* o = reinterpret_cast<Registered*>(tmpl);
  const auto offset = reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(o->base);
  o->fields.push_back(std::string(name) + ":" + type + ":" + std::to_string(offset));
  return 1;
}

intptr_t ObjectOperation(HostCallContext*, LumetraObject, const char* operation, LumetraObject) {
  return std::strcmp(operation, "Delete") == 0 ? 1 : 0;
}

intptr_t ObjectSetValue(HostCallContext*, LumetraObject object, const char* key, intptr_t value,
                        int32_t index) {
  auto* o = reinterpret_cast<Registered*>(object);
  std::string k = key;
  if (k.rfind("Ext", 0) == 0 && o->kind == "InputFormat") {
    k = "Ext0#" + std::to_string(index > 0 ? index : k.size() == 4 ? k[3] - '0' : 0);
    value = reinterpret_cast<intptr_t>(strdup(reinterpret_cast<const char*>(value)));
  }
  o->values[k] = value;
  return 1;
}

intptr_t ObjectComplete(HostCallContext*, LumetraObject object) {
  reinterpret_cast<Registered*>(object)->completed = true;
  return 1;
}

}  // namespace

PIC* MakePicture(int32_t width, int32_t height) {
  if (width < 1 || height < 1 || width > 32767 || height > 32767) return nullptr;
  auto* pic = new PIC{};
  pic->width = static_cast<int16_t>(width);
  pic->height = static_cast<int16_t>(height);
  pic->pixels = static_cast<uint8_t*>(std::calloc(size_t(width) * height, 4));
  if (g_host) {
    std::lock_guard lock(g_mutex);
    ++g_host->live_pictures;
  }
  return pic;
}

FormatHost::FormatHost() {
  g_host = this;
  table.ClipReportError = ClipReportError;
  table.PicCreate = PicCreate;
  table.PicFree = PicFree;
  table.SoundCreate = SoundCreate;
  table.SoundFree = SoundFree;
  table.MemoryAllocate = MemoryAllocate;
  table.MemoryRelease = MemoryRelease;
  table.PicToRgb555Fit = PicToRgb555Fit;
  table.ProjectFrameRate = ProjectFrameRate;
  table.ClipGetValue = ClipGetValue;
  table.ObjectCreate = ObjectCreate;
  table.ObjectAddField = ObjectAddField;
  table.ObjectOperation = ObjectOperation;
  table.ObjectSetValue = ObjectSetValue;
  table.ObjectComplete = ObjectComplete;
  ctx.word[HCC_WORD_TAG] = HCC_REGISTRATION_TAG;
  ctx.word[HCC_WORD_KIND] = HCC_KIND_REGISTRATION;
  ZOLT_GetLibInfo(&ctx, &table);
  ClipReportError(&ctx, nullptr);
  ctx = HostCallContext{};
  ctx.word[HCC_WORD_KIND] = HCC_KIND_OUTPUT;
  ctx.word[HCC_WORD_OUTPUT] = reinterpret_cast<uintptr_t>(this);
}

FormatHost::~FormatHost() {
  ClipReportError(&ctx, nullptr);
  for (Registered& o : objects) {
    for (auto& [key, value] : o.values) {
      if (key.rfind("Ext0#", 0) == 0) std::free(reinterpret_cast<char*>(value));
    }
  }
  g_host = nullptr;
}

std::string FormatHost::Error(const HostCallContext& ctx) {
  const auto* text = reinterpret_cast<const char*>(ctx.word[HCC_WORD_ERROR_TEXT]);
  return text ? text : "";
}

const Registered* FormatHost::Input(const std::string& name) const {
  for (const Registered& o : objects) {
    if (o.kind == "InputFormat" && o.name == name) return &o;
  }
  return nullptr;
}

const Registered* FormatHost::Output(const std::string& ext) const {
  for (const Registered& o : objects) {
    auto it = o.values.find("Ext");
    if (o.kind == "OutputFormat" && it != o.values.end() &&
        ext == reinterpret_cast<const char*>(it->second)) {
      return &o;
    }
  }
  return nullptr;
}

}  // namespace formats_test
