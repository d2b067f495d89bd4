// The host services the library uses, copied once out of the table the host hands to
// ZOLT_GetLibInfo. Each function here maps to exactly one slot; an empty slot answers
// failure. This is the only file that knows the table's layout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lumetra/plugin.h"

namespace effects {

inline constexpr int kHostServiceSlots = 105;

// The table as the host passes it: slot 0 first, untyped until a slot is copied.
using HostEntry = void (*)();
struct HostServiceTable {
  HostEntry slot[kHostServiceSlots];
};

enum HostSlot : int {
  kSlotGetInputFrame = 16,
  kSlotPicCopy = 17,
  kSlotClipReportError = 20,
  kSlotPicErrorText = 21,
  kSlotPicCreate = 23,
  kSlotPicFree = 27,
  kSlotGeoGetCurves = 28,
  kSlotCheckAbort = 30,
  kSlotMemoryAllocate = 31,
  kSlotMemoryRelease = 32,
  kSlotKeyfloatEvaluate = 33,
  kSlotKeyfloatKeySet = 34,
  kSlotV_GeoSubgeoGet = 40,
  kSlotIsInputAssigned = 52,
  kSlotRequestGetUserWord = 53,
  kSlotRequestSetUserWord = 54,
  kSlotClipGetErrorText = 55,
  kSlotFreeInputFrame = 56,
  kSlotProjectFrameRate = 70,
  kSlotClipGetValue = 79,
  kSlotKeyfloatKeyAccess = 81,
  kSlotObjectCreate = 90,
  kSlotObjectAddField = 91,
  kSlotObjectOperation = 92,
  kSlotObjectSetValue = 93,
  kSlotPicPlaceInRect = 97,
  kSlotScriptRun = 98,
  kSlotObjectComplete = 101,
  kSlotGeoGetBBox = 103,
};

using GetInputFrameFn = PIC* (*)(HostCallContext* ctx, int32_t input, float t);
using PicCopyFn = PIC* (*)(const PIC* pic);
using ClipReportErrorFn = int32_t (*)(HostCallContext* ctx, const char* text);
using PicErrorTextFn = const char* (*)();
using PicCreateFn = PIC* (*)(int32_t width, int32_t height);
using PicFreeFn = void (*)(PIC* pic);
using CheckAbortFn = int32_t (*)(HostCallContext* ctx, float progress);
using MemoryAllocateFn = void* (*)(size_t size);
using MemoryReleaseFn = void (*)(void* block);
using KeyfloatEvaluateFn = void (*)(const KeyfloatKey* first, float t, float* x, float* y,
                                    float* z);
using KeyfloatKeySetFn = KeyfloatKey* (*)(KeyfloatKey** first, float t, int8_t components,
                                          float x, float y, float z);
using FreeInputFrameFn = int32_t (*)(HostCallContext* ctx, PIC* pic);
using KeyfloatKeyAccessFn = float (*)(KeyfloatKey* key, int32_t write, float* x, float* y,
                                      float* z, float* tension, float* continuity, float* bias);
using ScriptRunFn = intptr_t (*)(HostCallContext* ctx, const char* text);
using GeoGetCurvesFn = int32_t (*)(HostCallContext* ctx, LumetraGeometry geometry, float time,
                                   int32_t closed_only, intptr_t user,
                                   LumetraCurveCallback callback);
using V_GeoSubgeoGetFn = int32_t (*)(LumetraGeometry geometry, LumetraGeometry* members,
                                     int32_t capacity);
using IsInputAssignedFn = int32_t (*)(HostCallContext* ctx, int32_t input);
using RequestGetUserWordFn = intptr_t (*)(HostCallContext* ctx);
using RequestSetUserWordFn = int32_t (*)(HostCallContext* ctx, intptr_t word);
using ClipGetErrorTextFn = int32_t (*)(HostCallContext* ctx, char* buffer, int32_t size);
using ProjectFrameRateFn = int32_t (*)();
using PicPlaceInRectFn = PIC* (*)(const PIC* pic, const LumetraRectF* rect);
using GeoGetBBoxFn = int32_t (*)(HostCallContext* ctx, LumetraGeometry geometry, float box[4],
                                 float time);

// The library's own copy of the entries. Written once by ZOLT_GetLibInfo before any effect
// is registered, read afterwards from any thread.
struct HostApi {
  GetInputFrameFn get_input_frame = nullptr;
  PicCopyFn pic_copy = nullptr;
  ClipReportErrorFn clip_report_error = nullptr;
  PicErrorTextFn pic_error_text = nullptr;
  PicCreateFn pic_create = nullptr;
  PicFreeFn pic_free = nullptr;
  CheckAbortFn check_abort = nullptr;
  MemoryAllocateFn memory_allocate = nullptr;
  MemoryReleaseFn memory_release = nullptr;
  KeyfloatEvaluateFn keyfloat_evaluate = nullptr;
  KeyfloatKeySetFn keyfloat_key_set = nullptr;
  FreeInputFrameFn free_input_frame = nullptr;
  ClipGetValueFn clip_get_value = nullptr;
  KeyfloatKeyAccessFn keyfloat_key_access = nullptr;
  ObjectCreateFn object_create = nullptr;
  ObjectAddFieldFn object_add_field = nullptr;
  ObjectOperationFn object_operation = nullptr;
  ObjectSetValueFn object_set_value = nullptr;
  ScriptRunFn script_run = nullptr;
  ObjectCompleteFn object_complete = nullptr;
  GeoGetCurvesFn geo_get_curves = nullptr;
  V_GeoSubgeoGetFn v_geo_subgeo_get = nullptr;
  IsInputAssignedFn is_input_assigned = nullptr;
  RequestGetUserWordFn request_get_user_word = nullptr;
  RequestSetUserWordFn request_set_user_word = nullptr;
  ClipGetErrorTextFn clip_get_error_text = nullptr;
  ProjectFrameRateFn project_frame_rate = nullptr;
  PicPlaceInRectFn pic_place_in_rect = nullptr;
  GeoGetBBoxFn geo_get_bbox = nullptr;
};

// Copies the entries the library uses; a null table leaves every entry empty.
void HostApiCopy(const HostServiceTable* table);
const HostApi& Host();

// Thin callers: an empty slot answers as a failed service would.
PIC* HostGetInputFrame(HostCallContext* ctx, int32_t input, float t);
PIC* HostPicCopy(const PIC* pic);
void HostReportError(HostCallContext* ctx, const char* text);
const char* HostPicErrorText();
PIC* HostPicCreate(int32_t width, int32_t height);
void HostPicFree(PIC* pic);
bool HostCheckAbort(HostCallContext* ctx, float progress);
// The first component of a curve at t; an empty slot or curve gives 0.
void HostKeyfloatEvaluate(const KeyfloatKey* curve, float t, float* x, float* y, float* z);
// Integer and float answers of ClipGetValue; false when not answered.
bool HostClipGetInt(HostCallContext* ctx, const char* key, intptr_t* value);
bool HostClipGetFloat(HostCallContext* ctx, const char* key, float* value);
intptr_t HostScriptRun(HostCallContext* ctx, const char* text);
LumetraObject HostObjectCreate(HostCallContext* ctx, const char* kind, const char* name,
                               const void* data);
bool HostObjectAddField(HostCallContext* ctx, LumetraObject tmpl, const char* field_name,
                        const char* type_name, const void* address, int32_t count);
bool HostObjectSetValue(HostCallContext* ctx, LumetraObject object, const char* key,
                        intptr_t value, int32_t index);
intptr_t HostObjectOperation(HostCallContext* ctx, LumetraObject object, const char* operation);
intptr_t HostObjectComplete(HostCallContext* ctx, LumetraObject object);
// Outline of a geometry as bezier segments; 0 for an empty slot.
int32_t HostGeoGetCurves(HostCallContext* ctx, LumetraGeometry geometry, float time,
                         bool closed_only, intptr_t user, LumetraCurveCallback callback);
// Members of a group (capacity 0 only counts); 0 for an empty slot.
int32_t HostGeoSubgeoGet(LumetraGeometry geometry, LumetraGeometry* members, int32_t capacity);
bool HostIsInputAssigned(HostCallContext* ctx, int32_t input);
intptr_t HostRequestGetUserWord(HostCallContext* ctx);
void HostRequestSetUserWord(HostCallContext* ctx, intptr_t word);
// Length of the context's error text (0: none, or the request was aborted).
int32_t HostErrorTextLength(HostCallContext* ctx);
// Frames per second of the project; 25 for an empty slot.
int32_t HostProjectFrameRate();
// Bounding box in the clip image's pixels; false (box untouched) for an empty slot.
bool HostGeoGetBBox(HostCallContext* ctx, LumetraGeometry geometry, float box[4], float time);
PIC* HostPicPlaceInRect(const PIC* pic, const LumetraRectF& rect);
// A new key of up to three components at normalised time t; false when not made.
bool HostKeyfloatKeySet(KeyfloatKey** curve, float t, int8_t components, float x, float y,
                        float z);

}  // namespace effects
