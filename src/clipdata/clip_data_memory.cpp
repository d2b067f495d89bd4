// The recorded clip data allocator.
#include "clipdata/clip_data_memory.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace lumetra::project {
namespace {

struct Allocations {
  std::mutex mutex;
  std::unordered_map<const void*, std::size_t> sizes;
};

Allocations& Table() {
  static Allocations table;
  return table;
}

}  // namespace

void* ClipDataAlloc(std::size_t size) {
  void* p = std::calloc(size == 0 ? 1 : size, 1);
  if (p == nullptr) return nullptr;
  Allocations& t = Table();
  std::lock_guard lock(t.mutex);
  t.sizes[p] = size;
  return p;
}

bool ClipDataRelease(void* p) {
  if (p == nullptr) return false;
  {
    Allocations& t = Table();
    std::lock_guard lock(t.mutex);
    if (t.sizes.erase(p) == 0) return false;
  }
  std::free(p);
  return true;
}

std::size_t ClipDataAllocSize(const void* p) {
  if (p == nullptr) return 0;
  Allocations& t = Table();
  std::lock_guard lock(t.mutex);
  auto it = t.sizes.find(p);
  return it == t.sizes.end() ? 0 : it->second;
}

char* ClipDataStringDup(std::string_view text) {
  auto* copy = static_cast<char*>(ClipDataAlloc(text.size() + 1));
  if (copy != nullptr) std::memcpy(copy, text.data(), text.size());
  return copy;
}

}  // namespace lumetra::project
