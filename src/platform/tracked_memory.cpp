// The recorded allocator: a map from each live block to its size and kind.
#include "platform/tracked_memory.h"

#include <cstdlib>
#include <mutex>
#include <unordered_map>

namespace lumetra::platform {
namespace {

struct Entry {
  std::size_t size;
  BlockKind kind;
};

struct Allocations {
  std::mutex mutex;
  std::unordered_map<const void*, Entry> blocks;
};

Allocations& Table() {
  static Allocations table;
  return table;
}

}  // namespace

void* TrackedAlloc(std::size_t size, BlockKind kind) {
  void* p = std::calloc(size == 0 ? 1 : size, 1);
  if (p == nullptr) return nullptr;
  Allocations& t = Table();
  try {
    std::lock_guard lock(t.mutex);
    t.blocks[p] = Entry{size, kind};
  } catch (...) {
    std::free(p);
    return nullptr;
  }
  return p;
}

bool TrackedRelease(void* block, BlockKind kind) {
  if (block == nullptr) return false;
  {
    Allocations& t = Table();
    std::lock_guard lock(t.mutex);
    auto it = t.blocks.find(block);
    if (it == t.blocks.end() || it->second.kind != kind) return false;
    t.blocks.erase(it);
  }
  std::free(block);
  return true;
}

std::size_t TrackedSize(const void* block, BlockKind kind) {
  if (block == nullptr) return 0;
  Allocations& t = Table();
  std::lock_guard lock(t.mutex);
  auto it = t.blocks.find(block);
  return it == t.blocks.end() || it->second.kind != kind ? 0 : it->second.size;
}

std::size_t TrackedCount(BlockKind kind) {
  Allocations& t = Table();
  std::lock_guard lock(t.mutex);
  std::size_t n = 0;
  for (const auto& [p, e] : t.blocks) n += e.kind == kind ? 1 : 0;
  return n;
}

}  // namespace lumetra::platform
