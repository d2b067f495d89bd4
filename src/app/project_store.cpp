// The store slot and the stand-in store that reports project files as unavailable.
#include "app/project_store.h"

namespace lumetra::app {
namespace {
constexpr const char* kUnsupported = "Project files are not supported yet.";
std::unique_ptr<ProjectStore> g_store;
}  // namespace

LoadResult UnavailableProjectStore::Load(const std::string&, uint32_t) {
  return {LoadStatus::kFailed, kUnsupported};
}
LoadResult UnavailableProjectStore::Merge(const std::string&) {
  return {LoadStatus::kFailed, kUnsupported};
}
SaveResult UnavailableProjectStore::Save(const std::string&) {
  return {SaveStatus::kWriteFailed, kUnsupported};
}

ProjectStore& Store() {
  if (!g_store) g_store = std::make_unique<UnavailableProjectStore>();
  return *g_store;
}

std::unique_ptr<ProjectStore> SetStore(std::unique_ptr<ProjectStore> store) {
  std::swap(g_store, store);
  return store;
}

}  // namespace lumetra::app
