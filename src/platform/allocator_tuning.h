// Allocator settings for a process that frees and makes frame-sized pictures all the time.
#pragma once

namespace lumetra::platform {

// Keeps freed picture memory in the process instead of handing it back to the system after
// every free: otherwise each new picture costs a page fault per 4 KiB touched. Call once,
// first thing in main; a no-op where the C library has no such settings.
void TuneAllocatorForPictures();

}  // namespace lumetra::platform
