// The clip data allocator: the host's recorded allocator, buffer kind.
#include "clipdata/clip_data_memory.h"

#include <cstring>

#include "platform/tracked_memory.h"

namespace lumetra::project {

void* ClipDataAlloc(std::size_t size) {
  return platform::TrackedAlloc(size);
}

bool ClipDataRelease(void* p) {
  return platform::TrackedRelease(p);
}

std::size_t ClipDataAllocSize(const void* p) {
  return platform::TrackedSize(p);
}

char* ClipDataStringDup(std::string_view text) {
  auto* copy = static_cast<char*>(ClipDataAlloc(text.size() + 1));
  if (copy != nullptr) std::memcpy(copy, text.data(), text.size());
  return copy;
}

}  // namespace lumetra::project
