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

/* ---- Host call context and typed objects ------------------------------------------ */

/* ---- Pictures --------------------------------------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* LUMETRA_PLUGIN_H */
