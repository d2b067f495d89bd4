// Host functions for keyframe curves: KeyfloatKeyAdd, KeyfloatDelete, KeyfloatCopy, KeyTime.
#include <algorithm>

#include "anim/keyfloat.h"
#include "model/model.h"
#include "model/render_lock.h"
#include "script/script_host_common.h"
#include "script/script_memory.h"

namespace lumetra::script::host {
namespace {

// Curves arrive as bare addresses; one that can never be a heap block (low page, not
// canonical) counts as no curve rather than being followed.
KeyfloatKey* AsCurve(uint64_t bits) {
  if (bits == 0 || !DefaultMemoryPolicy().Allows(bits, sizeof(KeyfloatKey), false)) return nullptr;
  return reinterpret_cast<KeyfloatKey*>(static_cast<uintptr_t>(bits));
}

// A keyfloat field of clip data reached through member access.
bool IsCurveField(const Value& v) {
  return v.type == kTypeKeyfloat && v.category == Category::kLvalue && v.in_clip_data &&
         v.address != 0;
}

KeyfloatKey** FieldOf(const Value& v) {
  return reinterpret_cast<KeyfloatKey**>(static_cast<uintptr_t>(v.address));
}

// After a field changed: the owning clip's render state, and its edit window when the
// editor's time lies within the clip.
void FieldChanged(ScriptCall& call, project::Clip* clip) {
  if (!ClipKnown(call, clip)) return;
  bool inside;
  {
    project::RenderLockGuard lock(project::RenderLock());
    inside = call.CurrentTime() >= clip->start && call.CurrentTime() < clip->end;
  }
  ClipChanged(clip, inside);
}

bool KeyfloatKeyAddFn(ScriptCall& call) {
  if (call.Count() < 3)
    return CountError(call, "%sKeyfloatKeyAdd() needs at least 3 parameters, %d parameter(s) specified");
  call.Return(Value::Pointer(kTypeKeyfloat, 0));
  if (!IsCurveField(call.Arg(0))) {
    call.Report("%ssillegal parameter 1 for KeyfloatKeyAdd().");
    return true;
  }
  // A key has at most three components; further arguments are ignored.
  const int components = static_cast<int>(std::min<std::size_t>(call.Count() - 2, 3));
  float time = call.Float(1, "%sillegal parameter 2 for KeyfloatKeyAdd().");
  float v[3] = {0.f, 0.f, 0.f};
  static constexpr const char* kMessages[3] = {"%sillegal parameter 3 for KeyfloatKeyAdd().",
                                               "%sillegal parameter 4 for KeyfloatKeyAdd().",
                                               "%sillegal parameter 5 for KeyfloatKeyAdd()."};
  for (int c = 0; c < components; ++c) v[c] = call.Float(2 + c, kMessages[c]);
  KeyfloatKey* key;
  {
    // Render threads read the clip's curves under the render lock.
    project::RenderLockGuard lock(project::RenderLock());
    key = anim::KeyfloatKeySet(FieldOf(call.Arg(0)), time, static_cast<int8_t>(components), v[0],
                               v[1], v[2]);
  }
  FieldChanged(call, call.Arg(0).clip);
  call.Return(Value::Pointer(kTypeKeyfloat, reinterpret_cast<uintptr_t>(key)));
  return true;
}

bool KeyfloatDeleteFn(ScriptCall& call) {
  if (call.Count() != 1)
    return CountError(call, "%sKeyfloatDelete() needs 1 parameters, %d parameter(s) specified");
  KeyfloatKey* curve = AsCurve(reinterpret_cast<uintptr_t>(
      call.Keyfloat(0, "%sillegal parameter 1 for KeyfloatDelete().")));
  call.Return(Value::Unsigned(0));
  if (curve == nullptr) return true;
  const Value& arg = call.Arg(0);
  if (IsCurveField(arg)) {
    {
      project::RenderLockGuard lock(project::RenderLock());
      KeyfloatKey** field = FieldOf(arg);
      anim::KeyfloatFree(*field);
      *field = nullptr;
    }
    FieldChanged(call, arg.clip);
  } else {
    anim::KeyfloatFree(curve);  // a copy the library owns
  }
  call.Return(Value::Unsigned(1));
  return true;
}

bool KeyfloatCopyFn(ScriptCall& call) {
  if (call.Count() != 1)
    return CountError(call, "%sKeyfloatCopy() needs 1 parameters, %d parameter(s) specified");
  KeyfloatKey* curve = AsCurve(call.Unsigned(0, "%sillegal parameter 1 for KeyfloatCopy()."));
  KeyfloatKey* copy = nullptr;
  if (curve != nullptr) {
    project::RenderLockGuard lock(project::RenderLock());
    copy = anim::KeyfloatCopy(curve);
  }
  call.Return(Value::Unsigned(reinterpret_cast<uintptr_t>(copy)));
  return true;
}

bool KeyTimeFn(ScriptCall& call) {
  if (call.Count() != 1)
    return CountError(call, "%sKeyTime() needs 1 parameters, %d parameter(s) specified");
  KeyfloatKey* curve = AsCurve(call.Unsigned(0, "%sillegal parameter 1 for KeyTime()."));
  float time = 0.f;
  if (curve != nullptr) {
    project::RenderLockGuard lock(project::RenderLock());
    time = curve->time;
  }
  call.Return(Value::Float(time));
  return true;
}

}  // namespace

void RegisterKeyFunctions(FunctionTable& table) {
  table.Add("KeyfloatKeyAdd", KeyfloatKeyAddFn);
  table.Add("KeyfloatDelete", KeyfloatDeleteFn);
  table.Add("KeyfloatCopy", KeyfloatCopyFn);
  table.Add("KeyTime", KeyTimeFn);
}

}  // namespace lumetra::script::host
