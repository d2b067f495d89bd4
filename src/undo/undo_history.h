// The undo history: entries from the oldest state to the newest, one of them current (the
// ones after it are the redo branch).
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "model/project.h"

namespace lumetra::undo {

struct UndoHistoryEntry {
  std::string description;   // as given; "Unknown" is shown when it is empty
  int step = 0;              // number of this state's snapshot file
  project::ProjectPtr copy;  // full in-memory copy, or none
};

class UndoHistory {
 public:
  bool Empty() const { return entries_.empty(); }
  std::size_t Size() const { return entries_.size(); }
  bool HasOlder() const { return !entries_.empty() && current_ > 0; }
  bool HasNewer() const { return !entries_.empty() && current_ + 1 < entries_.size(); }

  // The entry `offset` steps from the current one (negative: older), or none.
  const UndoHistoryEntry* At(long offset) const;
  UndoHistoryEntry* At(long offset);
  // Makes the entry at `offset` current; false (nothing changes) when there is none.
  bool Move(long offset);

  // Discards the redo branch and returns the step numbers it held.
  std::vector<int> DropNewer();
  // Appends a new current entry after the current one (the redo branch must be dropped).
  void Push(UndoHistoryEntry entry);
  // Appends an entry older than every other (history rebuilt at recovery).
  void PushOldest(UndoHistoryEntry entry);
  // Counting the newest entry as position 0: entries above `levels_in_ram` lose their
  // copies, entries above `levels` go.
  void Trim(int levels, int levels_in_ram);
  void Clear();

  // Offset of the oldest and of the newest entry from the current one.
  long OldestOffset() const { return -static_cast<long>(current_); }
  long NewestOffset() const {
    return entries_.empty() ? 0 : static_cast<long>(entries_.size() - 1 - current_);
  }

 private:
  std::deque<UndoHistoryEntry> entries_;  // oldest first
  std::size_t current_ = 0;
};

}  // namespace lumetra::undo
