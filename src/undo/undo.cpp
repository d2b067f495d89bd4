// The process-wide undo store slot and its operations.
#include "undo/undo.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace lumetra::undo {
namespace {
std::unique_ptr<UndoStore> g_store;
}

UndoStore& Store() {
  if (!g_store) g_store = std::make_unique<UndoStore>();
  return *g_store;
}

std::unique_ptr<UndoStore> SetStore(std::unique_ptr<UndoStore> store) {
  std::swap(g_store, store);
  return store;
}

void UndoSave(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (n > 0) {
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, again);
    text.assign(buf.data(), static_cast<size_t>(n));
  }
  va_end(again);
  Store().Save(text);
}

int UndoGo(long offset) {
  return Store().Go(offset);
}
std::optional<std::string> UndoDescription(long offset) {
  return Store().Description(offset);
}
int UndoLevelsSet(int levels) {
  return Store().LevelsSet(levels);
}
int UndoClaimPrefix() {
  return Store().ClaimPrefix();
}
int UndoRecoverScan(bool recover) {
  return Store().RecoverScan(recover);
}
void UndoCleanFiles() {
  Store().CleanFiles();
}

}  // namespace lumetra::undo
