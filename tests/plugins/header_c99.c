/* The plug-in header compiled alone as strict C99: a library needs nothing else. */
#include "lumetra/plugin.h"

/* Every handle kind is its own type: a C compiler refuses one for another. */
int32_t HeaderC99Check(const HostServiceTable* host, HostCallContext* ctx) {
  LumetraTemplate tmpl = (LumetraTemplate)host->ObjectCreate(ctx, "template", "t", NULL, NULL);
  return host->ObjectAddField(ctx, tmpl, "f", "float", NULL, 1);
}
