// Clip data blocks: a clip's parameters laid out by its process's template.
#pragma once

namespace lumetra::project {

struct Template;

// A new block for the template with its initial values; null for an empty template.
void* ClipDataCreate(const Template* tmpl);
// A deep copy (curves, strings and buffers duplicated); null for a null block.
void* ClipDataCopy(const Template* tmpl, const void* block);
// Frees the block and everything its fields own.
void ClipDataFree(const Template* tmpl, void* block);

}  // namespace lumetra::project
