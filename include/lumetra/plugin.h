/* Lumetra plug-in interface: the whole contract between the host and a plug-in library.
 *
 * A plug-in library (a shared object with the extension ".ztl") includes only this header.
 * It exports one function, ZOLT_GetLibInfo, which the host calls once on the interface
 * thread with a registration context and the host service table. The library describes
 * its effects and file formats by building objects through the table's services, and
 * afterwards the host calls the library's functions (init, edit, make, ...) and the
 * library calls back through the table.
 *
 * Rules that hold everywhere below:
 * - Plain C, C calling convention, fixed-width types. A word that may carry a pointer is
 *   pointer-sized (uintptr_t / intptr_t); floats travel as float.
 * - Results: 1 (or a non-null pointer) for success, 0 (or null) for failure, unless a slot
 *   says otherwise. A failure's text is put on the call context; read it back with
 *   ClipGetErrorText. A null or foreign handle gives 0 and an error text, never a crash.
 * - No exception and no longjmp crosses this boundary in either direction.
 * - Ownership: the host owns every object, record, template and clip data block it hands
 *   out. Pictures and sound blocks that a service makes belong to the caller, who frees
 *   them with PicFree / SoundFree. Memory handed across goes through MemoryAllocate and
 *   MemoryRelease. Text arguments are read during the call only, unless a slot says so.
 * - Threads: "any thread" slots may be called from every thread, render threads included,
 *   at the same time. "Interface thread" slots only from the thread that called the
 *   library's registration, edit or format function. A make function runs on render
 *   threads, several at once, each with its own context: a library keeps its own shared
 *   state safe and uses no static scratch buffers.
 */
#ifndef LUMETRA_PLUGIN_H
#define LUMETRA_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

/* Version of this header. Bumped when a type or slot changes. */
#define LUMETRA_PLUGIN_HEADER_VERSION 1
/* What ClipGetValue answers for "version". A library that needs at least 1000 accepts it. */
#define LUMETRA_HOST_VERSION 1002

#if defined(_WIN32)
#define LUMETRA_EXPORT __declspec(dllexport)
#elif defined(__GNUC__)
#define LUMETRA_EXPORT __attribute__((visibility("default")))
#else
#define LUMETRA_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Handles -------------------------------------------------------------------------- */

/* Opaque handles, one type per kind of object, so that a compiler catches mixed-up
 * arguments. A library never reads through them. LumetraObject is what ObjectCreate and
 * ObjectOperation answer; cast it to the kind that was asked for. */
typedef struct LumetraObject_* LumetraObject;
typedef struct LumetraTemplate_* LumetraTemplate;         /* kind 15 */
typedef struct LumetraDescriptor_* LumetraDescriptor;     /* kind 18 */
typedef struct LumetraEffect_* LumetraEffect;             /* kind 19, an effect record */
typedef struct LumetraInputFormat_* LumetraInputFormat;   /* kind 20 */
typedef struct LumetraOutputFormat_* LumetraOutputFormat; /* kind 21 */
typedef struct LumetraGeometry_* LumetraGeometry;         /* kind 10 */
typedef struct LumetraProject_* LumetraProject;
typedef struct LumetraTrack_* LumetraTrack;
typedef struct LumetraMediaItem_* LumetraMediaItem;

/* Platform handles: a window, a bitmap, a drawing context. 0 is none. */
typedef uintptr_t LumetraWindow;
typedef uintptr_t LumetraBitmap;
typedef uintptr_t LumetraDrawContext;

/* Rectangles: left, top, right, bottom. */
typedef struct LumetraRect {
  int32_t left, top, right, bottom;
} LumetraRect;
typedef struct LumetraRectF {
  float left, top, right, bottom;
} LumetraRectF;

/* ---- Host call context ---------------------------------------------------------------- */

/* Every call from the host into a library, and every host service, carries a context made
 * by the caller and zeroed before use. A library treats it as opaque and hands it back
 * unchanged; it never makes one of its own for a service that needs a clip or a request.
 * The word numbers are fixed; each word is pointer-sized. */
#define HOST_CALL_CONTEXT_WORDS 16
typedef struct HostCallContext {
  uintptr_t word[HOST_CALL_CONTEXT_WORDS];
} HostCallContext;

/* Words in use. */
#define HCC_WORD_TAG 0            /* 17 in a registration context */
#define HCC_WORD_KIND 2           /* HCC_KIND_* */
#define HCC_WORD_ERROR_TEXT 3     /* host-owned copy of the last reported text (char*) */
#define HCC_WORD_RENDER_REQUEST 4 /* render request, kind 1 */
#define HCC_WORD_THREAD 5         /* render thread identifier, kind 1 */
#define HCC_WORD_CLIP 6           /* clip, kinds 2 and 4 */
#define HCC_WORD_MEDIA_ITEM 10    /* media item, kinds 32, 34, 40 */
#define HCC_WORD_OUTPUT 11        /* output settings, kind 64 */

/* Kinds of call (word 2). Registration is written as 16; services accept 16 and 17. */
#define HCC_KIND_RENDER 1
#define HCC_KIND_EDIT 2
#define HCC_KIND_CLIP 4
#define HCC_KIND_REGISTRATION 16
#define HCC_KIND_REGISTRATION_ALT 17
#define HCC_KIND_MEDIA_INFO 32
#define HCC_KIND_MEDIA_THUMBNAIL 34
#define HCC_KIND_MEDIA_QUERY 40
#define HCC_KIND_OUTPUT 64
#define HCC_REGISTRATION_TAG 17 /* word 0 of a registration context */

/* ---- Keyframe curves ------------------------------------------------------------------ */

/* One key of a curve. A curve is a pointer to its first key (null: the empty curve); the
 * clip data block that holds the pointer owns the whole list. Keys ascend by time.
 *
 * A library may read a key's fields and walk next/prev, but never links, unlinks, frees or
 * re-times keys itself, and never writes next, prev, time or the LOOP flag: it changes
 * curves only through KeyfloatKeySet and KeyfloatKeyAccess, and the host frees curves with
 * the data block. Render threads cache where they last evaluated a curve and rely on every
 * change of its structure going through the host. */
typedef struct KeyfloatKey {
  float time;
  float x, y, z; /* value components; y and z used with 2 or 3 components */
  float tension, continuity, bias;
  float ease_from; /* ease at the start of the segment leaving this key */
  float ease_to;   /* ease at the end of the segment arriving at this key */
  struct KeyfloatKey* next;
  struct KeyfloatKey* prev;
  int8_t components; /* 1 to 3; the first key's count holds for the whole curve */
  uint8_t flags;     /* KEYFLOAT_FLAG_* */
} KeyfloatKey;

#define KEYFLOAT_FLAG_LOOP 0x01u
#define KEYFLOAT_FLAG_SELECTED 0x04u
#define KEYFLOAT_FLAG_X_SELECTED 0x08u
#define KEYFLOAT_FLAG_Y_SELECTED 0x10u
#define KEYFLOAT_FLAG_Z_SELECTED 0x20u

/* ---- Templates and typed objects ------------------------------------------------------ */

/* Field type codes of a template. Type names are matched without regard to case:
 *   "byte" -> 1; "word", "uint16", "short", "int16" -> 2; "dword", "uint32", "long",
 *   "int32" -> 3; "keyfloat", "anifloat" -> 6; "float" -> 9; "geometry" -> 10;
 *   "string" -> 11; "ALLOCBUF" -> 14; anything else -> 0 ("Unknown field type specified").
 * In the clip data block (the library's own C struct):
 *   byte: uint8_t; word: int16_t/uint16_t; dword: int32_t/uint32_t (never long); float: float;
 *   keyfloat: KeyfloatKey* (the block owns the curve); geometry: LumetraGeometry (the project
 *   owns it); string: char* (owned, from MemoryAllocate); ALLOCBUF: void* to a block whose
 *   first uint32_t is its own size in bytes (owned, from MemoryAllocate).
 * The four pointer kinds are pointer-sized and must be pointer-aligned; field offsets are
 * taken from real addresses (offsetof / &proto.field). */
#define FIELD_TYPE_UNKNOWN 0
#define FIELD_TYPE_BYTE 1
#define FIELD_TYPE_WORD 2
#define FIELD_TYPE_DWORD 3
#define FIELD_TYPE_KEYFLOAT 6
#define FIELD_TYPE_FLOAT 9
#define FIELD_TYPE_GEOMETRY 10
#define FIELD_TYPE_STRING 11
#define FIELD_TYPE_ALLOCBUF 14

/* Every object the host hands to a library starts with a 32-bit kind tag. */
#define OBJECT_KIND_GEOMETRY 10
#define OBJECT_KIND_TEMPLATE 15
#define OBJECT_KIND_DATA_DESCRIPTOR 18
#define OBJECT_KIND_EFFECT 19
#define OBJECT_KIND_INPUT_FORMAT 20
#define OBJECT_KIND_OUTPUT_FORMAT 21

/* Effect record flags (not set by keys other than those named). */
#define EFFECT_FLAG_SOUND 0x02u   /* "SoundProcess" */
#define EFFECT_FLAG_VIRTUAL 0x04u /* made from a project file; no library provides it */
#define EFFECT_FLAG_HIDDEN 0x20u  /* "SpecialFlag": not offered in the effect chooser */

/* Texts copied into format records: room for 15 characters of an extension and 127 of a
 * name or description, plus the terminator. */
#define FORMAT_EXT_SIZE 16
#define FORMAT_NAME_SIZE 128
#define INPUT_FORMAT_EXT_SLOTS 16

/* ---- Pictures ------------------------------------------------------------------------- */

/* A picture: width x height pixels of 4 bytes each, in memory order blue, green, red,
 * alpha (alpha is coverage: 255 covered, 0 empty). Rows are stored bottom-up (row 0 is the
 * bottom scan line) one after the other without padding: a row is width * 4 bytes.
 * x and y place the first column and the first row in frame coordinates (0 when new).
 *
 * Pictures are made and freed only through the host's picture services. Whoever receives
 * a picture from a service that makes one owns it and frees it with PicFree; a picture
 * from GetInputFrame stays the host's and goes back through FreeInputFrame (or is left to
 * the request). A picture is not locked: only its owner touches it, on any thread. */
typedef struct PIC {
  int16_t x;
  int16_t y;
  int16_t width;   /* 1 to 32767 */
  int16_t height;  /* 1 to 32767 */
  uint8_t* pixels; /* width * height * 4 bytes, owned by the picture */
  float tag;       /* frame time of the request that made it; carried to derived pictures */
} PIC;

/* The per-thread picture error codes (PicErrorText gives their texts). Picture services
 * set only PIC_OK, PIC_ERROR_MEMORY and PIC_ERROR_NULL; the others are the vocabulary of
 * image file operations. */
#define PIC_ERROR_NO_INFO 0 /* the thread never set a code */
#define PIC_OK 1
#define PIC_ERROR_MEMORY 2
#define PIC_ERROR_BITMAP_CORRUPTED 3
#define PIC_ERROR_PIXEL_DEPTH 4
#define PIC_ERROR_FORMAT_TYPE 5
#define PIC_ERROR_FILE_OPEN 6
#define PIC_ERROR_NO_COLOR_MAP 7
#define PIC_ERROR_FILE_CREATE 8
#define PIC_ERROR_FILE_WRITE 9
#define PIC_ERROR_FILE_READ 10
#define PIC_ERROR_FORMAT_SPECIAL 11
#define PIC_ERROR_FORMAT_UNSUPPORTED 12
#define PIC_ERROR_NULL 13

/* Format flags of PicDraw's pixel buffer: bit 0 the PIC layout (32-bit); else bit 2
 * 24-bit blue, green, red; else 16-bit 555 words. Rows bottom-up without padding. */
#define PIC_DRAW_32BIT 0x01u
#define PIC_DRAW_24BIT 0x04u

/* ---- Sound ---------------------------------------------------------------------------- */

/* A block of interleaved PCM samples for the time span [start, end). samples is the number
 * of sample frames: trunc(end * rate + 0.0001) - trunc(start * rate + 0.0001). bytes per
 * sample: 1 (unsigned 8-bit, silence 128), 2 (signed 16-bit), 3 (24-bit little-endian),
 * 4 (signed 32-bit). data holds samples * channels * bytes bytes and belongs to the block.
 * Blocks are made and freed only through the sound services; whoever receives one owns it
 * and frees it with SoundFree. */
typedef struct SoundBlock {
  float start;       /* seconds */
  float end;         /* seconds */
  uint32_t samples;  /* sample frames */
  uint32_t rate;     /* samples per second */
  uint16_t channels; /* interleaved channels */
  uint16_t bytes;    /* bytes per sample, 1 to 4 */
  uint8_t* data;
} SoundBlock;

/* ---- Functions a library provides ----------------------------------------------------- */

/* Entry point. Exported as ZOLT_GetLibInfo (the host also accepts "ZOLT_GetLibInfo_" and
 * "_ZOLT_GetLibInfo", tried in that order). Called once, on the interface thread, before
 * any render thread starts, with a registration context (word 0 = 17, word 2 = 16, all
 * other words 0) and the host service table, which stays valid for the life of the process
 * and may be copied. Result: 1 or more for success, 0 or less for failure. */
#define LUMETRA_ENTRY_NAME "ZOLT_GetLibInfo"
#define LUMETRA_ENTRY_NAME_ALT1 "ZOLT_GetLibInfo_"
#define LUMETRA_ENTRY_NAME_ALT2 "_ZOLT_GetLibInfo"
struct HostServiceTable;
typedef int32_t (*ZOLT_GetLibInfoFn)(HostCallContext* ctx, const struct HostServiceTable* host);
LUMETRA_EXPORT int32_t ZOLT_GetLibInfo(HostCallContext* ctx, const struct HostServiceTable* host);

/* Effect functions ("InitFunction", "EditFunction", ...). Texts and functions named in a
 * record are not copied: a library stays loaded for the life of the process. */

/* Interface thread. Called when a clip is made, with word 6 = the new clip and its data
 * block (data size bytes, zeroed). Writes the defaults. Must return exactly 1; any other
 * result discards the clip. */
typedef int32_t (*LumetraInitFn)(HostCallContext* ctx, void* data);

/* Interface thread. Opens the effect's modeless edit dialog for the edit copy's data block
 * (context kind 2). Result: its window, kept with the edit session; 0 opens no session. */
typedef LumetraWindow (*LumetraEditFn)(HostCallContext* ctx, void* data);

/* Render threads, several at once. Makes the frame at time `time` of a clip spanning
 * [start, end] seconds (context kind 1). Result: a new picture that the host owns from then
 * on; null without a reported error means the inputs are not ready yet (the host calls
 * again), null after ClipReportError is a failure. */
typedef PIC* (*LumetraMakeFn)(HostCallContext* ctx, void* data, float start, float end,
                              float time);

/* Sound threads. The clip's sound for [start, end) seconds (word 6 = the clip) in the given
 * rate, bytes per sample and channels. Result: a block the caller owns, or null. */
typedef SoundBlock* (*LumetraMakeSoundFn)(HostCallContext* ctx, void* data, float start,
                                          float end, int32_t rate, int32_t bytes,
                                          int32_t channels);

/* Interface thread. Context kind 40 (word 10 = the media item). Nonzero when the effect can
 * make a clip from this media file. */
typedef int32_t (*LumetraFormatFn)(HostCallContext* ctx, const char* file_name);

/* Kept in the record; the host never calls it. */
typedef int32_t (*LumetraOnDeleteFn)(HostCallContext* ctx, void* data);

/* Input format functions ("ImageLoaderFunction", ...). `info` is the media item's
 * per-kind information block; its layout belongs to the format. Loaders may run on any
 * thread; browsers run on the host's service thread; the others on the interface thread.
 * Thumbnail buffers are width x height 16-bit 555 pixels from MemoryAllocate, released by
 * the host. */

/* Frame `frame` of the file (layer: the layer name, empty for none). A new picture the
 * caller owns, or null with the reason reported. */
typedef PIC* (*LumetraImageLoaderFn)(HostCallContext* ctx, const char* file_name,
                                     const char* layer, int32_t frame);
/* The file's sound from `from` to `to` seconds. A new block the caller owns, or null. */
typedef SoundBlock* (*LumetraSoundLoaderFn)(HostCallContext* ctx, const char* file_name,
                                            const char* layer, float from, float to);
/* Geometry read from the file into the project. The new top geometry, or null. */
typedef LumetraGeometry (*LumetraGeometryImportFn)(HostCallContext* ctx, const char* file_name,
                                                   LumetraProject project);
typedef uint16_t* (*LumetraImageBrowserFn)(HostCallContext* ctx, const char* file_name,
                                           void* info, int32_t frame, int32_t width,
                                           int32_t height);
/* Geometry, sound and story browsers. */
typedef uint16_t* (*LumetraBrowserFn)(HostCallContext* ctx, const char* file_name, void* info,
                                      int32_t width, int32_t height);
/* position: current frame / last frame. */
typedef uint16_t* (*LumetraMetaBrowserFn)(HostCallContext* ctx, const char* file_name,
                                          void* info, float position, int32_t width,
                                          int32_t height);
/* Name of layer `index` cut to size - 1 characters; 1 when that layer exists, else 0. */
typedef int32_t (*LumetraLayersEnumeratorFn)(HostCallContext* ctx, const char* file_name,
                                             int32_t index, char* name, int32_t size);
/* Context kind 32. Each out pointer may be null. Nonzero when it answered. */
typedef int32_t (*LumetraImageInformatorFn)(HostCallContext* ctx, const char* file_name,
                                            void* info, int32_t* first, int32_t* last,
                                            int32_t* width, int32_t* height,
                                            int32_t* bits_per_pixel, int32_t* channels);
typedef int32_t (*LumetraSoundInformatorFn)(HostCallContext* ctx, const char* file_name,
                                            void* info, int32_t* first, int32_t* last,
                                            int32_t* rate, int32_t* channels, int32_t* bits);
/* Geometry, story and meta informators. */
typedef int32_t (*LumetraInformatorFn)(HostCallContext* ctx, const char* file_name, void* info,
                                       int32_t* first, int32_t* last);
/* The format's own commands; the meaning of command and data is the format's. */
typedef intptr_t (*LumetraControllerFn)(HostCallContext* ctx, int32_t command, void* data);

/* Output format functions ("ImageSaverFunction", ...). Called on the interface thread
 * (images) or the sound render thread (sound) with the output session's context (kind 64,
 * word 11 = the output settings). `params` is the format's parameter block, laid out by its
 * "Parameters" template. `stream` is what the start function answered. Errors are reported
 * on the context. */
typedef uintptr_t (*LumetraStartFn)(HostCallContext* ctx, void* params);
/* Nonzero when the parameters are usable. */
typedef int32_t (*LumetraCheckFn)(HostCallContext* ctx, void* params);
/* Lets the user edit the parameters; nonzero when they were changed. */
typedef int32_t (*LumetraParametersFn)(HostCallContext* ctx, void* params, LumetraWindow parent);
typedef int32_t (*LumetraFinishFn)(HostCallContext* ctx, void* params, uintptr_t stream);
/* stream_name is "VideoStream". 1 on success. The picture stays the caller's. */
typedef int32_t (*LumetraImageSaverFn)(HostCallContext* ctx, void* params, uintptr_t stream,
                                       const PIC* picture, const char* file_name,
                                       const char* stream_name, int32_t frame);
/* stream_name is "AudioStream"; time: the block's start in seconds. 1 on success. */
typedef int32_t (*LumetraSoundSaverFn)(HostCallContext* ctx, void* params, uintptr_t stream,
                                       const SoundBlock* sound, const char* file_name,
                                       const char* stream_name, float time);
typedef int32_t (*LumetraGeometrySaverFn)(HostCallContext* ctx, void* params,
                                          const char* file_name, LumetraGeometry geometry);

/* ---- Host service types --------------------------------------------------------------- */

/* GeoGetCurves calls this once per bezier segment: P0 = (x0, y0), P1 = P0 + (vx, vy),
 * P2 = P3 + (wx, wy), P3 = (x1, y1), in the clip image's pixels. Returns 1 to go on. */
typedef int32_t (*LumetraCurveCallback)(intptr_t user, float x0, float y0, float vx, float vy,
                                        float x1, float y1, float wx, float wy);

/* A slot without a service: it writes "*** Nonexistant host function call ***" to the
 * status line and answers 0. */
typedef intptr_t (*LumetraUnassignedFn)(void);

typedef int32_t (*ClipInputNameFn)(HostCallContext* ctx, int32_t input, char* buffer,
                                   int32_t size);
typedef int32_t (*ClipContextFn)(HostCallContext* ctx);
typedef int32_t (*PicDeinterlaceFn)(PIC* pic, int32_t field);
typedef int32_t (*ClipTrackNameFn)(HostCallContext* ctx, char* buffer, int32_t size);
typedef int32_t (*ChooseInputDialogFn)(HostCallContext* ctx, int32_t input, const char* title);
typedef PIC* (*GetInputFrameFn)(HostCallContext* ctx, int32_t input, float time);
typedef PIC* (*PicCopyFn)(const PIC* pic);
typedef LumetraWindow (*CurveEditorCreateFn)(HostCallContext* ctx, LumetraWindow parent,
                                             const LumetraRect* rect);
typedef int32_t (*CurveEditorSetCurveFn)(LumetraWindow editor, KeyfloatKey** curve,
                                         int32_t components);
typedef int32_t (*ClipReportErrorFn)(HostCallContext* ctx, const char* text);
typedef const char* (*PicErrorTextFn)(void);
typedef PIC* (*PicCreateFn)(int32_t width, int32_t height);
typedef LumetraGeometry (*GeometryFindFn)(LumetraProject project, const char* name);
typedef int32_t (*FileDialogFn)(LumetraWindow parent, int32_t save, const char* title,
                                const char* filter, char* path, int32_t size);
typedef void (*PicFreeFn)(PIC* pic);
typedef int32_t (*GeoGetCurvesFn)(HostCallContext* ctx, LumetraGeometry geometry, float time,
                                  int32_t closed_only, intptr_t user,
                                  LumetraCurveCallback callback);
typedef int32_t (*ChooseGeometryDialogFn)(HostCallContext* ctx, LumetraGeometry* field);
typedef int32_t (*CheckAbortFn)(HostCallContext* ctx, float progress);
typedef void* (*MemoryAllocateFn)(size_t size);
typedef void (*MemoryReleaseFn)(void* block);
typedef void (*KeyfloatEvaluateFn)(const KeyfloatKey* first, float time, float* x, float* y,
                                   float* z);
typedef KeyfloatKey* (*KeyfloatKeySetFn)(KeyfloatKey** first, float time, int8_t components,
                                         float x, float y, float z);
typedef LumetraProject (*ProjectFrameFormatFn)(int32_t* width, int32_t* height, float* aspect);
typedef PIC* (*PicScaleFn)(const PIC* pic, int32_t width, int32_t height);
typedef float (*GeoDistanceFn)(HostCallContext* ctx, LumetraGeometry geometry, float time,
                               float x, float y);
typedef intptr_t (*CurveEditorMessageFn)(LumetraWindow editor, intptr_t word1, intptr_t word2);
typedef int32_t (*V_GeoSubgeoGetFn)(LumetraGeometry geometry, LumetraGeometry* members,
                                    int32_t capacity);
typedef intptr_t (*CurveEditorRangeFn)(LumetraWindow editor, float start, float end);
typedef int32_t (*ColorDialogFn)(LumetraWindow parent, float* red, float* green, float* blue);
typedef int32_t (*ValueDialogFn)(LumetraWindow parent, float* value0, float* value1,
                                 float* value2, int32_t choice);
typedef void (*PicDrawFn)(LumetraDrawContext dc, const LumetraRect* dest, const void* buffer,
                          int32_t width, int32_t height, uint32_t format,
                          const LumetraRect* source);
typedef LumetraGeometry (*ClipGeometryFieldFn)(HostCallContext* ctx, LumetraGeometry* field);
typedef LumetraGeometry (*ClipGeometryByFieldNameFn)(HostCallContext* ctx,
                                                     const char* field_name);
typedef int32_t (*GeometryNameFn)(LumetraGeometry geometry, char* buffer, int32_t size);
typedef LumetraEffect (*EffectCreateFn)(const char* signature);
typedef int32_t (*EffectRegisterFn)(HostCallContext* ctx, LumetraEffect effect);
typedef int32_t (*EffectSetValueFn)(HostCallContext* ctx, LumetraEffect effect, const char* key,
                                    intptr_t value);
typedef int32_t (*EffectAddFieldFn)(HostCallContext* ctx, LumetraEffect effect,
                                    const char* field_name, const char* type_name,
                                    uint32_t offset, int32_t count);
typedef int32_t (*IsInputAssignedFn)(HostCallContext* ctx, int32_t input);
typedef intptr_t (*RequestGetUserWordFn)(HostCallContext* ctx);
typedef int32_t (*RequestSetUserWordFn)(HostCallContext* ctx, intptr_t word);
typedef int32_t (*ClipGetErrorTextFn)(HostCallContext* ctx, char* buffer, int32_t size);
typedef int32_t (*FreeInputFrameFn)(HostCallContext* ctx, PIC* pic);
typedef LumetraInputFormat (*InputFormatGetInfoFn)(LumetraInputFormat format, const char* key,
                                                   void* out, int32_t index);
typedef void* (*MediaItemTakeBufferFn)(LumetraMediaItem item, int32_t request, int32_t* width,
                                       int32_t* height);
typedef LumetraInputFormat (*InputFormatFindFn)(const char* extension);
typedef int32_t (*MediaFileDialogFn)(LumetraWindow parent, char* directory, char* name,
                                     char* extension, int32_t size, int32_t* first,
                                     int32_t* last, float* sound_from, float* sound_to);
typedef uint16_t* (*PicToRgb555Fn)(const PIC* pic, int32_t width, int32_t height);
typedef PIC* (*PicDeinterlaceCopyFn)(const PIC* pic, int32_t field);
typedef int32_t (*ProjectFrameRateFn)(void);
typedef int32_t (*MediaFileNameDialogFn)(LumetraWindow parent, const char* title, char* path,
                                         int32_t size);
typedef LumetraWindow (*TextHelpWindowFn)(LumetraWindow parent, intptr_t word1, intptr_t word2,
                                          const char* text);
typedef SoundBlock* (*SoundCreateFn)(float start, float end, int32_t rate, int32_t bytes,
                                     int32_t channels);
typedef void (*SoundFreeFn)(SoundBlock* block);
typedef SoundBlock* (*SoundConvertFn)(SoundBlock* block, int32_t value);
typedef int32_t (*SoundPlaceFn)(SoundBlock* dest, const SoundBlock* source, float time);
typedef int32_t (*ClipGetValueFn)(HostCallContext* ctx, const char* key, int32_t index,
                                  intptr_t* value, int32_t* word, float* fvalue, char* text,
                                  int32_t text_size);
typedef KeyfloatKey* (*KeyfloatNearestKeyFn)(const KeyfloatKey* first, float time);
typedef float (*KeyfloatKeyAccessFn)(KeyfloatKey* key, int32_t write, float* x, float* y,
                                     float* z, float* tension, float* continuity, float* bias);
typedef int32_t (*DirectoryMenuDialogFn)(LumetraWindow parent, char* path, int32_t size);
typedef uint8_t* (*PicToRgb24Fn)(const PIC* pic);
typedef uint8_t* (*PicToRgb24ScaledFn)(const PIC* pic, int32_t width, int32_t height);
typedef LumetraObject (*ObjectCreateFn)(HostCallContext* ctx, const char* type_name,
                                        const char* name, LumetraTemplate tmpl,
                                        const void* data);
typedef int32_t (*ObjectAddFieldFn)(HostCallContext* ctx, LumetraTemplate tmpl,
                                    const char* field_name, const char* type_name,
                                    const void* field_address, int32_t count);
typedef intptr_t (*ObjectOperationFn)(HostCallContext* ctx, LumetraObject object,
                                      const char* operation, LumetraObject argument);
typedef intptr_t (*ObjectSetValueFn)(HostCallContext* ctx, LumetraObject object, const char* key,
                                     intptr_t value, int32_t index);
typedef intptr_t (*TrackCheckFn)(intptr_t word1, intptr_t word2, LumetraTrack track,
                                 intptr_t* out);
typedef intptr_t (*ListItemHelperFn)(LumetraWindow dialog, int32_t item, const char* key,
                                     intptr_t value1, intptr_t value2);
typedef PIC* (*PicPlaceInRectFn)(const PIC* pic, const LumetraRectF* rect);
typedef intptr_t (*ScriptRunFn)(HostCallContext* ctx, const char* script);

/* Functions of a library that scripts hand to the host as hexadecimal addresses. */
/* DialogChooseColor: called on the interface thread while the user changes the colour,
 * with the colour dialog's window and its current blue, green, red and fourth byte. */
typedef void (*LumetraColourChangedFn)(LumetraWindow dialog, uint8_t* bgra);
/* GeoMpairGetSplitting: one corresponding pair of straight segments in the clip's pixels,
 * A's start and end, then B's start and end. 1 goes on; anything else stops the walk. */
typedef int32_t (*LumetraMorphSegmentFn)(intptr_t user, float ax0, float ay0, float ax1,
                                         float ay1, float bx0, float by0, float bx1, float by1);
/* TranslateFileName: the destination buffer holds this many bytes, the NUL included. */
#define LUMETRA_SCRIPT_FILE_NAME_MAX 4096
typedef SoundBlock* (*GetInputSoundFn)(HostCallContext* ctx, int32_t input, float start,
                                       float end);
typedef int32_t (*V_ObjectSetValueFn)(HostCallContext* ctx, LumetraObject object,
                                      LumetraTemplate tmpl, const void* data);
typedef intptr_t (*ObjectCompleteFn)(HostCallContext* ctx, LumetraObject object);
typedef LumetraMediaItem (*MediaItemFromBlockFn)(HostCallContext* ctx, LumetraTemplate tmpl,
                                                 const void* block);
typedef int32_t (*GeoGetBBoxFn)(HostCallContext* ctx, LumetraGeometry geometry, float box[4],
                                float time);

/* ---- Host service table --------------------------------------------------------------- */

/* 105 function pointers, slot 0 first: the member for slot n sits at n pointers from the
 * start. Passed by address to ZOLT_GetLibInfo; valid for the life of the process; the
 * library may copy it. Every unassigned slot holds the stub above; slot 39 is NULL.
 * Context-taking services answer 0 (null) with an error text for a null context. */
#define HOST_SERVICE_COUNT 105
typedef struct HostServiceTable {
  /* 0. Any thread (takes the render lock). Name of the track connected to the input, cut to
   * size - 1 characters: 1; else 0 and an empty buffer. */
  ClipInputNameFn ClipInputName;
  /* 1. Unassigned. */
  LumetraUnassignedFn unassigned_1;
  /* 2. Interface thread, edit session. Applies a copy of the edit copy to the clip (posted)
   * and marks the project changed: 1; 0 and "Allocation error in ClipDataChanged". */
  ClipContextFn ClipDataChanged;
  /* 3. Interface thread, edit session. ClipDataChanged, then closes the session: 1 or 0. */
  ClipContextFn ClipEditOk;
  /* 4. Interface thread, edit session. Closes the session and puts the clip back: 1 or 0. */
  ClipContextFn ClipEditCancel;
  /* 5 to 12. Unassigned. */
  LumetraUnassignedFn unassigned_5;
  LumetraUnassignedFn unassigned_6;
  LumetraUnassignedFn unassigned_7;
  LumetraUnassignedFn unassigned_8;
  LumetraUnassignedFn unassigned_9;
  LumetraUnassignedFn unassigned_10;
  LumetraUnassignedFn unassigned_11;
  LumetraUnassignedFn unassigned_12;
  /* 13. Any thread. Rebuilds the rows of one parity (field 0 or 1) in place: 1; 0 with
   * PIC_ERROR_NULL for no picture. */
  PicDeinterlaceFn PicDeinterlace;
  /* 14. Any thread. Name of the clip's track, cut to size - 1 characters: 1, else 0. */
  ClipTrackNameFn ClipTrackName;
  /* 15. Interface thread. Lets the user connect the input: 1 when connected; 0 and
   * "Invalid input number #%d for clip." for an input the clip does not have. */
  ChooseInputDialogFn ChooseInputDialog;
  /* 16. Render threads, render context. The input's picture at `time` (seconds): owned by
   * the host, given back with FreeInputFrame or left to the request; null when the input
   * is not ready (the make function then returns null without an error) or on failure. */
  GetInputFrameFn GetInputFrame;
  /* 17. Any thread. A new picture the caller owns (header and pixels copied); null with
   * PIC_ERROR_NULL or PIC_ERROR_MEMORY. */
  PicCopyFn PicCopy;
  /* 18. Interface thread. A curve editor window inside parent at rect; 0 on failure. */
  CurveEditorCreateFn CurveEditorCreate;
  /* 19. Interface thread. Shows and edits *curve (the pointer stays valid while the editor
   * lives); 1, or 0 for no editor. */
  CurveEditorSetCurveFn CurveEditorSetCurve;
  /* 20. Any thread. Replaces the context's error text with a host-owned copy (null clears
   * it): 1; 0 for no context. */
  ClipReportErrorFn ClipReportError;
  /* 21. Any thread. Message of the calling thread's picture error code; static text. */
  PicErrorTextFn PicErrorText;
  /* 22. Unassigned. */
  LumetraUnassignedFn unassigned_22;
  /* 23. Any thread. A new zeroed picture (sides 1 to 32767) the caller owns; null with
   * PIC_ERROR_MEMORY. */
  PicCreateFn PicCreate;
  /* 24. Any thread. The project's geometry of that name, owned by the project; null. */
  GeometryFindFn GeometryFind;
  /* 25. Unassigned. */
  LumetraUnassignedFn unassigned_25;
  /* 26. Interface thread. Open (save 0) or save file dialog; the chosen path is written to
   * path (size bytes, read as the initial path): 1, or 0 when cancelled. */
  FileDialogFn FileDialog;
  /* 27. Any thread. Frees a picture the caller owns; null does nothing. Never for a picture
   * from GetInputFrame. */
  PicFreeFn PicFree;
  /* 28. Any thread (takes the geometry lock). Emits the outline at time as bezier segments
   * in the clip image's pixels: 1 when every callback returned 1, else the stopping value;
   * 0 for a geometry not in the context's project. The callback runs under the geometry
   * lock: it calls no service that takes the render lock. */
  GeoGetCurvesFn GeoGetCurves;
  /* 29. Interface thread. Lets the user assign a geometry to *field: 1; 0 and "Incorrect
   * field requested to assign geometry" for a field that is not one of the clip's. */
  ChooseGeometryDialogFn ChooseGeometryDialog;
  /* 30. Render threads. 1 when the current request was aborted or corrected (the reported
   * error is cleared): stop and return null. Else 0. progress (0 to 1) is ignored. */
  CheckAbortFn CheckAbort;
  /* 31. Any thread. A block of size bytes, null when memory runs out. Blocks that cross
   * the boundary (strings, ALLOCBUF fields, thumbnails) come from here. */
  MemoryAllocateFn MemoryAllocate;
  /* 32. Any thread. Releases a block from MemoryAllocate or a converted pixel buffer. */
  MemoryReleaseFn MemoryRelease;
  /* 33. Any thread, no lock. Values at time into the non-null outputs; 0, 0, 0 for the
   * empty curve. The curve must not change meanwhile (render from copies). */
  KeyfloatEvaluateFn KeyfloatEvaluate;
  /* 34. The thread that owns the block (init: interface thread). Inserts or updates the key
   * at time (components 1 to 3): that key, owned by the curve; null when memory runs out or
   * the time is invalid, the curve unchanged. May replace *first. */
  KeyfloatKeySetFn KeyfloatKeySet;
  /* 35. Any thread. The current project's preview frame size and pixel aspect into the
   * non-null outputs; the project, or null when there is none. */
  ProjectFrameFormatFn ProjectFrameFormat;
  /* 36. Any thread. A new nearest-neighbour scaled picture (sides 1 to 4096) the caller
   * owns; null with PIC_ERROR_NULL or PIC_ERROR_MEMORY. */
  PicScaleFn PicScale;
  /* 37. Any thread. Distance from (x, y) to the geometry in project frame units; 3e38 for
   * none or a foreign geometry. */
  GeoDistanceFn GeoDistanceFrame;
  /* 38. Interface thread. Sends message 0x46E with both words to the editor; its answer. */
  CurveEditorMessageFn CurveEditorMessage;
  /* 39. Always NULL. */
  LumetraUnassignedFn reserved_39;
  /* 40. Any thread (geometry lock). Up to capacity members of a group into members (owned by
   * the project), in member order; the member count. 0 for other kinds and foreign
   * geometries. capacity 0 only counts. */
  V_GeoSubgeoGetFn V_GeoSubgeoGet;
  /* 41. Interface thread. Sets the editor's time range from start and end in frames. */
  CurveEditorRangeFn CurveEditorRange;
  /* 42. Interface thread. Edits red, green, blue (0 to 1) in place through the colour
   * chooser: 1. */
  ColorDialogFn ColorDialog;
  /* 43. Interface thread. Edits the chosen value (0 to 2) in the value dialog: 1, or 0 when
   * cancelled. */
  ValueDialogFn ValueDialog;
  /* 44. Unassigned. */
  LumetraUnassignedFn unassigned_44;
  /* 45. Interface thread. Stretches the source rectangle of a bottom-up buffer (PIC_DRAW_*
   * format) onto the destination rectangle of dc; nothing for no buffer. */
  PicDrawFn PicDraw;
  /* 46. Any thread. The geometry of the clip's geometry field *field, owned by the
   * project; null when unassigned or gone. */
  ClipGeometryFieldFn ClipGeometryField;
  /* 47. Any thread. The geometry of the clip's geometry field of that name; null. */
  ClipGeometryByFieldNameFn ClipGeometryByFieldName;
  /* 48. Interface thread. A new unregistered effect record (previous-track input -1);
   * host-owned; null when memory runs out. */
  EffectCreateFn EffectCreate;
  /* 49. Interface thread. Registers the record under the version rules: 1 once it exists;
   * the record may be freed when an equal or newer one is registered already, so do not use
   * it afterwards. */
  EffectRegisterFn EffectRegister;
  /* 50. Interface thread. As ObjectSetValue on an effect record. */
  EffectSetValueFn EffectSetValue;
  /* 51. Interface thread. Adds a field at offset to the record's data layout: 1 or 0. */
  EffectAddFieldFn EffectAddField;
  /* 52. Any thread. 1 when the input is connected, else 0. */
  IsInputAssignedFn IsInputAssigned;
  /* 53. Render threads. The request's user word (0 when none). */
  RequestGetUserWordFn RequestGetUserWord;
  /* 54. Render threads. Sets the request's user word (nonzero keeps the request): 1. */
  RequestSetUserWordFn RequestSetUserWord;
  /* 55. Any thread. Length of the current error text, copied cut to size - 1 characters and
   * terminated; empty (0) when the request was aborted. */
  ClipGetErrorTextFn ClipGetErrorText;
  /* 56. Render threads. Gives back a picture from GetInputFrame: 1, or 0 when the picture
   * is not one of this request's inputs. */
  FreeInputFrameFn FreeInputFrame;
  /* 57. Any thread. The geometry's name cut to size - 1 characters: 1, else 0. */
  GeometryNameFn GeometryName;
  /* 58 to 60. Unassigned. */
  LumetraUnassignedFn unassigned_58;
  LumetraUnassignedFn unassigned_59;
  LumetraUnassignedFn unassigned_60;
  /* 61. Any thread. Null format: the first (newest) input format. Else copies the key's value
   * into out (texts up to FORMAT_NAME_SIZE bytes, numbers int32_t, functions one pointer)
   * and answers the next format, so that a caller walks the list. Formats are host-owned. */
  InputFormatGetInfoFn InputFormatGetInfo;
  /* 62. Unassigned. */
  LumetraUnassignedFn unassigned_62;
  /* 63. Interface thread. Takes the item's thumbnail buffer (released with MemoryRelease)
   * and frees the item; null, the buffer freed too, when the request numbers differ. */
  MediaItemTakeBufferFn MediaItemTakeBuffer;
  /* 64. Any thread. Loads an image through the input format of the file's extension: a
   * picture the caller owns; null and "Format not supported" or "No format loader". */
  LumetraImageLoaderFn LoadImage;
  /* 65. Any thread. Loads sound through the input format of the file's extension: a block
   * the caller owns; null and the format's message. */
  LumetraSoundLoaderFn LoadSound;
  /* 66. Any thread. The newest input format with that extension in one of its first four
   * slots (any case); host-owned; null. */
  InputFormatFindFn InputFormatFind;
  /* 67. Interface thread. Lets the user pick a media file: directory, name and extension
   * (size bytes each) and the frame and sound ranges into the non-null outputs: 1, or 0. */
  MediaFileDialogFn MediaFileDialog;
  /* 68. Any thread. A width x height 555 buffer (width up to 2560, height up to 2048),
   * released with MemoryRelease; null with PIC_ERROR_NULL or PIC_ERROR_MEMORY. */
  PicToRgb555Fn PicToRgb555Scaled;
  /* 69. Any thread. A new de-interlaced picture the caller owns; null with PIC_ERROR_NULL. */
  PicDeinterlaceCopyFn PicDeinterlaceCopy;
  /* 70. Any thread. Frames per second of the current project (25 without one). */
  ProjectFrameRateFn ProjectFrameRate;
  /* 71. Interface thread. Lets the user pick a media file name into path: 1, or 0. */
  MediaFileNameDialogFn MediaFileNameDialog;
  /* 72. Interface thread. A help window showing text (help mark-up); 0 on failure. */
  TextHelpWindowFn TextHelpWindow;
  /* 73. Any thread. A silent block the caller owns; null for a bad format or no memory. */
  SoundCreateFn SoundCreate;
  /* 74. Any thread. Frees a block and its data; null does nothing. */
  SoundFreeFn SoundFree;
  /* 75. Any thread. The block with that sample width (1 to 4): the same block when it has it
   * already, else a new one the caller owns (the source stays the caller's); null. */
  SoundConvertFn SoundConvertBytes;
  /* 76. Any thread. The same for a channel count. */
  SoundConvertFn SoundConvertChannels;
  /* 77. Any thread. The same for a sample rate. */
  SoundConvertFn SoundResample;
  /* 78. Any thread. Copies the overlapping part of source (starting at time seconds),
   * converted, into dest: 1 (also when nothing overlaps), 0 when a conversion failed. */
  SoundPlaceFn SoundPlace;
  /* 79. Any thread (takes the render lock). Answers a key (any case): "timebase",
   * "current_time", "rectangle", "version" (LUMETRA_HOST_VERSION), "language", "clip_from",
   * "clip_to", "clip_data", "clip_inputs", "image_width", "image_height", "image_aspect",
   * "clip_input_name" (index = input), "FullFileName" and the media keys. Each out pointer
   * may be null; texts cut to text_size - 1. 1 when answered, else 0. */
  ClipGetValueFn ClipGetValue;
  /* 80. Any thread, no lock. The key nearest to time (the earlier on a tie); null. */
  KeyfloatNearestKeyFn KeyfloatNearestKey;
  /* 81. As KeyfloatKeySet for writes, any thread for reads. Reads (write 0) into or writes
   * from every non-null pointer; the key time (0 for no key). */
  KeyfloatKeyAccessFn KeyfloatKeyAccess;
  /* 82. Interface thread. Runs the directory menu dialog on path: 1, or 0 when cancelled. */
  DirectoryMenuDialogFn DirectoryMenuDialog;
  /* 83 to 86. Unassigned. */
  LumetraUnassignedFn unassigned_83;
  LumetraUnassignedFn unassigned_84;
  LumetraUnassignedFn unassigned_85;
  LumetraUnassignedFn unassigned_86;
  /* 87. Any thread. As 68 with the aspect kept, centred, black margins. */
  PicToRgb555Fn PicToRgb555Fit;
  /* 88. Any thread. Blue, green, red per pixel at the picture's size, released with
   * MemoryRelease; null. */
  PicToRgb24Fn PicToRgb24;
  /* 89. Any thread. The same scaled to width x height (limits as 68). */
  PicToRgb24ScaledFn PicToRgb24Scaled;
  /* 90. Interface thread. A new object of type_name ("template", "effect", "InputFormat",
   * "OutputFormat", "vertex", "contour", "shape", "kfColorControl"; any case) named name
   * (copied). With tmpl and data, the fields are applied as keys and the object is
   * registered at once. Host-owned; null and a message ("Unknown object type '%s'", ...). */
  ObjectCreateFn ObjectCreate;
  /* 91. Interface thread. Appends a field at field_address (inside the template's base
   * structure) of type_name and count elements: 1; 0 and "No template specified", "No
   * field name specified", "No field type specified", "Unknown field type specified",
   * "Illegal field address specified" or "Memory allocation fails". */
  ObjectAddFieldFn ObjectAddField;
  /* 92. Interface thread. A named operation ("Delete" frees a template after use, "attach",
   * "link", "Optimize", "NextSelectedGeometry", "NextSelectedContour"): the found object
   * for the Next* operations, else 1 or 0. */
  ObjectOperationFn ObjectOperation;
  /* 93. Interface thread. Sets a key of an effect or format record (value: integer,
   * pointer or handle; index: an input format's extension slot 1 to 15, else 0): 1 when the
   * key was taken, else 0. Unknown effect keys answer 1, unknown format keys 0. */
  ObjectSetValueFn ObjectSetValue;
  /* 94. Interface thread. Answers word2; clears *out when the track no longer exists. */
  TrackCheckFn TrackCheck;
  /* 95. Interface thread. Sends an item ("ItemName" or "ItemType") to a list control. */
  ListItemHelperFn ListItemHelper;
  /* 96. Unassigned. */
  LumetraUnassignedFn unassigned_96;
  /* 97. Any thread. A new picture covering the rectangle, edge alpha scaled by coverage,
   * the caller owns it; null with PIC_ERROR_NULL or PIC_ERROR_MEMORY. */
  PicPlaceInRectFn PicPlaceInRect;
  /* 98. Any thread not holding the render lock (takes the script lock). Runs script text:
   * its result; 0 and "Script error" on failure. */
  ScriptRunFn ScriptRun;
  /* 99. Sound threads (takes the render lock). The input track's sound for [start, end) in
   * the context's format, a block the caller owns; null and a message ("Illegal
   * request", ...). */
  GetInputSoundFn GetInputSound;
  /* 100. Interface thread. Sets a vertex's handle vectors from the template fields "vx",
   * "vy", "wx", "wy" of data; any other object is left unchanged. 1 or 0. */
  V_ObjectSetValueFn V_ObjectSetValue;
  /* 101. Interface thread. Registers an effect or format record built with ObjectCreate:
   * nonzero when registered; 0 and "ObjectComplete: No object specified." or
   * "ObjectComplete: Unsupported object type.". */
  ObjectCompleteFn ObjectComplete;
  /* 102. Interface thread. A media item from a block described by tmpl ("Client",
   * "Caption", "FilePath", ...), released by the host when handed back; null and "No
   * memory". */
  MediaItemFromBlockFn MediaItemFromBlock;
  /* 103. Any thread. Bounding box (x0, y0, x1, y1) in the clip image's pixels: 1; the whole
   * image and 0 for a null or foreign geometry. */
  GeoGetBBoxFn GeoGetBBox;
  /* 104. Any thread. As 37 in the clip image's pixels. */
  GeoDistanceFn GeoDistance;
} HostServiceTable;

/* The slot number is the member's index: the table holds nothing but pointers. */
typedef char lumetra_host_service_table_is_105_pointers
    [sizeof(HostServiceTable) == HOST_SERVICE_COUNT * sizeof(LumetraUnassignedFn) ? 1 : -1];

#ifdef __cplusplus
}
#endif

#endif /* LUMETRA_PLUGIN_H */
