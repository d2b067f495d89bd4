/* A minimal effect library: "Invert", one input, one animated strength curve. */
#include <string.h>

#include "lumetra/plugin.h"

/* The clip data block: the library's own struct, described to the host by a template. */
typedef struct InvertData {
  KeyfloatKey* strength; /* 0 leaves the input, 1 inverts it fully */
} InvertData;

/* Written once by ZOLT_GetLibInfo before any effect is registered, read-only afterwards. */
static HostServiceTable host;

static int32_t InvertInit(HostCallContext* ctx, void* data) {
  InvertData* d = (InvertData*)data;
  (void)ctx;
  return host.KeyfloatKeySet(&d->strength, 0.0f, 1, 1.0f, 0.0f, 0.0f) != NULL ? 1 : 0;
}

static PIC* InvertMake(HostCallContext* ctx, void* data, float start, float end, float time) {
  const InvertData* d = (const InvertData*)data;
  const PIC* in = host.GetInputFrame(ctx, 0, time);
  PIC* out;
  float nt = end > start ? (time - start) / (end - start) : 0.0f;
  float s = 0.0f;
  int32_t k, row;
  if (in == NULL) return NULL; /* not ready yet, or the error is already reported */
  host.KeyfloatEvaluate(d->strength, nt, &s, NULL, NULL);
  if (s < 0.0f) s = 0.0f;
  if (s > 1.0f) s = 1.0f;
  k = (int32_t)(s * 256.0f);
  out = host.PicCopy(in);
  if (out == NULL) {
    host.ClipReportError(ctx, host.PicErrorText());
    return NULL;
  }
  for (row = 0; row < out->height; ++row) {
    uint8_t* p = out->pixels + (size_t)row * (size_t)out->width * 4;
    int32_t i;
    for (i = 0; i < out->width * 4; ++i) {
      if ((i & 3) == 3) continue; /* alpha stays */
      p[i] = (uint8_t)((p[i] * (256 - k) + (255 - p[i]) * k) >> 8);
    }
    if (host.CheckAbort(ctx, out->height > 1 ? (float)row / (float)(out->height - 1) : 1.0f)) {
      host.PicFree(out);
      return NULL;
    }
  }
  return out;
}

static int32_t RegisterInvert(HostCallContext* ctx) {
  static InvertData proto;
  LumetraObject effect;
  LumetraTemplate tmpl;
  effect = host.ObjectCreate(ctx, "effect", "Invert 1.0 Example", NULL, NULL);
  tmpl = (LumetraTemplate)host.ObjectCreate(ctx, "template", "InvertData", NULL, &proto);
  if (effect == NULL || tmpl == NULL) return 0;
  if (!host.ObjectAddField(ctx, tmpl, "strength", "keyfloat", &proto.strength, 1)) return 0;
  host.ObjectSetValue(ctx, effect, "Name", (intptr_t) "Filtering/Invert", 0);
  host.ObjectSetValue(ctx, effect, "Comments", (intptr_t) "Inverts the input's colours", 0);
  host.ObjectSetValue(ctx, effect, "InitFunction", (intptr_t)InvertInit, 0);
  host.ObjectSetValue(ctx, effect, "MakeFunction", (intptr_t)InvertMake, 0);
  host.ObjectSetValue(ctx, effect, "InputsNumber", 1, 0);
  host.ObjectSetValue(ctx, effect, "PreviousTrackInput", 0, 0);
  host.ObjectSetValue(ctx, effect, "Data", (intptr_t)tmpl, 0);
  host.ObjectOperation(ctx, (LumetraObject)tmpl, "Delete", NULL);
  return host.ObjectComplete(ctx, effect) != 0 ? 1 : 0;
}

LUMETRA_EXPORT int32_t ZOLT_GetLibInfo(HostCallContext* ctx, const HostServiceTable* services) {
  intptr_t version = 0;
  memcpy(&host, services, sizeof host);
  if (!host.ClipGetValue(ctx, "version", 0, &version, NULL, NULL, NULL, 0) || version < 1000)
    return 0;
  return RegisterInvert(ctx);
}
