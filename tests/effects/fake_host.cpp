#include "effects/fake_host.h"

#include <cstring>

#include "anim/keyfloat.h"

namespace effects_test {
namespace {

FakeHost* g_host = nullptr;

template <typename Handle>
FakeObject* AsObject(Handle o) { return reinterpret_cast<FakeObject*>(o); }

PIC* GetInputFrame(HostCallContext*, int32_t input, float t) {
  g_host->fetches.emplace_back(input, t);
  if (input == 0 && g_host->input0 != nullptr) return g_host->input0;
  const auto it = g_host->inputs.find(input);
  return it != g_host->inputs.end() ? it->second : nullptr;
}
int32_t IsInputAssigned(HostCallContext*, int32_t input) {
  return (input == 0 && g_host->input0 != nullptr) || g_host->inputs.count(input) != 0 ||
         g_host->assigned_empty.count(input) != 0;
}
int32_t ProjectFrameRate() { return g_host->frame_rate; }
int32_t GeoGetBBox(HostCallContext*, LumetraGeometry geometry, float box[4], float) {
  for (int i = 0; i < 4; ++i) box[i] = g_host->bbox[i];
  return geometry != nullptr ? 1 : 0;
}
KeyfloatKey* KeyfloatKeySet(KeyfloatKey** first, float t, int8_t components, float x, float y,
                            float z) {
  if (!g_host->make_keys) return nullptr;
  return lumetra::anim::KeyfloatKeySet(first, t, components, x, y, z);
}
PIC* PicCopy(const PIC*) { return nullptr; }
int32_t ClipReportError(HostCallContext*, const char* text) {
  g_host->last_error = text ? text : "";
  return 1;
}
const char* PicErrorText() { return ""; }
PIC* PicCreate(int32_t width, int32_t height) {
  if (g_host->pic_create_fails) return nullptr;
  ++g_host->pic_creates;
  return FakeHost::MakePic(width, height);
}
void PicFree(PIC* pic) {
  if (pic == nullptr) return;
  ++g_host->pic_frees;
  FakeHost::FreePic(pic);
}
int32_t CheckAbort(HostCallContext*, float progress) {
  g_host->progress.push_back(progress);
  return ++g_host->check_aborts == g_host->abort_after_checks ? 1 : 0;
}
void KeyfloatEvaluate(const KeyfloatKey* first, float t, float* x, float* y, float* z) {
  lumetra::anim::KeyfloatEvaluate(first, t, x, y, z);
}
int32_t ClipGetValue(HostCallContext*, const char* key, int32_t, intptr_t* value, int32_t*,
                     float* fvalue, char*, int32_t) {
  const std::string k = key;
  intptr_t v = 0;
  if (k == "version" && g_host->answer_version) {
    v = g_host->version;
  } else if (k == "image_width") {
    v = g_host->image_width;
  } else if (k == "image_height") {
    v = g_host->image_height;
  } else if (k == "clip_inputs" && g_host->clip_inputs >= 0) {
    v = g_host->clip_inputs;
  } else {
    return 0;
  }
  if (value) *value = v;
  if (fvalue) *fvalue = static_cast<float>(v);
  return 1;
}
LumetraObject ObjectCreate(HostCallContext*, const char* kind, const char* name, LumetraTemplate,
                           const void* data) {
  FakeObject& o = g_host->objects.emplace_back();
  o.kind = kind;
  o.name = name ? name : "";
  o.base = data;
  return reinterpret_cast<LumetraObject>(&o);
}
int32_t ObjectAddField(HostCallContext*, LumetraTemplate tmpl, const char* name, const char* type,
                       const void* address, int32_t count) {
  FakeObject* o = AsObject(tmpl);
  const auto offset = reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(o->base);
  o->fields.push_back({name, type, offset, count});
  return 1;
}
intptr_t ObjectOperation(HostCallContext*, LumetraObject object, const char* operation,
                         LumetraObject) {
  if (std::string(operation) != "Delete" || object == nullptr) return 0;
  AsObject(object)->deleted = true;
  return 1;
}
intptr_t ObjectSetValue(HostCallContext*, LumetraObject object, const char* key, intptr_t value,
                        int32_t) {
  AsObject(object)->values.emplace_back(key, value);
  return 1;
}
intptr_t ScriptRun(HostCallContext*, const char* text) {
  g_host->scripts.emplace_back(text);
  return g_host->script_answer;
}
intptr_t ObjectComplete(HostCallContext*, LumetraObject object) {
  FakeObject* o = AsObject(object);
  if (o->kind == "InputFormat") {
    if (g_host->ignore_formats) return 0;
  } else if (g_host->effects_completed++ == g_host->fail_complete_at) {
    return 0;
  }
  o->completed = true;
  g_host->completed.push_back(o);
  return 1;
}

template <typename Fn>
void Put(effects::HostServiceTable& t, int slot, Fn fn) {
  t.slot[slot] = reinterpret_cast<effects::HostEntry>(fn);
}

}  // namespace

intptr_t FakeObject::Value(const std::string& key, bool* found) const {
  for (auto it = values.rbegin(); it != values.rend(); ++it) {
    if (it->first == key) {
      if (found) *found = true;
      return it->second;
    }
  }
  if (found) *found = false;
  return 0;
}

FakeHost::FakeHost() {
  g_host = this;
  using namespace effects;
  Put(table, kSlotGetInputFrame, &GetInputFrame);
  Put(table, kSlotPicCopy, &PicCopy);
  Put(table, kSlotClipReportError, &ClipReportError);
  Put(table, kSlotPicErrorText, &PicErrorText);
  Put(table, kSlotPicCreate, &PicCreate);
  Put(table, kSlotPicFree, &PicFree);
  Put(table, kSlotCheckAbort, &CheckAbort);
  Put(table, kSlotKeyfloatEvaluate, &KeyfloatEvaluate);
  Put(table, kSlotClipGetValue, &ClipGetValue);
  Put(table, kSlotObjectCreate, &ObjectCreate);
  Put(table, kSlotObjectAddField, &ObjectAddField);
  Put(table, kSlotObjectOperation, &ObjectOperation);
  Put(table, kSlotObjectSetValue, &ObjectSetValue);
  Put(table, kSlotScriptRun, &ScriptRun);
  Put(table, kSlotObjectComplete, &ObjectComplete);
  Put(table, kSlotIsInputAssigned, &IsInputAssigned);
  Put(table, kSlotProjectFrameRate, &ProjectFrameRate);
  Put(table, kSlotGeoGetBBox, &GeoGetBBox);
  Put(table, kSlotKeyfloatKeySet, &KeyfloatKeySet);
  ctx.word[HCC_WORD_TAG] = HCC_REGISTRATION_TAG;
  ctx.word[HCC_WORD_KIND] = HCC_KIND_REGISTRATION;
}

FakeHost::~FakeHost() {
  if (g_host == this) g_host = nullptr;
}

PIC* FakeHost::MakePic(int32_t width, int32_t height) {
  auto* pic = new PIC{};
  pic->width = static_cast<int16_t>(width);
  pic->height = static_cast<int16_t>(height);
  pic->pixels = new uint8_t[static_cast<size_t>(width) * height * 4]();
  return pic;
}

void FakeHost::FreePic(PIC* pic) {
  delete[] pic->pixels;
  delete pic;
}

}  // namespace effects_test
