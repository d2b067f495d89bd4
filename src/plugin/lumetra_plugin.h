/* The plug-in interface as the host's own code includes it: the one public header, so that
 * host and libraries share a single definition of every type. */
#ifndef LUMETRA_SRC_PLUGIN_H
#define LUMETRA_SRC_PLUGIN_H

#include "lumetra/plugin.h"

#endif /* LUMETRA_SRC_PLUGIN_H */
