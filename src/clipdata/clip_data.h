// Clip data blocks: a clip's parameters laid out by its process's template.
//
// Blocks, and the strings and ALLOCBUF buffers in them, come from ClipDataAlloc
// (clip_data_memory.h). Keyfloat elements own their curves; geometry elements point at
// geometry the project owns.
#pragma once

#include "clipdata/template.h"

namespace lumetra::project {

// A new zeroed block for the template; null for an empty template.
void* ClipDataCreate(const Template* tmpl);
// A deep copy (curves, strings and buffers duplicated); null for a null block or on failure
// (the partial copy is freed).
void* ClipDataCopy(const Template* tmpl, const void* block);
// Frees the block and everything its fields own.
void ClipDataFree(const Template* tmpl, void* block);

// The same by data descriptor (the compiled template an effect or format record keeps).
void* DataCreate(const DataDescriptor* descriptor);
void* DataCopy(const DataDescriptor* descriptor, const void* block);
void DataFree(const DataDescriptor* descriptor, void* block);

}  // namespace lumetra::project
