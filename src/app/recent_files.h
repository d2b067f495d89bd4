// A most-recent-first list of up to eight file paths (recent projects, recent clipboards).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumetra::app {

class RecentList {
 public:
  static constexpr std::size_t kCapacity = 8;

  // Moves an existing entry (exact comparison: Linux paths are case-sensitive) to the top,
  // or puts a new one there and drops the eighth. Empty paths are ignored.
  void Add(std::string_view path);
  // Moves entry `index` (from 0) to the top and returns its path; nothing when out of range.
  std::optional<std::string> Select(std::size_t index);
  const std::vector<std::string>& Items() const { return items_; }
  bool Contains(std::string_view path) const;
  void Remove(std::string_view path);
  void Clear() { items_.clear(); }
  // Menu label "&%d.  %s" for entry `index` (numbered from 1).
  std::string MenuLabel(std::size_t index) const;

 private:
  std::vector<std::string> items_;
};

}  // namespace lumetra::app
