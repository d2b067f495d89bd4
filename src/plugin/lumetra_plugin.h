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
