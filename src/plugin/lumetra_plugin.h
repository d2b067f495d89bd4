/* The plug-in interface: the one header shared by the host and every plug-in library.
 *
 * Plain C, fixed-width types. Words that may carry a pointer are pointer-sized
 * (uintptr_t / intptr_t); every function type is fully typed so that floats and integers
 * travel in their own registers. Functions return 1 for success and 0 for failure unless
 * a slot says otherwise; no exception crosses this boundary in either direction.
 */
#ifndef LUMETRA_PLUGIN_H
#define LUMETRA_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Keyframe curves -------------------------------------------------------------- */

/* One key of a curve. A curve is a pointer to its first key (null: the empty curve); the
 * owner of that pointer owns the whole list. Keys ascend by time. */
typedef struct KeyfloatKey {
  float time;
  float x, y, z;          /* value components; y and z used with 2 or 3 components */
  float tension, continuity, bias;
  float ease_from;        /* ease at the start of the segment leaving this key */
  float ease_to;          /* ease at the end of the segment arriving at this key */
  struct KeyfloatKey* next;
  struct KeyfloatKey* prev;
  int8_t components;      /* 1 to 3; the first key's count holds for the whole curve */
  uint8_t flags;          /* KEYFLOAT_FLAG_* */
} KeyfloatKey;

#define KEYFLOAT_FLAG_LOOP 0x01u
#define KEYFLOAT_FLAG_SELECTED 0x04u
#define KEYFLOAT_FLAG_X_SELECTED 0x08u
#define KEYFLOAT_FLAG_Y_SELECTED 0x10u
#define KEYFLOAT_FLAG_Z_SELECTED 0x20u

/* ---- Host call context and typed objects ------------------------------------------ */

/* Every call from the host into a library, and every host service, carries a context made
 * by the caller and zeroed before use. A library treats it as opaque and hands it back
 * unchanged. The word numbers are fixed; each word is pointer-sized. */
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

/* Field type codes of a template. Type names are matched without regard to case:
 *   "byte" -> 1; "word", "uint16", "short", "int16" -> 2; "dword", "uint32", "long",
 *   "int32" -> 3; "keyfloat", "anifloat" -> 6; "float" -> 9; "geometry" -> 10;
 *   "string" -> 11; "ALLOCBUF" -> 14; anything else -> 0 ("Unknown field type specified").
 * In the clip data block (the library's own C struct):
 *   byte: uint8_t; word: int16_t/uint16_t; dword: int32_t/uint32_t (never long); float: float;
 *   keyfloat: KeyfloatKey* (the block owns the curve); geometry: void* (the project owns it);
 *   string: char* (owned, from the host's allocation service);
 *   ALLOCBUF: void* to a block whose first uint32_t is its own size in bytes (owned, from
 *   the host's allocation service).
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

/* An object made or owned by the host (template, effect, format, geometry...). Opaque:
 * the library never reads through it. */
typedef void* LumetraObject;

/* Typed-object services. All run on the interface thread unless stated; errors are
 * reported as text on the context (read back with ClipGetErrorText) and the result is 0
 * or null. No service keeps a pointer to the caller's strings beyond the call unless
 * stated. */

/* kind: "template", "effect", "InputFormat", "OutputFormat", "vertex", "contour", "shape",
 * "kfColorControl" (any case). name: template name, effect signature (copied) or format
 * name. tmpl and data (both or neither): initial values applied by field name, and for
 * effects and formats the object is registered at once (null when that fails). For
 * "template", data is the base address of the library's prototype structure.
 * Result: the new object (host-owned), or null. */
typedef LumetraObject (*ObjectCreateFn)(HostCallContext* ctx, const char* kind, const char* name,
                                        LumetraObject tmpl, const void* data);

/* Appends a field to a template: its address inside the prototype structure, the type
 * name above and an element count (0 is taken as 1; negative refused). Result 1 or 0. */
typedef int32_t (*ObjectAddFieldFn)(HostCallContext* ctx, LumetraObject tmpl,
                                    const char* field_name, const char* type_name,
                                    const void* field_address, int32_t count);

/* Sets a key of an effect or format record. value carries an integer, pointer or handle;
 * index chooses an input format's extension slot (1 to 15), else 0. Result 1 when taken. */
typedef intptr_t (*ObjectSetValueFn)(HostCallContext* ctx, LumetraObject object, const char* key,
                                     intptr_t value, int32_t index);

/* Sets an object's values from a structure described by a template (a vertex's handle
 * vectors from "vx", "vy", "wx", "wy"); any other object is left unchanged. Result 1/0. */
typedef int32_t (*V_ObjectSetValueFn)(HostCallContext* ctx, LumetraObject object,
                                      LumetraObject tmpl, const void* data);

/* Registers an effect or format record built with ObjectCreate. Nonzero when registered. */
typedef intptr_t (*ObjectCompleteFn)(HostCallContext* ctx, LumetraObject object);

/* Applies a named operation ("delete", "attach", "link", "Optimize",
 * "NextSelectedGeometry", "NextSelectedContour"; any case) to an object (or none) with an
 * optional argument object. Result: the found object for the Next* operations, else 1/0. */
typedef intptr_t (*ObjectOperationFn)(HostCallContext* ctx, LumetraObject object,
                                      const char* operation, LumetraObject argument);

/* Reads the field of that name and type (FIELD_TYPE_DWORD or FIELD_TYPE_STRING) from the
 * template's prototype structure: a uint32_t into out (out_size >= 4), or the text cut to
 * out_size - 1 characters and terminated. Result 1 or 0. */
typedef int32_t (*TemplateGetPropertyFn)(LumetraObject tmpl, const char* name, int32_t type,
                                         void* out, int32_t out_size);

/* Writes a uint32_t (type 3, value is the number) or replaces the text (type 11, value is a
 * const char* copied by the host; the old text is freed when the host allocated it). */
typedef int32_t (*TemplateSetPropertyFn)(LumetraObject tmpl, const char* name, int32_t type,
                                         intptr_t value);

/* Clip data blocks by data descriptor: a zeroed block (null for size 0), a deep copy
 * (curves, strings and buffers duplicated; null on failure) and the release of a block and
 * everything its fields own. */
typedef void* (*DataCreateFn)(LumetraObject descriptor);
typedef void* (*DataCopyFn)(LumetraObject descriptor, const void* block);
typedef void (*DataFreeFn)(LumetraObject descriptor, void* block);

/* Reads a project or clip value by key (any case). Each out pointer may be null. index is
 * the input number for "clip_input_name". value: integers, frame numbers and pointers
 * ("clip_data"); word: a second integer ("rectangle" fills word[0..3]); fvalue: seconds,
 * aspects; text/text_size: names, cut to text_size - 1. Result 1 when answered. */
typedef int32_t (*ClipGetValueFn)(HostCallContext* ctx, const char* key, int32_t index,
                                  intptr_t* value, int32_t* word, float* fvalue, char* text,
                                  int32_t text_size);

/* ---- Pictures --------------------------------------------------------------------- */

/* A picture: width x height pixels of 4 bytes each, in memory order blue, green, red,
 * alpha (alpha is coverage: 255 covered, 0 empty). Rows are stored bottom-up (row 0 is the
 * bottom scan line) one after the other without padding: a row is width * 4 bytes.
 * x and y place the first column and the first row in frame coordinates (0 when new).
 *
 * Pictures are made and freed only through the host's picture services. Whoever receives
 * a picture from a service that makes one owns it and frees it with PicFree; a picture
 * from GetInputFrame stays the host's and goes back through FreeInputFrame. A picture
 * is not locked: only its owner touches it, on any thread. */
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


#ifdef __cplusplus
}
#endif

#endif /* LUMETRA_PLUGIN_H */
