/* A small format library for the tests: uncompressed 32-bit TGA pictures (numbered files)
 * and PCM WAV sound, read and written, plus a probe effect whose format function exercises
 * host services and answers 1 when every step held (else the negative number of the step
 * that failed). Built by the test build only; it registers through the object protocol as
 * a real library does and includes nothing but the public header and the C library. */
#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lumetra/plugin.h"

static HostServiceTable host;

/* Files larger than this are not read. */
#define MAX_FILE_BYTES (256u * 1024u * 1024u)
#define TGA_HEADER 18u
#define WAV_HEADER 44u

/* ---- Bounded file reading ------------------------------------------------------------- */

typedef struct {
  unsigned char* data;
  size_t size;
} Bytes;

static int ReadAll(const char* path, Bytes* out) {
  FILE* f;
  long n;
  out->data = NULL;
  out->size = 0;
  f = fopen(path, "rb");
  if (f == NULL) return 0;
  if (fseek(f, 0, SEEK_END) != 0 || (n = ftell(f)) < 0 || (unsigned long)n > MAX_FILE_BYTES ||
      fseek(f, 0, SEEK_SET) != 0) {
    fclose(f);
    return 0;
  }
  out->data = (unsigned char*)malloc((size_t)n + 1);
  if (out->data == NULL || fread(out->data, 1, (size_t)n, f) != (size_t)n) {
    free(out->data);
    out->data = NULL;
    fclose(f);
    return 0;
  }
  out->size = (size_t)n;
  fclose(f);
  return 1;
}

static unsigned U16(const unsigned char* p) {
  return (unsigned)p[0] | (unsigned)p[1] << 8;
}
static unsigned long U32(const unsigned char* p) {
  return (unsigned long)U16(p) | (unsigned long)U16(p + 2) << 16;
}
static void Put16(unsigned char* p, unsigned v) {
  p[0] = (unsigned char)(v & 0xFFu);
  p[1] = (unsigned char)(v >> 8 & 0xFFu);
}
static void Put32(unsigned char* p, unsigned long v) {
  Put16(p, (unsigned)(v & 0xFFFFu));
  Put16(p + 2, (unsigned)(v >> 16 & 0xFFFFu));
}

/* ---- Writing beside the target, then rename ------------------------------------------- */

/* Writes the two parts to a unique temporary beside path (never following a link), then
 * renames it over path; a path that exists and is not a regular file is refused, an
 * existing file's mode kept. */
static int WriteFile(const char* path, const unsigned char* head, size_t head_size,
                     const unsigned char* body, size_t body_size) {
  static unsigned counter;
  struct stat st;
  char* tmp;
  int fd;
  int ok;
  mode_t mode = 0644;
  if (lstat(path, &st) == 0) {
    if (!S_ISREG(st.st_mode)) return 0;
    mode = st.st_mode & 07777;
  }
  tmp = (char*)malloc(strlen(path) + 32);
  if (tmp == NULL) return 0;
  sprintf(tmp, "%s.%ld.%u.tmp", path, (long)getpid(), ++counter);
  fd = open(tmp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
  if (fd < 0) {
    free(tmp);
    return 0;
  }
  ok = fchmod(fd, mode) == 0;
  ok = ok && write(fd, head, head_size) == (ssize_t)head_size;
  ok = ok && (body_size == 0 || write(fd, body, body_size) == (ssize_t)body_size);
  ok = close(fd) == 0 && ok;
  ok = ok && rename(tmp, path) == 0;
  if (!ok) unlink(tmp);
  free(tmp);
  return ok;
}

/* ---- TGA ------------------------------------------------------------------------------ */

/* Uncompressed true colour, 32 bits, rows bottom-up: the picture layout exactly. */
static int TgaParse(const Bytes* b, unsigned* width, unsigned* height, size_t* offset) {
  if (b->size < TGA_HEADER) return 0;
  if (b->data[1] != 0 || b->data[2] != 2 || b->data[16] != 32) return 0;
  if ((b->data[17] & 0x20u) != 0) return 0; /* top-down origin: not written here */
  *width = U16(b->data + 12);
  *height = U16(b->data + 14);
  *offset = TGA_HEADER + b->data[0];
  if (*width == 0 || *height == 0 || *width > 32767u || *height > 32767u) return 0;
  return b->size >= *offset && (b->size - *offset) / 4u / *width >= *height;
}

static PIC* TgaLoad(HostCallContext* ctx, const char* file_name, const char* layer, int32_t frame) {
  Bytes b;
  unsigned w, h;
  size_t offset;
  PIC* pic;
  (void)layer;
  (void)frame;
  if (!ReadAll(file_name, &b)) {
    host.ClipReportError(ctx, "Can't open file");
    return NULL;
  }
  if (!TgaParse(&b, &w, &h, &offset)) {
    free(b.data);
    host.ClipReportError(ctx, "Not a 32-bit TGA file");
    return NULL;
  }
  pic = host.PicCreate((int32_t)w, (int32_t)h);
  if (pic != NULL) memcpy(pic->pixels, b.data + offset, (size_t)w * h * 4u);
  free(b.data);
  return pic;
}

static int32_t TgaInfo(HostCallContext* ctx, const char* file_name, void* info, int32_t* first,
                       int32_t* last, int32_t* width, int32_t* height, int32_t* bpp,
                       int32_t* channels) {
  Bytes b;
  unsigned w, h;
  size_t offset;
  int ok;
  (void)ctx;
  (void)info;
  if (!ReadAll(file_name, &b)) return 0;
  ok = TgaParse(&b, &w, &h, &offset);
  free(b.data);
  if (!ok) return 0;
  if (first) *first = 0;
  if (last) *last = 0;
  if (width) *width = (int32_t)w;
  if (height) *height = (int32_t)h;
  if (bpp) *bpp = 32;
  if (channels) *channels = 4;
  return 1;
}

static int32_t TgaSave(HostCallContext* ctx, void* params, uintptr_t stream, const PIC* pic,
                       const char* file_name, const char* stream_name, int32_t frame) {
  unsigned char head[TGA_HEADER];
  (void)params;
  (void)stream;
  (void)stream_name;
  (void)frame;
  if (pic == NULL || pic->pixels == NULL || pic->width <= 0 || pic->height <= 0) {
    host.ClipReportError(ctx, "No picture");
    return 0;
  }
  memset(head, 0, sizeof head);
  head[2] = 2;
  Put16(head + 12, (unsigned)pic->width);
  Put16(head + 14, (unsigned)pic->height);
  head[16] = 32;
  head[17] = 8; /* alpha bits */
  if (!WriteFile(file_name, head, sizeof head, pic->pixels,
                 (size_t)pic->width * (size_t)pic->height * 4u)) {
    host.ClipReportError(ctx, "Can't write file");
    return 0;
  }
  return 1;
}

/* ---- WAV ------------------------------------------------------------------------------ */

typedef struct {
  unsigned channels, rate, bits;
  size_t data_offset, data_size;
} WavInfo;

/* Walks the chunks, each bounded by the file: "fmt " (PCM) and "data". */
static int WavParse(const Bytes* b, WavInfo* w) {
  size_t pos = 12;
  int have_fmt = 0;
  if (b->size < 12 || memcmp(b->data, "RIFF", 4) != 0 || memcmp(b->data + 8, "WAVE", 4) != 0)
    return 0;
  while (b->size - pos >= 8) {
    unsigned long len = U32(b->data + pos + 4);
    const unsigned char* body = b->data + pos + 8;
    if (len > b->size - pos - 8) len = (unsigned long)(b->size - pos - 8);
    if (memcmp(b->data + pos, "fmt ", 4) == 0 && len >= 16) {
      if (U16(body) != 1) return 0;
      w->channels = U16(body + 2);
      w->rate = (unsigned)U32(body + 4);
      w->bits = U16(body + 14);
      have_fmt = w->channels >= 1 && w->channels <= 8 && w->rate > 0 &&
                 (w->bits == 8 || w->bits == 16 || w->bits == 24 || w->bits == 32);
    } else if (memcmp(b->data + pos, "data", 4) == 0 && have_fmt) {
      w->data_offset = pos + 8;
      w->data_size = len;
      return 1;
    }
    pos += 8 + len + (len & 1u);
    if (pos > b->size) break;
  }
  return 0;
}

static SoundBlock* WavLoad(HostCallContext* ctx, const char* file_name, const char* layer,
                           float from, float to) {
  Bytes b;
  WavInfo w;
  SoundBlock* block;
  size_t frame_bytes, skip, avail, want;
  (void)layer;
  if (!ReadAll(file_name, &b)) {
    host.ClipReportError(ctx, "Can't open file");
    return NULL;
  }
  if (!WavParse(&b, &w) || !(from >= 0.0f) || !(to > from)) {
    free(b.data);
    host.ClipReportError(ctx, "Not a PCM WAV file");
    return NULL;
  }
  block = host.SoundCreate(from, to, (int32_t)w.rate, (int32_t)(w.bits / 8), (int32_t)w.channels);
  if (block == NULL) {
    free(b.data);
    host.ClipReportError(ctx, "No memory");
    return NULL;
  }
  frame_bytes = (size_t)w.channels * (w.bits / 8);
  skip = (size_t)(from * (float)w.rate + 0.0001f) * frame_bytes;
  avail = skip < w.data_size ? w.data_size - skip : 0;
  want = (size_t)block->samples * frame_bytes;
  memcpy(block->data, b.data + w.data_offset + skip, avail < want ? avail : want);
  free(b.data);
  return block;
}

static int32_t WavInfoFn(HostCallContext* ctx, const char* file_name, void* info, int32_t* first,
                         int32_t* last, int32_t* rate, int32_t* channels, int32_t* bits) {
  Bytes b;
  WavInfo w;
  int ok;
  (void)ctx;
  (void)info;
  if (!ReadAll(file_name, &b)) return 0;
  ok = WavParse(&b, &w);
  free(b.data);
  if (!ok) return 0;
  if (first) *first = 0;
  if (last) *last = (int32_t)(w.data_size / ((size_t)w.channels * (w.bits / 8)));
  if (rate) *rate = (int32_t)w.rate;
  if (channels) *channels = (int32_t)w.channels;
  if (bits) *bits = (int32_t)w.bits;
  return 1;
}

/* A sound output stream: the blocks' bytes gathered, written at finish. */
typedef struct {
  unsigned char* data;
  size_t size, capacity;
  unsigned channels, rate, bytes;
  char* path;
} WavStream;

static uintptr_t WavStart(HostCallContext* ctx, void* params) {
  WavStream* s = (WavStream*)calloc(1, sizeof *s);
  (void)params;
  if (s == NULL) host.ClipReportError(ctx, "No memory");
  return (uintptr_t)s;
}

static int32_t WavSave(HostCallContext* ctx, void* params, uintptr_t stream, const SoundBlock* sound,
                       const char* file_name, const char* stream_name, float time) {
  WavStream* s = (WavStream*)stream;
  size_t n;
  (void)params;
  (void)stream_name;
  (void)time;
  if (s == NULL || sound == NULL || file_name == NULL || sound->bytes < 1 || sound->bytes > 4 ||
      sound->channels < 1) {
    host.ClipReportError(ctx, "Bad sound stream");
    return 0;
  }
  if (s->path == NULL) {
    s->path = (char*)malloc(strlen(file_name) + 1);
    if (s->path == NULL) return 0;
    strcpy(s->path, file_name);
    s->channels = sound->channels;
    s->rate = sound->rate;
    s->bytes = sound->bytes;
  } else if (s->channels != sound->channels || s->rate != sound->rate || s->bytes != sound->bytes) {
    host.ClipReportError(ctx, "Sound format changed within the stream");
    return 0;
  }
  n = (size_t)sound->samples * sound->channels * sound->bytes;
  if (s->size + n > s->capacity) {
    size_t cap = (s->size + n) * 2;
    unsigned char* grown = (unsigned char*)realloc(s->data, cap);
    if (grown == NULL) return 0;
    s->data = grown;
    s->capacity = cap;
  }
  if (n > 0) memcpy(s->data + s->size, sound->data, n);
  s->size += n;
  return 1;
}

static int32_t WavFinish(HostCallContext* ctx, void* params, uintptr_t stream) {
  WavStream* s = (WavStream*)stream;
  unsigned char head[WAV_HEADER];
  int ok = 1;
  (void)params;
  if (s == NULL) return 0;
  if (s->path != NULL) {
    memcpy(head, "RIFF", 4);
    Put32(head + 4, (unsigned long)(36 + s->size));
    memcpy(head + 8, "WAVEfmt ", 8);
    Put32(head + 16, 16);
    Put16(head + 20, 1);
    Put16(head + 22, s->channels);
    Put32(head + 24, s->rate);
    Put32(head + 28, (unsigned long)s->rate * s->channels * s->bytes);
    Put16(head + 32, s->channels * s->bytes);
    Put16(head + 34, s->bytes * 8);
    memcpy(head + 36, "data", 4);
    Put32(head + 40, (unsigned long)s->size);
    ok = WriteFile(s->path, head, sizeof head, s->data, s->size);
    if (!ok) host.ClipReportError(ctx, "Can't write file");
  }
  free(s->data);
  free(s->path);
  free(s);
  return ok;
}

/* ---- The probe effect ----------------------------------------------------------------- */

static int32_t ProbeMemory(void) {
  unsigned char* p = (unsigned char*)host.MemoryAllocate(64);
  PIC* pic;
  void* rgb;
  int local = 0;
  if (p == NULL) return -1;
  if (p[0] != 0 || p[63] != 0) return -2; /* zeroed */
  memset(p, 0xAB, 64);
  host.MemoryRelease(p);
  host.MemoryRelease(&local); /* not the host's: refused, no crash */
  pic = host.PicCreate(3, 2);
  if (pic == NULL) return -3;
  rgb = host.PicToRgb24(pic);
  if (rgb == NULL) return -4;
  host.MemoryRelease(rgb); /* converted buffers go back the same way */
  host.PicFree(pic);
  return 1;
}

static int32_t ProbeErrors(HostCallContext* ctx) {
  char buffer[5];
  if (host.ClipReportError(ctx, "abcdefghij") != 1) return -1;
  if (host.ClipGetErrorText(ctx, buffer, (int32_t)sizeof buffer) != 10) return -2;
  if (strcmp(buffer, "abcd") != 0) return -3;
  if (host.ClipGetErrorText(ctx, buffer, 1) != 10 || buffer[0] != '\0') return -4;
  host.ClipReportError(ctx, NULL);
  if (host.ClipGetErrorText(ctx, buffer, (int32_t)sizeof buffer) != 0 || buffer[0] != '\0')
    return -5;
  return 1;
}

static int32_t ProbeSound(void) {
  SoundBlock* a = host.SoundCreate(0.0f, 1.0f, 1000, 2, 1);
  SoundBlock* b;
  SoundBlock* c;
  SoundBlock* d;
  if (a == NULL) return -1;
  if (a->samples != 1000 || a->rate != 1000 || a->channels != 1 || a->bytes != 2) return -2;
  ((int16_t*)(void*)a->data)[10] = 1000;
  b = host.SoundConvertBytes(a, 1);
  c = host.SoundConvertChannels(a, 2);
  d = host.SoundResample(a, 2000);
  if (b == NULL || b == a || b->bytes != 1) return -3;
  if (c == NULL || c == a || c->channels != 2) return -4;
  if (d == NULL || d == a || d->rate != 2000 || d->samples != 2000) return -5;
  if (host.SoundConvertBytes(a, 2) != a) return -6; /* already that width */
  if (host.SoundPlace(c, a, 0.0f) != 1) return -7;
  if (((int16_t*)(void*)c->data)[20] != 1000 || ((int16_t*)(void*)c->data)[21] != 1000) return -8;
  host.SoundFree(b);
  host.SoundFree(c);
  host.SoundFree(d);
  host.SoundFree(a);
  return 1;
}

/* Walks the input formats by name and checks that "TGA" finds ours. */
static int32_t ProbeFormats(void) {
  LumetraInputFormat f = host.InputFormatGetInfo(NULL, NULL, NULL, 0);
  LumetraInputFormat found = host.InputFormatFind("TGA");
  int seen = 0;
  char name[FORMAT_NAME_SIZE];
  char ext[FORMAT_NAME_SIZE];
  if (f == NULL || found == NULL) return -1;
  while (f != NULL) {
    LumetraInputFormat here = f;
    name[0] = '\0';
    f = host.InputFormatGetInfo(here, "Name", name, 0);
    if (here == found) {
      if (strcmp(name, "Targa test") != 0) return -2;
      host.InputFormatGetInfo(here, "Ext1", ext, 0);
      if (strcmp(ext, "tga") != 0) return -3;
      seen = 1;
    }
  }
  return seen ? 1 : -4;
}

static int32_t ProbeVersion(HostCallContext* ctx) {
  intptr_t value = 0;
  if (host.ClipGetValue(ctx, "version", 0, &value, NULL, NULL, NULL, 0) != 1) return -1;
  return value == LUMETRA_HOST_VERSION ? 1 : -2;
}

static int32_t Probe(HostCallContext* ctx, const char* which) {
  if (which == NULL) return 0;
  if (strcmp(which, "memory") == 0) return ProbeMemory();
  if (strcmp(which, "errors") == 0) return ProbeErrors(ctx);
  if (strcmp(which, "sound") == 0) return ProbeSound();
  if (strcmp(which, "formats") == 0) return ProbeFormats();
  if (strcmp(which, "version") == 0) return ProbeVersion(ctx);
  return 0;
}

/* ---- Registration --------------------------------------------------------------------- */

#define SET(object, key, value) ok = ok && host.ObjectSetValue(ctx, object, key, (intptr_t)(value), 0) != 0

static int32_t RegisterInput(HostCallContext* ctx) {
  LumetraObject tga = host.ObjectCreate(ctx, "InputFormat", "Targa test", NULL, NULL);
  LumetraObject wav = host.ObjectCreate(ctx, "InputFormat", "Wave test", NULL, NULL);
  int ok = tga != NULL && wav != NULL;
  SET(tga, "Version", 1);
  SET(tga, "Description", "Uncompressed 32-bit TGA");
  SET(tga, "Ext0", "vda");
  SET(tga, "Ext1", "tga");
  SET(tga, "Flags", 0x40); /* numbered files */
  SET(tga, "ImageLoaderFunction", TgaLoad);
  SET(tga, "ImageInformatorFunction", TgaInfo);
  SET(wav, "Version", 1);
  SET(wav, "Description", "PCM WAV");
  SET(wav, "Ext0", "wav");
  SET(wav, "SoundLoaderFunction", WavLoad);
  SET(wav, "SoundInformatorFunction", WavInfoFn);
  ok = ok && host.ObjectComplete(ctx, tga) != 0;
  ok = ok && host.ObjectComplete(ctx, wav) != 0;
  return ok;
}

static int32_t RegisterOutput(HostCallContext* ctx) {
  LumetraObject tga = host.ObjectCreate(ctx, "OutputFormat", "Targa test", NULL, NULL);
  LumetraObject wav = host.ObjectCreate(ctx, "OutputFormat", "Wave test", NULL, NULL);
  int ok = tga != NULL && wav != NULL;
  SET(tga, "Version", 1);
  SET(tga, "Ext", "tga");
  SET(tga, "Flags", 0x40);
  SET(tga, "ImageSaverFunction", TgaSave);
  SET(wav, "Version", 1);
  SET(wav, "Ext", "wav");
  SET(wav, "SoundStartFunction", WavStart);
  SET(wav, "SoundSaverFunction", WavSave);
  SET(wav, "SoundFinishFunction", WavFinish);
  ok = ok && host.ObjectComplete(ctx, tga) != 0;
  ok = ok && host.ObjectComplete(ctx, wav) != 0;
  return ok;
}

static int32_t RegisterProbe(HostCallContext* ctx) {
  LumetraObject probe = host.ObjectCreate(ctx, "effect", "Service probe 1.0 Test", NULL, NULL);
  int ok = probe != NULL;
  SET(probe, "Name", "Test/Service probe");
  SET(probe, "FormatFunction", Probe);
  SET(probe, "SpecialFlag", 1);
  return ok && host.ObjectComplete(ctx, probe) != 0;
}

LUMETRA_EXPORT int32_t ZOLT_GetLibInfo(HostCallContext* ctx, const HostServiceTable* table) {
  if (table == NULL) return 0;
  host = *table;
  return RegisterInput(ctx) && RegisterOutput(ctx) && RegisterProbe(ctx) ? 1 : 0;
}
