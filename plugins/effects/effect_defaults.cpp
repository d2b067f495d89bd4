// The defaults that the init functions of the shape and blur effects write into a new
// clip's data block: keys in normalised clip time, set through the host.
#include "blur_effects.h"
#include "effect_blocks.h"
#include "fill_effects.h"

namespace effects {
namespace {

KeyfloatKey* Key(KeyfloatKey** curve, float t, float x) {
  const auto set = Host().keyfloat_key_set;
  return set != nullptr ? set(curve, t, 1, x, 0.f, 0.f) : nullptr;
}

void Colour(KeyfloatKey** curve, float t, float r, float g, float b) {
  const auto set = Host().keyfloat_key_set;
  if (set != nullptr) set(curve, t, 3, r, g, b);
}

// A key whose continuity is 1: the curve turns sharply there.
void CornerKey(KeyfloatKey** curve, float t, float x) {
  KeyfloatKey* key = Key(curve, t, x);
  const auto access = Host().keyfloat_key_access;
  if (key == nullptr || access == nullptr) return;
  float continuity = 1.f;
  access(key, 1, nullptr, nullptr, nullptr, nullptr, &continuity, nullptr);
}

}  // namespace

int32_t BlurInit(HostCallContext*, void* data) {
  auto* d = static_cast<BlurData*>(data);
  Key(&d->Factor, 0.5f, 0.01f);
  return 1;
}

int32_t SpreadInit(HostCallContext*, void* data) {
  auto* d = static_cast<SpreadData*>(data);
  Key(&d->Length, 0.f, 0.1f);
  Key(&d->Direction, 0.f, 0.5f);
  Key(&d->Weight, 0.5f, 1.f);
  d->Method = 0;
  d->Flags = 0;
  return 1;
}

int32_t MotionBlurInit(HostCallContext*, void* data) {
  auto* d = static_cast<MotionBlurData*>(data);
  CornerKey(&d->f, 0.1f, 0.f);
  CornerKey(&d->f, 1.f, 1.f);
  CornerKey(&d->t, 0.f, 0.f);
  CornerKey(&d->t, 0.9f, 1.f);
  CornerKey(&d->opc, 0.f, 1.f);
  d->steps = 15.f;
  d->alignment = 0;
  d->flags = 0;
  return 1;
}

int32_t FillShapeInit(HostCallContext*, void* data) {
  auto* d = static_cast<FillShapeData*>(data);
  Colour(&d->clr, 0.5f, 0.f, 0.f, 1.f);
  Key(&d->a, 0.5f, 1.f);
  Key(&d->blur, 0.75f, 0.f);
  return 1;
}

int32_t FillShapeDropShadowInit(HostCallContext*, void* data) {
  auto* d = static_cast<FillShapeDropShadowData*>(data);
  Colour(&d->clr, 0.5f, 0.f, 0.f, 1.f);
  Key(&d->a, 0.5f, 1.f);
  Key(&d->blur, 0.75f, 0.f);
  Key(&d->sx, 0.7f, 0.5f);
  Key(&d->sy, 0.75f, 0.5f);
  Colour(&d->sclr, 0.5f, 0.f, 0.f, 0.f);
  Key(&d->sa, 0.25f, 0.f);
  Key(&d->sblur, 0.9f, 0.f);
  return 1;
}

int32_t MatteInit(HostCallContext*, void* data) {
  auto* d = static_cast<MatteData*>(data);
  Colour(&d->clr, 0.5f, 0.f, 0.f, 1.f);
  Key(&d->a, 0.5f, 1.f);
  return 1;
}

}  // namespace effects
