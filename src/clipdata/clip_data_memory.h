// The host's allocator for clip data: blocks, strings and ALLOCBUF buffers.
//
// Every allocation is recorded with its size, so that copying or freeing a block checks a
// pointer against what the host really allocated instead of trusting the block's contents.
// The plug-in memory services, file readers and scripts allocate string and ALLOCBUF
// elements here.
#pragma once

#include <cstddef>
#include <string_view>

namespace lumetra::project {

// A zeroed allocation of size bytes (at least one), or null.
void* ClipDataAlloc(std::size_t size);
// Releases an allocation; false (and nothing freed) for a pointer not from ClipDataAlloc.
bool ClipDataRelease(void* p);
// The size of an allocation from ClipDataAlloc, 0 for any other pointer.
std::size_t ClipDataAllocSize(const void* p);
// A NUL-terminated copy of text from ClipDataAlloc, or null.
char* ClipDataStringDup(std::string_view text);

}  // namespace lumetra::project
