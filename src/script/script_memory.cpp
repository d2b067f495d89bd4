// Memory policies for pointer casts.
#include "script/script_memory.h"

namespace lumetra::script {
namespace {

// Linux never maps the lowest 64 KiB; user space ends below 2^47 on x86-64.
constexpr uint64_t kLowestAddress = 0x10000;
constexpr uint64_t kAddressLimit = uint64_t{1} << 47;

std::mutex g_policy_mutex;
std::shared_ptr<const MemoryPolicy> g_policy;

}  // namespace

bool DefaultMemoryPolicy::Allows(uint64_t address, std::size_t size, bool) const {
  return address >= kLowestAddress && address < kAddressLimit && size <= kAddressLimit - address;
}

void AreaMemoryPolicy::AddArea(const void* begin, std::size_t size, bool writable) {
  std::lock_guard lock(mutex_);
  uint64_t b = reinterpret_cast<uintptr_t>(begin);
  areas_.push_back({b, b + size, writable});
}

bool AreaMemoryPolicy::Allows(uint64_t address, std::size_t size, bool write) const {
  std::lock_guard lock(mutex_);
  for (const Area& a : areas_) {
    if (address >= a.begin && address <= a.end && size <= a.end - address)
      return !write || a.writable;
  }
  return false;
}

std::shared_ptr<const MemoryPolicy> SetMemoryPolicy(std::shared_ptr<const MemoryPolicy> policy) {
  std::lock_guard lock(g_policy_mutex);
  std::swap(g_policy, policy);
  return policy;
}

std::shared_ptr<const MemoryPolicy> CurrentMemoryPolicy() {
  std::lock_guard lock(g_policy_mutex);
  if (!g_policy) g_policy = std::make_shared<DefaultMemoryPolicy>();
  return g_policy;
}

}  // namespace lumetra::script
