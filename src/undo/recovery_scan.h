// Finding the snapshot series that dead instances left in the temporary directory, and the
// latest state of each that can still be read.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "undo/snapshot_codec.h"

namespace lumetra::undo {

inline constexpr std::size_t kMaxLostSeries = 50;

struct LostSeries {
  std::string prefix;      // four characters
  std::vector<int> steps;  // every step number present, ascending
  int latest = 0;          // the step to recover (when usable), else the newest one tried
  int oldest_tried = 0;    // the last step the walk tried
  int tried = 0;           // files tried, the latest included
  bool usable = false;     // a snapshot of the series reads whole
  SnapshotInfo info;       // of the latest usable snapshot
  int64_t written = 0;     // when the `latest` file was written, seconds since 1970 (UTC)
  std::string label;       // what the user sees in the recovery list
};

// Series of the family (the prefix's first two characters) in the directory, sorted by prefix,
// at most kMaxLostSeries. `accept` decides which prefixes count (a live instance's do not).
// The latest step of a series is the end of its run of consecutive numbers (taken circularly,
// so a series that passed 9999 ends past 0); when it has several runs, the one whose end file
// was written last. From there the walk goes down, passing over snapshots that do not read
// whole, until one does or a file is missing.
std::vector<LostSeries> ScanLostSeries(const std::string& directory, const std::string& family,
                                       SnapshotCodec& codec,
                                       const std::function<bool(const std::string&)>& accept);

}  // namespace lumetra::undo
