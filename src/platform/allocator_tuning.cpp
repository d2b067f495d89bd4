#include "platform/allocator_tuning.h"

#include <cstdlib>  // defines __GLIBC__ with the C library's headers
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace lumetra::platform {

void TuneAllocatorForPictures() {
#if defined(__GLIBC__)
  // Pictures up to 32 MiB (4096 x 2048 BGRA) come from the heap, whose free memory is reused;
  // the heap gives memory back only past 256 MiB of free space at its top.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

}  // namespace lumetra::platform
