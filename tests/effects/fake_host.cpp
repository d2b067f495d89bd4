#include "effects/fake_host.h"

#include <algorithm>
#include <cstring>

#include "anim/keyfloat.h"
#include "geometry/geo_services.h"

namespace effects_test {
namespace {

FakeHost* g_host = nullptr;

template <typename Handle>
FakeObject* AsObject(Handle o) { return reinterpret_cast<FakeObject*>(o); }

PIC* GetInputFrame(HostCallContext*, int32_t input, float t) {
  g_host->fetches.emplace_back(input, t);
  if (input == 0) {
    g_host->input_times.push_back(t);
    if (g_host->input_at) return g_host->input_at(t);
    if (g_host->input0 != nullptr) return g_host->input0;
  }
  const auto it = g_host->inputs.find(input);
  return it != g_host->inputs.end() ? it->second : nullptr;
}
PIC* PicCopy(const PIC* pic) {
  if (pic == nullptr || g_host->pic_create_fails) return nullptr;
  ++g_host->pic_creates;
  PIC* copy = FakeHost::MakePic(pic->width, pic->height);
  copy->x = pic->x;
  copy->y = pic->y;
  copy->tag = pic->tag;
  std::memcpy(copy->pixels, pic->pixels, static_cast<size_t>(pic->width) * pic->height * 4);
  return copy;
}
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
KeyfloatKey* KeyfloatKeySet(KeyfloatKey** first, float t, int8_t components, float x, float y,
                            float z) {
  return lumetra::anim::KeyfloatKeySet(first, t, components, x, y, z);
}
float KeyfloatKeyAccess(KeyfloatKey* key, int32_t write, float* x, float* y, float* z,
                        float* tension, float* continuity, float* bias) {
  return lumetra::anim::KeyfloatKeyAccess(key, write, x, y, z, tension, continuity, bias);
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

int32_t IsInputAssigned(HostCallContext*, int32_t input) {
  if (input == 0 && g_host->input_assigned >= 0) return g_host->input_assigned;
  if (input == 0 && (g_host->input0 != nullptr || g_host->input_at)) return 1;
  return g_host->inputs.count(input) != 0 || g_host->assigned_empty.count(input) != 0 ? 1 : 0;
}
intptr_t RequestGetUserWord(HostCallContext*) { return g_host->user_word; }
int32_t RequestSetUserWord(HostCallContext*, intptr_t word) {
  g_host->user_word = word;
  return 1;
}
int32_t ClipGetErrorText(HostCallContext*, char* buffer, int32_t size) {
  if (buffer != nullptr && size > 0) {
    const size_t n = std::min(g_host->last_error.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, g_host->last_error.data(), n);
    buffer[n] = '\0';
  }
  return static_cast<int32_t>(g_host->last_error.size());
}
int32_t FreeInputFrame(HostCallContext*, PIC*) {
  ++g_host->input_frees;
  return 1;
}
int32_t ProjectFrameRate() { return g_host->frame_rate; }

lumetra::geometry::GeoFrame Frame() {
  return lumetra::geometry::GeoFrameFor(g_host->geometries, g_host->image_width,
                                        g_host->image_height, 1.f);
}
auto* AsGeometry(LumetraGeometry g) { return reinterpret_cast<lumetra::geometry::Geometry*>(g); }

int32_t EmitShape(const FakeShape& shape, intptr_t user, LumetraCurveCallback cb) {
  for (LumetraGeometry m : shape.members) {
    auto it = g_host->shapes.find(m);
    if (it == g_host->shapes.end()) return 0;
    const int32_t r = EmitShape(it->second, user, cb);
    if (r != 1) return r;
  }
  for (const auto& s : shape.segments) {
    const int32_t r = cb(user, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]);
    if (r != 1) return r;
  }
  return 1;
}
int32_t GeoGetCurves(HostCallContext*, LumetraGeometry g, float time, int32_t closed_only,
                     intptr_t user, LumetraCurveCallback cb) {
  auto it = g_host->shapes.find(g);
  if (it != g_host->shapes.end()) return EmitShape(it->second, user, cb);
  if (g_host->geometries == nullptr) return 0;
  return lumetra::geometry::GeoGetCurves(Frame(), AsGeometry(g), time, closed_only != 0, user, cb);
}
int32_t V_GeoSubgeoGet(LumetraGeometry g, LumetraGeometry* members, int32_t capacity) {
  auto it = g_host->shapes.find(g);
  if (it != g_host->shapes.end()) {
    const auto& m = it->second.members;
    for (int32_t i = 0; i < capacity && i < static_cast<int32_t>(m.size()); ++i) members[i] = m[i];
    return static_cast<int32_t>(m.size());
  }
  if (g_host->geometries == nullptr) return 0;
  return lumetra::geometry::V_GeoSubgeoGet(*g_host->geometries, AsGeometry(g),
                                           reinterpret_cast<lumetra::geometry::Geometry**>(members),
                                           capacity);
}
int32_t GeoGetBBox(HostCallContext*, LumetraGeometry g, float box[4], float time) {
  auto it = g_host->shapes.find(g);
  if (it != g_host->shapes.end()) {
    box[0] = box[1] = 3e38f;
    box[2] = box[3] = -3e38f;
    for (const auto& s : it->second.segments) {
      for (int i : {0, 4}) {
        box[0] = std::min(box[0], s[i]);
        box[2] = std::max(box[2], s[i]);
        box[1] = std::min(box[1], s[i + 1]);
        box[3] = std::max(box[3], s[i + 1]);
      }
    }
    return 1;
  }
  if (g_host->geometries == nullptr) {
    for (int i = 0; i < 4; ++i) box[i] = g_host->bbox[i];
    return g != nullptr ? 1 : 0;
  }
  lumetra::geometry::GeoGetBBox(Frame(), AsGeometry(g), box, time);
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
  Put(table, kSlotKeyfloatKeySet, &KeyfloatKeySet);
  Put(table, kSlotKeyfloatKeyAccess, &KeyfloatKeyAccess);
  Put(table, kSlotClipGetValue, &ClipGetValue);
  Put(table, kSlotObjectCreate, &ObjectCreate);
  Put(table, kSlotObjectAddField, &ObjectAddField);
  Put(table, kSlotObjectOperation, &ObjectOperation);
  Put(table, kSlotObjectSetValue, &ObjectSetValue);
  Put(table, kSlotScriptRun, &ScriptRun);
  Put(table, kSlotObjectComplete, &ObjectComplete);
  Put(table, kSlotIsInputAssigned, &IsInputAssigned);
  Put(table, kSlotRequestGetUserWord, &RequestGetUserWord);
  Put(table, kSlotRequestSetUserWord, &RequestSetUserWord);
  Put(table, kSlotClipGetErrorText, &ClipGetErrorText);
  Put(table, kSlotFreeInputFrame, &FreeInputFrame);
  Put(table, kSlotProjectFrameRate, &ProjectFrameRate);
  Put(table, kSlotGeoGetCurves, &GeoGetCurves);
  Put(table, kSlotV_GeoSubgeoGet, &V_GeoSubgeoGet);
  Put(table, kSlotGeoGetBBox, &GeoGetBBox);
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
