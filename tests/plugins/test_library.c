/* A test library whose registration is chosen at build time (see CMakeLists.txt):
 * TEST_SIGNATURE, TEST_VERSION, TEST_LAYOUT (1 or 2 fields), TEST_ENTRY (the exported
 * entry's name), TEST_RESULT (what the entry answers after registering), TEST_INIT_RESULT
 * (what the init function answers), TEST_NO_ENTRY (export no entry at all). */
#include <string.h>

#include "lumetra/plugin.h"

#ifndef TEST_SIGNATURE
#define TEST_SIGNATURE "Mix 1.0 ZOLT Standard"
#endif
#ifndef TEST_VERSION
#define TEST_VERSION 1
#endif
#ifndef TEST_LAYOUT
#define TEST_LAYOUT 1
#endif
#ifndef TEST_INIT_RESULT
#define TEST_INIT_RESULT 1
#endif
#ifndef TEST_ENTRY
#define TEST_ENTRY ZOLT_GetLibInfo
#endif

typedef struct MixData {
  int32_t level;
#if TEST_LAYOUT == 2
  float balance;
#endif
} MixData;

#define TEST_EDIT_WINDOW ((LumetraWindow)0x5EED)

static HostServiceTable host;

static int32_t MixInit(HostCallContext* ctx, void* data) {
  (void)ctx;
  ((MixData*)data)->level = 7;
  return TEST_INIT_RESULT;
}

static LumetraWindow MixEdit(HostCallContext* ctx, void* data) {
  (void)ctx;
  (void)data;
  return TEST_EDIT_WINDOW;
}

static int32_t Register(HostCallContext* ctx) {
  static MixData proto;
  LumetraObject effect = host.ObjectCreate(ctx, "effect", TEST_SIGNATURE, NULL, NULL);
  LumetraTemplate tmpl = (LumetraTemplate)host.ObjectCreate(ctx, "template", "MixData", NULL, &proto);
  if (effect == NULL || tmpl == NULL) return 0;
  if (!host.ObjectAddField(ctx, tmpl, "level", "dword", &proto.level, 1)) return 0;
#if TEST_LAYOUT == 2
  if (!host.ObjectAddField(ctx, tmpl, "balance", "float", &proto.balance, 1)) return 0;
#endif
  host.ObjectSetValue(ctx, effect, "Name", (intptr_t) "Compositing/Mix", 0);
  host.ObjectSetValue(ctx, effect, "InitFunction", (intptr_t)MixInit, 0);
  host.ObjectSetValue(ctx, effect, "EditFunction", (intptr_t)MixEdit, 0);
  host.ObjectSetValue(ctx, effect, "InputsNumber", 2, 0);
  host.ObjectSetValue(ctx, effect, "PreviousTrackInput", 1, 0);
  host.ObjectSetValue(ctx, effect, "DisplayMode", 3, 0);
  host.ObjectSetValue(ctx, effect, "Version", TEST_VERSION, 0);
  host.ObjectSetValue(ctx, effect, "Data", (intptr_t)tmpl, 0);
  host.ObjectOperation(ctx, (LumetraObject)tmpl, "Delete", NULL);
  return host.ObjectComplete(ctx, effect) != 0 ? 1 : 0;
}

#ifndef TEST_NO_ENTRY
LUMETRA_EXPORT int32_t TEST_ENTRY(HostCallContext* ctx, const HostServiceTable* services);
LUMETRA_EXPORT int32_t TEST_ENTRY(HostCallContext* ctx, const HostServiceTable* services) {
  int32_t ok;
  memcpy(&host, services, sizeof host);
  ok = Register(ctx);
#ifdef TEST_RESULT
  (void)ok;
  return TEST_RESULT;
#else
  return ok;
#endif
}
#else
/* Something exported, but not an entry point. */
LUMETRA_EXPORT int32_t NotTheEntry(void);
LUMETRA_EXPORT int32_t NotTheEntry(void) {
  return Register(NULL);
}
#endif
