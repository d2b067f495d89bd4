// Process-wide project change flags; set by editors from any thread, read by the file commands.
#include "model/change_flags.h"

#include <atomic>

namespace lumetra::project {
namespace {
std::atomic<uint32_t> g_flags{0};
}

uint32_t ChangeFlags() {
  return g_flags.load();
}
void SetChangeFlags(uint32_t bits) {
  g_flags.fetch_or(bits);
}
void ClearChangeFlags() {
  g_flags.store(0);
}

}  // namespace lumetra::project
