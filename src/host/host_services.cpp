// The host service table: the slot rows and the thin guarded wrappers they point at.
#include "host/host_services.h"

#include <array>
#include <cstring>
#include <new>

#include "host/service_guard.h"
#include "anim/keyfloat.h"
#include "clipdata/clip_data_memory.h"
#include "host/clip_get_value.h"
#include "host/context_clip.h"
#include "host/edit_session.h"
#include "host/effect_fields.h"
#include "host/geometry_services.h"
#include "host/object_error.h"
#include "host/plugin_registry.h"
#include "host/typed_object.h"
#include "model/project.h"
#include "model/render_lock.h"
#include "platform/format.h"
#include "platform/tracked_memory.h"
#include "platform/ui_host.h"

namespace lumetra::project {
namespace {

intptr_t Unassigned() {
  try {
    platform::Status(kUnassignedServiceText);
  } catch (...) {
  }
  return 0;
}

LumetraObject SvcObjectCreate(HostCallContext* ctx, const char* type_name, const char* name,
                              LumetraTemplate tmpl, const void* data) {
  return static_cast<LumetraObject>(ObjectCreate(ctx, type_name, name, tmpl, data));
}
int32_t SvcObjectAddField(HostCallContext* ctx, LumetraTemplate tmpl, const char* field_name,
                          const char* type_name, const void* field_address, int32_t count) {
  return ObjectAddField(ctx, tmpl, field_name, type_name, field_address, count);
}
intptr_t SvcObjectOperation(HostCallContext* ctx, LumetraObject object, const char* operation,
                            LumetraObject argument) {
  return ObjectOperation(ctx, object, operation, argument);
}
intptr_t SvcObjectSetValue(HostCallContext* ctx, LumetraObject object, const char* key,
                           intptr_t value, int32_t index) {
  return ObjectSetValue(ctx, object, key, value, index);
}
int32_t SvcV_ObjectSetValue(HostCallContext* ctx, LumetraObject object, LumetraTemplate tmpl,
                            const void* data) {
  return V_ObjectSetValue(ctx, object, tmpl, data);
}
intptr_t SvcObjectComplete(HostCallContext* ctx, LumetraObject object) {
  return ObjectComplete(ctx, object);
}
int32_t SvcClipGetValue(HostCallContext* ctx, const char* key, int32_t index, intptr_t* value,
                        int32_t* word, float* fvalue, char* text, int32_t text_size) {
  return ServiceGuard<int32_t>(ctx, [&] {
    return ClipGetValue(ctx, key, index, value, word, fvalue, text, text_size);
  });
}
void* SvcMemoryAllocate(size_t size) {
  return ClipDataAlloc(size);
}
// Strings, ALLOCBUF buffers, thumbnails and converted pixel buffers all come from the one
// recorded allocator; anything else is refused instead of freed.
void SvcMemoryRelease(void* block) {
  if (block == nullptr) return;
  if (ClipDataRelease(block)) return;
  try {
    platform::Status(kForeignBlockText);
  } catch (...) {
  }
}

// Copies text into a caller's buffer of size bytes, cut and terminated; false for no room.
bool CopyOut(std::string_view text, char* buffer, int32_t size) {
  if (buffer == nullptr || size <= 0) return false;
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size) - 1);
  if (n > 0) std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return true;
}

std::string_view TrackName(const Track& t) {
  return {t.name, strnlen(t.name, sizeof t.name)};
}

int32_t SvcClipInputName(HostCallContext* ctx, int32_t input, char* buffer, int32_t size) {
  return ServiceGuard<int32_t>(ctx, [&] {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    RenderLockGuard lock(RenderLock());
    const Clip* clip = ContextClip(ctx);
    if (clip == nullptr) {
      ObjectReportError(ctx, kNoClipText);
      return 0;
    }
    if (input < 0 || static_cast<std::size_t>(input) >= clip->inputs.size() ||
        clip->inputs[static_cast<std::size_t>(input)] == nullptr)
      return 0;
    return CopyOut(TrackName(*clip->inputs[static_cast<std::size_t>(input)]), buffer, size) ? 1 : 0;
  });
}

int32_t SvcClipTrackName(HostCallContext* ctx, char* buffer, int32_t size) {
  return ServiceGuard<int32_t>(ctx, [&] {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    RenderLockGuard lock(RenderLock());
    const Clip* clip = ContextClip(ctx);
    if (clip != nullptr && clip->edited_clip != nullptr) clip = clip->edited_clip;
    if (clip == nullptr || clip->track == nullptr) {
      ObjectReportError(ctx, kNoClipText);
      return 0;
    }
    return CopyOut(TrackName(*clip->track), buffer, size) ? 1 : 0;
  });
}

int32_t SvcIsInputAssigned(HostCallContext* ctx, int32_t input) {
  return ServiceGuard<int32_t>(ctx, [&] {
    RenderLockGuard lock(RenderLock());
    const Clip* clip = ContextClip(ctx);
    if (clip == nullptr) {
      ObjectReportError(ctx, kNoClipText);
      return 0;
    }
    return input >= 0 && static_cast<std::size_t>(input) < clip->inputs.size() &&
                   clip->inputs[static_cast<std::size_t>(input)] != nullptr
               ? 1
               : 0;
  });
}

LumetraProject SvcProjectFrameFormat(int32_t* width, int32_t* height, float* aspect) {
  return ServiceGuard<LumetraProject>(nullptr, [&]() -> LumetraProject {
    RenderLockGuard lock(RenderLock());
    Project* p = CurrentProject();
    if (p == nullptr) return nullptr;
    const DerivedValues d = ProjectDerivedValues();
    if (width != nullptr) *width = d.preview_width;
    if (height != nullptr) *height = d.preview_height;
    if (aspect != nullptr) *aspect = p->settings.pixel_aspect;
    return reinterpret_cast<LumetraProject>(p);
  });
}

int32_t SvcProjectFrameRate() {
  return ServiceGuard<int32_t>(nullptr, [] {
    RenderLockGuard lock(RenderLock());
    const Project* p = CurrentProject();
    return p != nullptr && p->settings.time_base > 0 ? p->settings.time_base : kTimeBaseDefault;
  });
}

intptr_t SvcTrackCheck(intptr_t, intptr_t word2, LumetraTrack track, intptr_t* out) {
  return ServiceGuard<intptr_t>(nullptr, [&] {
    RenderLockGuard lock(RenderLock());
    if (out != nullptr && !TrackIsKnown(reinterpret_cast<const Track*>(track))) *out = 0;
    return word2;
  });
}
LumetraEffect SvcEffectCreate(const char* signature) {
  return ServiceGuard<LumetraEffect>(nullptr, [&]() -> LumetraEffect {
    if (signature == nullptr || *signature == '\0') return nullptr;
    return reinterpret_cast<LumetraEffect>(EffectNew(signature));
  });
}
int32_t SvcEffectRegister(HostCallContext* ctx, LumetraEffect effect) {
  return ServiceGuard<int32_t>(ctx, [&] {
    return EffectRegister(ctx, reinterpret_cast<ProcessRecord*>(effect)) != nullptr ? 1 : 0;
  });
}
int32_t SvcEffectAddField(HostCallContext* ctx, LumetraEffect effect, const char* field_name,
                          const char* type_name, uint32_t offset, int32_t count) {
  return ServiceGuard<int32_t>(ctx, [&] {
    return EffectAddField(ctx, reinterpret_cast<ProcessRecord*>(effect), field_name, type_name,
                          offset, count);
  });
}
int32_t SvcEffectSetValue(HostCallContext* ctx, LumetraEffect effect, const char* key,
                          intptr_t value) {
  return static_cast<int32_t>(ObjectSetValue(ctx, effect, key, value, 0));
}

void SvcKeyfloatEvaluate(const KeyfloatKey* first, float time, float* x, float* y, float* z) {
  anim::KeyfloatEvaluate(first, time, x, y, z);
}
KeyfloatKey* SvcKeyfloatKeySet(KeyfloatKey** first, float time, int8_t components, float x,
                               float y, float z) {
  return ServiceGuard<KeyfloatKey*>(nullptr, [&] {
    return first != nullptr ? anim::KeyfloatKeySet(first, time, components, x, y, z) : nullptr;
  });
}

int32_t SvcClipDataChanged(HostCallContext* ctx) {
  return ServiceGuard<int32_t>(ctx, [&] { return ClipDataChanged(ctx); });
}
int32_t SvcClipEditOk(HostCallContext* ctx) {
  return ServiceGuard<int32_t>(ctx, [&] { return ClipEditOk(ctx); });
}
int32_t SvcClipEditCancel(HostCallContext* ctx) {
  return ServiceGuard<int32_t>(ctx, [&] { return ClipEditCancel(ctx); });
}

KeyfloatKey* SvcKeyfloatNearestKey(const KeyfloatKey* first, float time) {
  return ServiceGuard<KeyfloatKey*>(nullptr, [&] { return anim::KeyfloatNearestKey(first, time); });
}
float SvcKeyfloatKeyAccess(KeyfloatKey* key, int32_t write, float* x, float* y, float* z,
                           float* tension, float* continuity, float* bias) {
  return ServiceGuard<float>(nullptr, [&] {
    return anim::KeyfloatKeyAccess(key, write, x, y, z, tension, continuity, bias);
  });
}

template <typename Fn>
LumetraUnassignedFn S(Fn fn) {
  return HostServiceCast(fn);
}

std::array<HostServiceRow, HOST_SERVICE_COUNT>& Rows() {
  static std::array<HostServiceRow, HOST_SERVICE_COUNT> rows = {{
      {0, "ClipInputName", S(SvcClipInputName)},
      {1, "unassigned_1", nullptr},
      {2, "ClipDataChanged", S(SvcClipDataChanged)},
      {3, "ClipEditOk", S(SvcClipEditOk)},
      {4, "ClipEditCancel", S(SvcClipEditCancel)},
      {5, "unassigned_5", nullptr},
      {6, "unassigned_6", nullptr},
      {7, "unassigned_7", nullptr},
      {8, "unassigned_8", nullptr},
      {9, "unassigned_9", nullptr},
      {10, "unassigned_10", nullptr},
      {11, "unassigned_11", nullptr},
      {12, "unassigned_12", nullptr},
      {13, "PicDeinterlace", nullptr},
      {14, "ClipTrackName", S(SvcClipTrackName)},
      {15, "ChooseInputDialog", nullptr},
      {16, "GetInputFrame", nullptr},  // installed by the render engine
      {17, "PicCopy", nullptr},
      {18, "CurveEditorCreate", nullptr},
      {19, "CurveEditorSetCurve", nullptr},
      {20, "ClipReportError", S(ServiceClipReportError)},  // the render engine's in render calls
      {21, "PicErrorText", nullptr},
      {22, "unassigned_22", nullptr},
      {23, "PicCreate", nullptr},
      {24, "GeometryFind", S(SvcGeometryFind)},
      {25, "unassigned_25", nullptr},
      {26, "FileDialog", nullptr},
      {27, "PicFree", nullptr},
      {28, "GeoGetCurves", S(SvcGeoGetCurves)},
      {29, "ChooseGeometryDialog", nullptr},
      {30, "CheckAbort", nullptr},  // installed by the render engine
      {31, "MemoryAllocate", S(SvcMemoryAllocate)},
      {32, "MemoryRelease", S(SvcMemoryRelease)},
      {33, "KeyfloatEvaluate", S(SvcKeyfloatEvaluate)},
      {34, "KeyfloatKeySet", S(SvcKeyfloatKeySet)},
      {35, "ProjectFrameFormat", S(SvcProjectFrameFormat)},
      {36, "PicScale", nullptr},
      {37, "GeoDistanceFrame", S(SvcGeoDistanceFrame)},
      {38, "CurveEditorMessage", nullptr},
      {39, "reserved_39", nullptr},
      {40, "V_GeoSubgeoGet", S(SvcV_GeoSubgeoGet)},
      {41, "CurveEditorRange", nullptr},
      {42, "ColorDialog", nullptr},
      {43, "ValueDialog", nullptr},
      {44, "unassigned_44", nullptr},
      {45, "PicDraw", nullptr},
      {46, "ClipGeometryField", S(SvcClipGeometryField)},
      {47, "ClipGeometryByFieldName", S(SvcClipGeometryByFieldName)},
      {48, "EffectCreate", S(SvcEffectCreate)},
      {49, "EffectRegister", S(SvcEffectRegister)},
      {50, "EffectSetValue", S(SvcEffectSetValue)},
      {51, "EffectAddField", S(SvcEffectAddField)},
      {52, "IsInputAssigned", S(SvcIsInputAssigned)},
      {53, "RequestGetUserWord", nullptr},  // installed by the render engine
      {54, "RequestSetUserWord", nullptr},  // installed by the render engine
      {55, "ClipGetErrorText", S(ServiceClipGetErrorText)},
      {56, "FreeInputFrame", nullptr},  // installed by the render engine
      {57, "GeometryName", S(SvcGeometryName)},
      {58, "unassigned_58", nullptr},
      {59, "unassigned_59", nullptr},
      {60, "unassigned_60", nullptr},
      {61, "InputFormatGetInfo", nullptr},
      {62, "unassigned_62", nullptr},
      {63, "MediaItemTakeBuffer", nullptr},
      {64, "LoadImage", nullptr},
      {65, "LoadSound", nullptr},
      {66, "InputFormatFind", nullptr},
      {67, "MediaFileDialog", nullptr},
      {68, "PicToRgb555Scaled", nullptr},
      {69, "PicDeinterlaceCopy", nullptr},
      {70, "ProjectFrameRate", S(SvcProjectFrameRate)},
      {71, "MediaFileNameDialog", nullptr},
      {72, "TextHelpWindow", nullptr},
      {73, "SoundCreate", nullptr},
      {74, "SoundFree", nullptr},
      {75, "SoundConvertBytes", nullptr},
      {76, "SoundConvertChannels", nullptr},
      {77, "SoundResample", nullptr},
      {78, "SoundPlace", nullptr},
      {79, "ClipGetValue", S(SvcClipGetValue)},
      {80, "KeyfloatNearestKey", S(SvcKeyfloatNearestKey)},
      {81, "KeyfloatKeyAccess", S(SvcKeyfloatKeyAccess)},
      {82, "DirectoryMenuDialog", nullptr},
      {83, "unassigned_83", nullptr},
      {84, "unassigned_84", nullptr},
      {85, "unassigned_85", nullptr},
      {86, "unassigned_86", nullptr},
      {87, "PicToRgb555Fit", nullptr},
      {88, "PicToRgb24", nullptr},
      {89, "PicToRgb24Scaled", nullptr},
      {90, "ObjectCreate", S(SvcObjectCreate)},
      {91, "ObjectAddField", S(SvcObjectAddField)},
      {92, "ObjectOperation", S(SvcObjectOperation)},
      {93, "ObjectSetValue", S(SvcObjectSetValue)},
      {94, "TrackCheck", S(SvcTrackCheck)},
      {95, "ListItemHelper", nullptr},
      {96, "unassigned_96", nullptr},
      {97, "PicPlaceInRect", nullptr},
      {98, "ScriptRun", nullptr},
      {99, "GetInputSound", nullptr},
      {100, "V_ObjectSetValue", S(SvcV_ObjectSetValue)},
      {101, "ObjectComplete", S(SvcObjectComplete)},
      {102, "MediaItemFromBlock", nullptr},
      {103, "GeoGetBBox", S(SvcGeoGetBBox)},
      {104, "GeoDistance", S(SvcGeoDistance)},
  }};
  return rows;
}

}  // namespace

int32_t ServiceClipReportError(HostCallContext* ctx, const char* text) {
  if (ctx == nullptr) return 0;
  return ServiceGuard<int32_t>(ctx, [&] {
    if (text == nullptr) {
      ObjectClearError(ctx);
    } else {
      ObjectReportError(ctx, text);
    }
    return 1;
  });
}

int32_t ServiceClipGetErrorText(HostCallContext* ctx, char* buffer, int32_t size) {
  if (ctx == nullptr) return 0;
  std::string_view text = ObjectErrorText(ctx);
  if (buffer != nullptr && size > 0) {
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size) - 1);
    if (n > 0) std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  return static_cast<int32_t>(text.size());
}

std::span<const HostServiceRow> HostServiceRows() {
  return Rows();
}

namespace {

void WriteSlot(HostServiceTable& table, std::size_t slot, LumetraUnassignedFn fn) {
  static_assert(sizeof table == HOST_SERVICE_COUNT * sizeof fn);
  std::memcpy(reinterpret_cast<unsigned char*>(&table) + slot * sizeof fn, &fn, sizeof fn);
}

HostServiceTable& Table() {
  static HostServiceTable table = [] {
    HostServiceTable t;
    for (const HostServiceRow& row : Rows())
      WriteSlot(t, static_cast<std::size_t>(row.slot),
                row.service != nullptr ? row.service : &Unassigned);
    WriteSlot(t, kReservedSlot, nullptr);  // the one slot that holds nothing
    return t;
  }();
  return table;
}

}  // namespace

const HostServiceTable* HostServices() {
  return &Table();
}

bool HostServiceInstall(int32_t slot, LumetraUnassignedFn service) {
  if (slot < 0 || slot >= HOST_SERVICE_COUNT || slot == kReservedSlot || service == nullptr)
    return false;
  HostServiceTable& table = Table();
  Rows()[static_cast<std::size_t>(slot)].service = service;
  WriteSlot(table, static_cast<std::size_t>(slot), service);
  return true;
}

bool HostServiceAssigned(int32_t slot) {
  return slot >= 0 && slot < HOST_SERVICE_COUNT &&
         Rows()[static_cast<std::size_t>(slot)].service != nullptr;
}

}  // namespace lumetra::project
