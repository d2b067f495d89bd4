// Building an effect record's data layout field by field (the EffectAddField slot), the
// alternative to handing it a whole "Data" template.
#pragma once

#include <cstdint>

#include "clipdata/process_record.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

// Appends a field at offset to an unregistered record's data layout: 1, or 0 with the
// template's error text ("Unknown field type specified", ...). A registered record's layout
// no longer changes: clips are laid out by it.
int32_t EffectAddField(HostCallContext* ctx, ProcessRecord* record, const char* field_name,
                       const char* type_name, uint32_t offset, int32_t count);

}  // namespace lumetra::project
