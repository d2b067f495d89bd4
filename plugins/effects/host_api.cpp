#include "host_api.h"

namespace effects {
namespace {

HostApi g_host;

template <typename Fn>
Fn Entry(const HostServiceTable& table, int slot) {
  return reinterpret_cast<Fn>(table.slot[slot]);
}

}  // namespace

void HostApiCopy(const HostServiceTable* table) {
  g_host = HostApi{};
  if (table == nullptr) return;
  const HostServiceTable& t = *table;
  g_host.get_input_frame = Entry<GetInputFrameFn>(t, kSlotGetInputFrame);
  g_host.pic_copy = Entry<PicCopyFn>(t, kSlotPicCopy);
  g_host.clip_report_error = Entry<ClipReportErrorFn>(t, kSlotClipReportError);
  g_host.pic_error_text = Entry<PicErrorTextFn>(t, kSlotPicErrorText);
  g_host.pic_create = Entry<PicCreateFn>(t, kSlotPicCreate);
  g_host.pic_free = Entry<PicFreeFn>(t, kSlotPicFree);
  g_host.check_abort = Entry<CheckAbortFn>(t, kSlotCheckAbort);
  g_host.memory_allocate = Entry<MemoryAllocateFn>(t, kSlotMemoryAllocate);
  g_host.memory_release = Entry<MemoryReleaseFn>(t, kSlotMemoryRelease);
  g_host.keyfloat_evaluate = Entry<KeyfloatEvaluateFn>(t, kSlotKeyfloatEvaluate);
  g_host.keyfloat_key_set = Entry<KeyfloatKeySetFn>(t, kSlotKeyfloatKeySet);
  g_host.free_input_frame = Entry<FreeInputFrameFn>(t, kSlotFreeInputFrame);
  g_host.clip_get_value = Entry<ClipGetValueFn>(t, kSlotClipGetValue);
  g_host.keyfloat_key_access = Entry<KeyfloatKeyAccessFn>(t, kSlotKeyfloatKeyAccess);
  g_host.object_create = Entry<ObjectCreateFn>(t, kSlotObjectCreate);
  g_host.object_add_field = Entry<ObjectAddFieldFn>(t, kSlotObjectAddField);
  g_host.object_operation = Entry<ObjectOperationFn>(t, kSlotObjectOperation);
  g_host.object_set_value = Entry<ObjectSetValueFn>(t, kSlotObjectSetValue);
  g_host.script_run = Entry<ScriptRunFn>(t, kSlotScriptRun);
  g_host.object_complete = Entry<ObjectCompleteFn>(t, kSlotObjectComplete);
  g_host.geo_get_curves = Entry<GeoGetCurvesFn>(t, kSlotGeoGetCurves);
  g_host.v_geo_subgeo_get = Entry<V_GeoSubgeoGetFn>(t, kSlotV_GeoSubgeoGet);
  g_host.is_input_assigned = Entry<IsInputAssignedFn>(t, kSlotIsInputAssigned);
  g_host.request_get_user_word = Entry<RequestGetUserWordFn>(t, kSlotRequestGetUserWord);
  g_host.request_set_user_word = Entry<RequestSetUserWordFn>(t, kSlotRequestSetUserWord);
  g_host.clip_get_error_text = Entry<ClipGetErrorTextFn>(t, kSlotClipGetErrorText);
  g_host.project_frame_rate = Entry<ProjectFrameRateFn>(t, kSlotProjectFrameRate);
  g_host.pic_place_in_rect = Entry<PicPlaceInRectFn>(t, kSlotPicPlaceInRect);
  g_host.geo_get_bbox = Entry<GeoGetBBoxFn>(t, kSlotGeoGetBBox);
}

const HostApi& Host() { return g_host; }

PIC* HostGetInputFrame(HostCallContext* ctx, int32_t input, float t) {
  return g_host.get_input_frame ? g_host.get_input_frame(ctx, input, t) : nullptr;
}

PIC* HostPicCopy(const PIC* pic) { return g_host.pic_copy ? g_host.pic_copy(pic) : nullptr; }

void HostReportError(HostCallContext* ctx, const char* text) {
  if (g_host.clip_report_error) g_host.clip_report_error(ctx, text);
}

const char* HostPicErrorText() {
  return g_host.pic_error_text ? g_host.pic_error_text() : nullptr;
}

PIC* HostPicCreate(int32_t width, int32_t height) {
  return g_host.pic_create ? g_host.pic_create(width, height) : nullptr;
}

void HostPicFree(PIC* pic) {
  if (pic != nullptr && g_host.pic_free) g_host.pic_free(pic);
}

bool HostCheckAbort(HostCallContext* ctx, float progress) {
  return g_host.check_abort && g_host.check_abort(ctx, progress) != 0;
}

void HostKeyfloatEvaluate(const KeyfloatKey* curve, float t, float* x, float* y, float* z) {
  if (x) *x = 0.f;
  if (y) *y = 0.f;
  if (z) *z = 0.f;
  if (g_host.keyfloat_evaluate && curve != nullptr) g_host.keyfloat_evaluate(curve, t, x, y, z);
}

bool HostClipGetInt(HostCallContext* ctx, const char* key, intptr_t* value) {
  if (!g_host.clip_get_value) return false;
  intptr_t v = 0;
  if (g_host.clip_get_value(ctx, key, 0, &v, nullptr, nullptr, nullptr, 0) == 0) return false;
  *value = v;
  return true;
}

bool HostClipGetFloat(HostCallContext* ctx, const char* key, float* value) {
  if (!g_host.clip_get_value) return false;
  intptr_t v = 0;
  float f = 0.f;
  if (g_host.clip_get_value(ctx, key, 0, &v, nullptr, &f, nullptr, 0) == 0) return false;
  *value = f;
  return true;
}

intptr_t HostScriptRun(HostCallContext* ctx, const char* text) {
  return g_host.script_run ? g_host.script_run(ctx, text) : 0;
}

LumetraObject HostObjectCreate(HostCallContext* ctx, const char* kind, const char* name,
                               const void* data) {
  return g_host.object_create ? g_host.object_create(ctx, kind, name, nullptr, data) : nullptr;
}

bool HostObjectAddField(HostCallContext* ctx, LumetraObject tmpl, const char* field_name,
                        const char* type_name, const void* address, int32_t count) {
  return g_host.object_add_field &&
         g_host.object_add_field(ctx, reinterpret_cast<LumetraTemplate>(tmpl), field_name,
                                type_name, address, count) != 0;
}

bool HostObjectSetValue(HostCallContext* ctx, LumetraObject object, const char* key,
                        intptr_t value, int32_t index) {
  return g_host.object_set_value &&
         g_host.object_set_value(ctx, object, key, value, index) != 0;
}

intptr_t HostObjectOperation(HostCallContext* ctx, LumetraObject object, const char* operation) {
  return g_host.object_operation ? g_host.object_operation(ctx, object, operation, nullptr) : 0;
}

intptr_t HostObjectComplete(HostCallContext* ctx, LumetraObject object) {
  return g_host.object_complete ? g_host.object_complete(ctx, object) : 0;
}

int32_t HostGeoGetCurves(HostCallContext* ctx, LumetraGeometry geometry, float time,
                         bool closed_only, intptr_t user, LumetraCurveCallback callback) {
  return g_host.geo_get_curves
             ? g_host.geo_get_curves(ctx, geometry, time, closed_only ? 1 : 0, user, callback)
             : 0;
}

int32_t HostGeoSubgeoGet(LumetraGeometry geometry, LumetraGeometry* members, int32_t capacity) {
  return g_host.v_geo_subgeo_get ? g_host.v_geo_subgeo_get(geometry, members, capacity) : 0;
}

bool HostIsInputAssigned(HostCallContext* ctx, int32_t input) {
  return g_host.is_input_assigned && g_host.is_input_assigned(ctx, input) != 0;
}

intptr_t HostRequestGetUserWord(HostCallContext* ctx) {
  return g_host.request_get_user_word ? g_host.request_get_user_word(ctx) : 0;
}

void HostRequestSetUserWord(HostCallContext* ctx, intptr_t word) {
  if (g_host.request_set_user_word) g_host.request_set_user_word(ctx, word);
}

int32_t HostErrorTextLength(HostCallContext* ctx) {
  return g_host.clip_get_error_text ? g_host.clip_get_error_text(ctx, nullptr, 0) : 0;
}

int32_t HostProjectFrameRate() {
  return g_host.project_frame_rate ? g_host.project_frame_rate() : 25;
}

bool HostGeoGetBBox(HostCallContext* ctx, LumetraGeometry geometry, float box[4], float time) {
  if (!g_host.geo_get_bbox) return false;
  g_host.geo_get_bbox(ctx, geometry, box, time);
  return true;
}

PIC* HostPicPlaceInRect(const PIC* pic, const LumetraRectF& rect) {
  return g_host.pic_place_in_rect ? g_host.pic_place_in_rect(pic, &rect) : nullptr;
}

bool HostKeyfloatKeySet(KeyfloatKey** curve, float t, int8_t components, float x, float y,
                        float z) {
  return g_host.keyfloat_key_set && g_host.keyfloat_key_set(curve, t, components, x, y, z);
}

}  // namespace effects
