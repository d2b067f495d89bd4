// Processor count, physical memory (sysconf) and free disk space (statvfs).
#include "platform/system_info.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
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

std::optional<uint64_t> ParseCgroupMemoryLimit(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  uint64_t value = 0;
  std::size_t digits = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
    if (value > (UINT64_MAX - 9) / 10) return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (digits == 0 || i != text.size() || value == 0) return std::nullopt;
  // cgroup v1 reports "no limit" as a huge page-rounded count.
  if (value >= (uint64_t{1} << 62)) return std::nullopt;
  return value;
}

std::optional<uint64_t> CgroupMemoryLimit() {
  for (const char* path : {"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory/memory.limit_in_bytes"}) {
    std::ifstream in(path);
    std::string text;
    if (in && std::getline(in, text)) return ParseCgroupMemoryLimit(text);
  }
  return std::nullopt;
}

std::optional<uint64_t> FreeDiskSpace(const std::string& path) {
  struct statvfs st {};
  if (statvfs(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.f_bavail) * static_cast<uint64_t>(st.f_frsize);
}

}  // namespace lumetra::platform
