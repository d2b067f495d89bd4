// Processor count, physical memory (sysconf) and free disk space (statvfs).
#include "platform/system_info.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <thread>

namespace lumetra::platform {

int ProcessorCount() {
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

uint64_t PhysicalMemory() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

std::optional<uint64_t> FreeDiskSpace(const std::string& path) {
  struct statvfs st {};
  if (statvfs(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.f_bavail) * static_cast<uint64_t>(st.f_frsize);
}

}  // namespace lumetra::platform
