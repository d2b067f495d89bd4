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

#ifdef __cplusplus
}
#endif

#endif /* LUMETRA_PLUGIN_H */
