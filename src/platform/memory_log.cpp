// In-memory log bounded at 128 KiB, and the debug-log sink chosen by LUMETRA_DEBUG_LOG.
#include "platform/memory_log.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace lumetra::platform {
namespace {

std::mutex g_log_mutex;
std::string g_log;

}  // namespace

void LogStart() {
  std::lock_guard lock(g_log_mutex);
  g_log = "Lumetra is starting up...\n";
}

void LogAppend(std::string_view text) {
  std::lock_guard lock(g_log_mutex);
  g_log.append(text);
  g_log.push_back('\n');
  if (g_log.size() > kMemoryLogCapacity) g_log.erase(0, g_log.size() - kMemoryLogCapacity);
}

std::string LogText() {
  std::lock_guard lock(g_log_mutex);
  return g_log;
}

void DebugLog(std::string_view text) {
  static std::mutex sink_mutex;
  const char* target = std::getenv("LUMETRA_DEBUG_LOG");
  if (target == nullptr || *target == '\0') return;
  std::string_view line = text.substr(0, 256);
  std::lock_guard lock(sink_mutex);
  std::string_view name(target);
  if (name == "-" || name == "stderr") {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
    return;
  }
  if (std::FILE* f = std::fopen(target, "a")) {
    std::fprintf(f, "%.*s\n", static_cast<int>(line.size()), line.data());
    std::fclose(f);
  }
}

}  // namespace lumetra::platform
