// Recent file lists: move to top on reuse, keep eight.
#include "app/recent_files.h"

#include <algorithm>

#include "platform/format.h"

namespace lumetra::app {

void RecentList::Add(std::string_view path) {
  if (path.empty()) return;
  auto found = std::find(items_.begin(), items_.end(), path);
  if (found != items_.end()) items_.erase(found);
  items_.insert(items_.begin(), std::string(path));
  if (items_.size() > kCapacity) items_.resize(kCapacity);
}

bool RecentList::Contains(std::string_view path) const {
  return std::find(items_.begin(), items_.end(), path) != items_.end();
}

void RecentList::Remove(std::string_view path) {
  auto found = std::find(items_.begin(), items_.end(), path);
  if (found != items_.end()) items_.erase(found);
}

std::optional<std::string> RecentList::Select(std::size_t index) {
  if (index >= items_.size()) return std::nullopt;
  std::string path = items_[index];
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
  items_.insert(items_.begin(), path);
  return path;
}

std::string RecentList::MenuLabel(std::size_t index) const {
  if (index >= items_.size()) return {};
  return platform::Format("&%d.  %s", static_cast<int>(index + 1), items_[index].c_str());
}

}  // namespace lumetra::app
