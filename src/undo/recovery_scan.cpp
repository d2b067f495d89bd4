// The recovery scan over snapshot file names and contents.
#include "undo/recovery_scan.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/format.h"
#include "undo/snapshot_files.h"
#include "undo/snapshot_name.h"

namespace lumetra::undo {
namespace {

using platform::Format;

struct Found {
  std::map<int, int64_t> steps;  // step -> modification time
};

int LatestStep(const Found& f) {
  int best = -1;
  int64_t best_time = 0;
  for (const auto& [step, modified] : f.steps) {
    if (f.steps.count(StepWrap(step + 1)) != 0) continue;  // not the end of a run
    if (best < 0 || modified > best_time || (modified == best_time && step > best)) {
      best = step;
      best_time = modified;
    }
  }
  // Every number present (never in practice): the highest.
  return best >= 0 ? best : f.steps.rbegin()->first;
}

std::optional<SnapshotInfo> ReadInfo(const std::string& path, SnapshotCodec& codec) {
  std::vector<uint8_t> bytes;
  if (!ReadSnapshotFile(path, bytes)) return std::nullopt;
  return codec.Inspect(bytes);
}

std::string PathLabel(const SnapshotInfo& info) {
  return info.path ? *info.path : "Untitled";
}

void Walk(const std::string& directory, const Found& found, SnapshotCodec& codec, LostSeries& s) {
  int step = s.latest;
  for (std::size_t n = 0; n < found.steps.size(); ++n) {
    if (found.steps.count(step) == 0) break;  // a missing file ends the walk
    ++s.tried;
    s.oldest_tried = step;
    if (auto info = ReadInfo(SnapshotFileName(directory, s.prefix, step), codec)) {
      s.usable = true;
      s.info = *info;
      int passed = s.tried - 1;
      s.latest = step;
      s.label = passed == 0 ? PathLabel(*info)
                            : Format("%s (last %d '.sav' file(s) corrupted)",
                                     PathLabel(*info).c_str(), passed);
      return;
    }
    step = StepWrap(step - 1);
  }
  if (s.tried <= 1) {
    s.label = Format("Invalid or corrupted undo file: %s%04d.sav", s.prefix.c_str(), s.latest);
  } else {
    s.label = Format("Invalid or corrupted undo sequence: %s[%04d..%04d].sav", s.prefix.c_str(),
                     s.oldest_tried, s.latest);
  }
}

}  // namespace

std::vector<LostSeries> ScanLostSeries(const std::string& directory, const std::string& family,
                                       SnapshotCodec& codec,
                                       const std::function<bool(const std::string&)>& accept) {
  std::map<std::string, Found> by_series;
  std::vector<DirectoryEntry> files = ListFiles(directory);
  std::sort(files.begin(), files.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  std::set<std::string> refused;
  for (const DirectoryEntry& e : files) {
    auto parts = ParseSnapshotName(e.name, family);
    if (!parts) continue;
    std::string prefix = family.substr(0, 2) + parts->series;
    auto it = by_series.find(prefix);
    if (it == by_series.end()) {
      if (refused.count(prefix) != 0) continue;
      if (by_series.size() >= kMaxLostSeries) break;
      if (accept && !accept(prefix)) {
        refused.insert(prefix);
        continue;
      }
      it = by_series.emplace(prefix, Found{}).first;
    }
    it->second.steps[parts->step] = e.modified;
  }

  std::vector<LostSeries> out;
  for (const auto& [prefix, found] : by_series) {
    LostSeries s;
    s.prefix = prefix;
    for (const auto& entry : found.steps) s.steps.push_back(entry.first);
    s.latest = LatestStep(found);
    s.oldest_tried = s.latest;
    Walk(directory, found, codec, s);
    if (!s.usable) s.latest = LatestStep(found);
    s.written = found.steps.at(s.latest) / 1'000'000'000;
    out.push_back(std::move(s));
  }
  return out;
}

}  // namespace lumetra::undo
