/* Output formats for the program's end-to-end tests and benchmarks:
 *   "ppm": one numbered binary PPM per frame (rows top-down, red, green, blue), written to a
 *          unique temporary beside the target and renamed, so no half-written frame ever
 *          has its final name. With LUMETRA_TEST_INTERRUPT_AT=N the process raises SIGINT
 *          while saving frame N (after writing it), as a user pressing Ctrl-C would.
 *   "null": numbered, writes nothing (the render pipeline alone, for benchmarks). */
#include <signal.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "lumetra/plugin.h"

static HostServiceTable host;

static int32_t Fail(HostCallContext* ctx, const char* text) {
  host.ClipReportError(ctx, text);
  return 0;
}

/* Writes to "<file>.tmp-" and six characters, created exclusively, then renames. */
static int32_t WritePpm(HostCallContext* ctx, const PIC* pic, const char* file) {
  /* Frames are saved on several threads at once. */
  static atomic_ulong counter;
  size_t n = strlen(file);
  char* tmp = (char*)malloc(n + 16);
  FILE* f = NULL;
  int attempt;
  int32_t x, y, ok;
  unsigned char* row;
  if (tmp == NULL) return Fail(ctx, "No memory");
  for (attempt = 0; attempt < 100 && f == NULL; ++attempt) {
    unsigned long v = (unsigned long)((atomic_fetch_add(&counter, 1) + 1) * 2654435761u) ^
                      (unsigned long)(size_t)tmp;
    sprintf(tmp, "%s.tmp-%06lx", file, v & 0xFFFFFFul);
    f = fopen(tmp, "wbx");
  }
  if (f == NULL) {
    free(tmp);
    return Fail(ctx, "Could not create the frame file");
  }
  row = (unsigned char*)malloc((size_t)pic->width * 3);
  ok = row != NULL && fprintf(f, "P6\n%d %d\n255\n", pic->width, pic->height) > 0;
  for (y = pic->height - 1; ok && y >= 0; --y) {
    const uint8_t* p = pic->pixels + (size_t)y * (size_t)pic->width * 4;
    for (x = 0; x < pic->width; ++x) {
      row[x * 3 + 0] = p[x * 4 + 2];
      row[x * 3 + 1] = p[x * 4 + 1];
      row[x * 3 + 2] = p[x * 4 + 0];
    }
    ok = fwrite(row, 3, (size_t)pic->width, f) == (size_t)pic->width;
  }
  free(row);
  if (fclose(f) != 0) ok = 0;
  if (ok) ok = rename(tmp, file) == 0;
  if (!ok) remove(tmp);
  free(tmp);
  return ok ? 1 : Fail(ctx, "Could not write the frame file");
}

static int32_t PpmSave(HostCallContext* ctx, void* params, uintptr_t stream, const PIC* pic,
                       const char* file, const char* stream_name, int32_t frame) {
  const char* at = getenv("LUMETRA_TEST_INTERRUPT_AT");
  int32_t ok;
  (void)params;
  (void)stream;
  (void)stream_name;
  ok = WritePpm(ctx, pic, file);
  if (at != NULL && atoi(at) == frame) raise(SIGINT);
  return ok;
}

static int32_t NullSave(HostCallContext* ctx, void* params, uintptr_t stream, const PIC* pic,
                        const char* file, const char* stream_name, int32_t frame) {
  (void)ctx;
  (void)params;
  (void)stream;
  (void)file;
  (void)stream_name;
  (void)frame;
  return pic != NULL ? 1 : 0;
}

static int32_t Register(HostCallContext* ctx, const char* name, const char* ext,
                        LumetraImageSaverFn saver) {
  LumetraObject f = host.ObjectCreate(ctx, "OutputFormat", name, NULL, NULL);
  if (f == NULL) return 0;
  host.ObjectSetValue(ctx, f, "Ext", (intptr_t)ext, 0);
  host.ObjectSetValue(ctx, f, "Flags", 0x40, 0);
  host.ObjectSetValue(ctx, f, "Version", 1, 0);
  host.ObjectSetValue(ctx, f, "ImageSaverFunction", (intptr_t)saver, 0);
  return host.ObjectComplete(ctx, f) != 0 ? 1 : 0;
}

LUMETRA_EXPORT int32_t ZOLT_GetLibInfo(HostCallContext* ctx, const HostServiceTable* services);
LUMETRA_EXPORT int32_t ZOLT_GetLibInfo(HostCallContext* ctx, const HostServiceTable* services) {
  memcpy(&host, services, sizeof host);
  return Register(ctx, "Test PPM", "ppm", PpmSave) && Register(ctx, "Test Null", "null", NullSave);
}
