// The undo history list.
#include "undo/undo_history.h"

namespace lumetra::undo {

const UndoHistoryEntry* UndoHistory::At(long offset) const {
  if (entries_.empty()) return nullptr;
  if (offset < OldestOffset() || offset > NewestOffset()) return nullptr;
  return &entries_[static_cast<std::size_t>(static_cast<long>(current_) + offset)];
}

UndoHistoryEntry* UndoHistory::At(long offset) {
  return const_cast<UndoHistoryEntry*>(static_cast<const UndoHistory*>(this)->At(offset));
}

bool UndoHistory::Move(long offset) {
  if (At(offset) == nullptr) return false;
  current_ = static_cast<std::size_t>(static_cast<long>(current_) + offset);
  return true;
}

std::vector<int> UndoHistory::DropNewer() {
  std::vector<int> steps;
  while (HasNewer()) {
    steps.push_back(entries_.back().step);
    entries_.pop_back();
  }
  return steps;
}

void UndoHistory::Push(UndoHistoryEntry entry) {
  entries_.push_back(std::move(entry));
  current_ = entries_.size() - 1;
}

void UndoHistory::PushOldest(UndoHistoryEntry entry) {
  entries_.push_front(std::move(entry));
  if (entries_.size() > 1) ++current_;
}

void UndoHistory::Trim(int levels, int levels_in_ram) {
  std::size_t keep = static_cast<std::size_t>(levels < 0 ? 0 : levels) + 1;
  while (entries_.size() > keep) {
    entries_.pop_front();
    if (current_ > 0) --current_;
  }
  std::size_t n = entries_.size();
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t position = n - 1 - i;
    if (levels_in_ram <= 0 || position > static_cast<std::size_t>(levels_in_ram))
      entries_[i].copy.reset();
  }
}

void UndoHistory::Clear() {
  entries_.clear();
  current_ = 0;
}

}  // namespace lumetra::undo
