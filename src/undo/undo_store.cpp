// The undo store: steps, undo and redo, depth, prefixes, recovery and clean-up.
#include "undo/undo_store.h"

#include <algorithm>
#include <cerrno>

#include "platform/file_ops.h"
#include "platform/format.h"
#include "platform/memory_log.h"
#include "platform/ui_host.h"
#include "undo/snapshot_files.h"
#include "undo/snapshot_name.h"

namespace lumetra::undo {
namespace {

using platform::DebugLog;
using platform::Format;

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

UndoStore::UndoStore(std::unique_ptr<UndoHost> host, std::unique_ptr<SnapshotCodec> codec)
    : host_(host ? std::move(host) : std::make_unique<UndoHost>()),
      codec_(codec ? std::move(codec) : MakeProjectFileCodec()) {}

UndoStore::~UndoStore() = default;

void UndoStore::Configure(const UndoSettings& settings) {
  settings_ = settings;
  settings_.levels = std::clamp(settings_.levels, 1, kUndoLevelsMax);
  settings_.levels_in_ram = std::clamp(settings_.levels_in_ram, 0, settings_.levels);
}

void UndoStore::SetLevelsInRam(int levels_in_ram) {
  settings_.levels_in_ram = std::clamp(levels_in_ram, 0, settings_.levels);
}

std::string UndoStore::FileName(int step) const {
  return SnapshotFileName(settings_.temp_directory, prefix_, step);
}

void UndoStore::DeleteStep(int step) {
  std::string name = FileName(step);
  if (platform::FileExists(name)) platform::RemoveFile(name);
}

void UndoStore::UpdateAvailability() {
  host_->SetAvailability(CanUndo(), CanRedo());
}

void UndoStore::Save(const std::string& description) {
  if (!settings_.recording) return;
  // Without a prefix of its own the instance could write over another's series.
  if (!Claimed()) return;
  project::Project* current = project::CurrentProject();
  if (current == nullptr) return;

  step_ = StepWrap(step_ + 1);
  // The redo branch goes, files too: left behind they would outrank this step at recovery.
  for (int dropped : history_.DropNewer()) {
    if (dropped != step_) DeleteStep(dropped);
  }
  UndoHistoryEntry entry;
  entry.description = description;
  entry.step = step_;
  if (settings_.levels_in_ram > 0) {
    entry.copy.reset(project::ProjectCopy(current));
    if (entry.copy && entry.copy->status != project::kProjectStatusUsable) entry.copy.reset();
  }
  history_.Push(std::move(entry));
  history_.Trim(settings_.levels, settings_.levels_in_ram);

  std::string name = FileName(step_);
  std::optional<std::string> path;
  if (std::string p = host_->ProjectPath(); !p.empty()) path = std::move(p);
  std::vector<uint8_t> bytes = codec_->Serialize(current, description, path);
  SnapshotWriteResult written = WriteSnapshotFile(name, bytes);
  switch (written.status) {
    case SnapshotWriteStatus::kOk:
      save_failed_ = false;
      break;
    case SnapshotWriteStatus::kCannotCreate:
      platform::Status(Format("Can't save undo: %s (%d)", name.c_str(), written.error));
      save_failed_ = true;
      break;
    case SnapshotWriteStatus::kWriteFailed:
      platform::ShowError(Format("Failed to save undo step:\n%s", name.c_str()));
      save_failed_ = true;
      break;
  }
  DeleteStep(step_ - settings_.levels - 1);
  UpdateAvailability();
}

int UndoStore::Go(long offset) {
  if (offset == 0) return 0;
  host_->SetBusy(true);
  DebugLog(Format("UNDO -- start (%ld)", offset));
  int result = 0;
  const UndoHistoryEntry* entry = history_.At(offset);
  project::ProjectPtr next;
  if (entry == nullptr) {
    platform::Status("No undo");
  } else if (entry->copy) {
    next.reset(project::ProjectCopy(entry->copy.get()));
    if (!next || next->status != project::kProjectStatusUsable) {
      next.reset();
      platform::ShowError("Can't create project copy!");
    }
  } else {
    std::string name = FileName(entry->step);
    std::vector<uint8_t> bytes;
    if (!ReadSnapshotFile(name, bytes)) {
      platform::Status("No undo");
    } else {
      next = codec_->Deserialize(bytes);
      if (!next || next->status != project::kProjectStatusUsable) {
        next.reset();
        platform::ShowError(Format("Failed to load undo step:\n%s", name.c_str()));
      }
    }
  }
  if (next) {
    DebugLog("UNDO -- new all");
    host_->SaveWindowsConfig();
    DebugLog("UNDO -- load project");
    step_ = entry->step;
    history_.Move(offset);
    host_->InstallProject(next.release());
    host_->RestoreWindowsConfig();
    DebugLog("UNDO -- RestoreWindowsConfig");
    DebugLog("UNDO -- complete");
    result = 1;
  }
  UpdateAvailability();
  host_->SetBusy(false);
  return result;
}

std::optional<std::string> UndoStore::Description(long offset) const {
  const UndoHistoryEntry* entry = history_.At(offset);
  if (entry == nullptr) return std::nullopt;
  return entry->description.empty() ? std::string("Unknown") : entry->description;
}

int UndoStore::LevelsSet(int levels) {
  int old = settings_.levels;
  if (levels <= 0 || levels == old) return old;
  levels = std::min(levels, kUndoLevelsMax);
  DebugLog(Format("UndoLevelsSet(%d), current %d", levels, old));
  if (levels < old && Claimed()) {
    for (int back = levels + 1; back <= old; ++back) DeleteStep(step_ - back);
  }
  settings_.levels = levels;
  settings_.levels_in_ram = std::min(settings_.levels_in_ram, levels);
  DebugLog("UndoLevelsSet done");
  return levels;
}

std::optional<platform::NamedLock> UndoStore::TakeStartMutex(int* error) {
  if (start_lock_timed_out_) {
    if (error != nullptr) *error = ETIMEDOUT;
    return std::nullopt;
  }
  std::string text;
  errno = 0;
  auto told = [](const std::string& path) {
    platform::Notice(Format("Waiting for another %s instance, which holds the start-up lock %s...",
                            platform::kProductName, path.c_str()));
  };
  auto lock = platform::NamedLock::AcquireWithin(settings_.temp_directory, kStartMutexName,
                                                 settings_.start_lock_wait, told, &text);
  if (!lock) {
    int e = errno != 0 ? errno : EIO;
    if (e == ETIMEDOUT) start_lock_timed_out_ = true;
    if (error != nullptr) *error = e;
  }
  return lock;
}

std::optional<platform::NamedLock> UndoStore::TryPrefixLock(const std::string& prefix) {
  return platform::NamedLock::Acquire(settings_.temp_directory, kPrefixLockName + prefix, false);
}

void UndoStore::ReleasePrefixLock() {
  // Only under the start mutex: no other instance can be opening this lock file now.
  if (!prefix_lock_) return;
  platform::RemoveFile(prefix_lock_->Path());
  prefix_lock_.reset();
}

int UndoStore::ClaimPrefix() {
  if (settings_.temp_directory.empty()) return EINVAL;
  int error = 0;
  auto mutex = TakeStartMutex(&error);
  if (!mutex) return error;
  ReleasePrefixLock();
  RemoveDeadTemporaries();
  std::string prefix = kFirstPrefix;
  for (;;) {
    if (!AnySnapshotOf(settings_.temp_directory, prefix)) {
      if (auto lock = TryPrefixLock(prefix)) {
        prefix_lock_ = std::move(lock);
        break;
      }
    }
    auto next = NextPrefix(prefix);
    if (!next) {
      prefix = kGiveUpPrefix;
      prefix_lock_ = TryPrefixLock(prefix);
      platform::ShowError(
          Format("Please, clean '%s' directory!", settings_.temp_directory.c_str()));
      break;
    }
    prefix = *next;
  }
  prefix_ = prefix;
  DebugLog(Format("Undo prefix %s", prefix_.c_str()));
  step_ = 0;
  history_.Clear();
  save_failed_ = false;
  // The first step may only be written while this instance holds a lock on its prefix.
  if (Claimed()) Save("New project");
  UpdateAvailability();
  return 0;
}

int UndoStore::RecoverScan(bool recover) {
  if (settings_.temp_directory.empty()) return 0;
  int error = 0;
  auto mutex = TakeStartMutex(&error);
  if (!mutex) {
    DebugLog(Format("UndoRecoverScan: start mutex failed (%d)", error));
    return 0;
  }
  RemoveDeadTemporaries();
  // A series counts only when no live instance holds its prefix: the lock taken here
  // proves its owner is gone, and is kept for the one that gets recovered.
  std::map<std::string, platform::NamedLock> locks;
  auto accept = [&](const std::string& prefix) {
    if (Claimed() && prefix == prefix_) return false;
    auto lock = TryPrefixLock(prefix);
    if (!lock) return false;
    locks.emplace(prefix, std::move(*lock));
    return true;
  };
  std::vector<LostSeries> series =
      ScanLostSeries(settings_.temp_directory, prefix_.substr(0, 2), *codec_, accept);
  auto release_locks = [&] {
    for (auto& [prefix, lock] : locks) platform::RemoveFile(lock.Path());
    locks.clear();
  };
  if (!recover) {
    release_locks();
    return static_cast<int>(series.size());
  }
  int result = 0;
  if (!series.empty()) {
    host_->ReportLostSeries(series);
    std::vector<std::string> labels;
    for (const LostSeries& s : series) labels.push_back(s.label);
    std::optional<std::size_t> chosen = host_->ChooseRecovery(labels);
    if (chosen && *chosen < series.size()) {
      LostSeries& s = series[*chosen];
      auto lock = locks.extract(s.prefix);
      if (Recover(s, std::move(lock.mapped()))) result = 1;
    }
  }
  release_locks();
  host_->UpdateMenus();
  UpdateAvailability();
  return result;
}

bool UndoStore::Recover(LostSeries& s, std::optional<platform::NamedLock> lock) {
  const std::string& dir = settings_.temp_directory;
  std::string name = SnapshotFileName(dir, s.prefix, s.latest);
  std::vector<uint8_t> bytes;
  if (!s.usable || !ReadSnapshotFile(name, bytes)) {
    platform::ShowError(Format("Could not open file:\n%s", name.c_str()));
    return false;
  }
  project::ProjectPtr loaded = codec_->Deserialize(bytes);
  if (!loaded || loaded->status != project::kProjectStatusUsable) {
    platform::ShowError(Format("Could not load project file:\n%s", name.c_str()));
    return false;
  }
  platform::ShowInfo(Format("%s project recovered", s.label.c_str()));

  // The instance gives up what it had and continues the dead one's series.
  if (Claimed() && prefix_ != s.prefix) {
    RemoveSnapshotsOf(dir, prefix_);
    ReleasePrefixLock();
  }
  prefix_ = s.prefix;
  prefix_lock_ = std::move(lock);
  step_ = s.latest;
  save_failed_ = false;
  // Files past the recovered step (passed over as unreadable) would outrank it next time.
  for (int step : s.steps) {
    int ahead = StepWrap(step - s.latest);
    if (ahead != 0 && ahead < s.tried) DeleteStep(step);
  }
  for (const DirectoryEntry& e : ListFiles(dir)) {
    if (IsOwnSnapshotName(e.name, prefix_) && e.name.ends_with(".tmp"))
      platform::RemoveFile(dir + "/" + e.name);
  }

  // The path comes from the snapshot's own chunk, never from the label.
  std::string path = s.info.path.value_or("");
  host_->SetProjectPath(path);
  host_->InstallProject(loaded.release());
  host_->SetTitle(Format("@%s  -  ", platform::kProductName) + (path.empty() ? "Untitled" : BaseName(path)));

  history_.Clear();
  history_.Push({s.info.description, s.latest, nullptr});
  int step = s.latest;
  for (int n = 0; n < settings_.levels; ++n) {
    step = StepWrap(step - 1);
    if (step == s.latest) break;
    std::vector<uint8_t> older;
    if (!ReadSnapshotFile(FileName(step), older)) break;
    auto info = codec_->Inspect(older);
    if (!info) break;
    history_.PushOldest({info->description, step, nullptr});
  }
  return true;
}

void UndoStore::RemoveDeadTemporaries() {
  const std::string& dir = settings_.temp_directory;
  for (const DirectoryEntry& e : ListFiles(dir)) {
    std::string_view name = e.name;
    if (name.size() <= 12 || name[12] != '.') continue;
    if (!ParseSnapshotName(name.substr(0, 12), prefix_.substr(0, 2))) continue;
    std::string prefix(name.substr(0, kPrefixLength));
    if (Claimed() && prefix == prefix_) continue;
    // The writer is alive while it holds its prefix lock.
    auto lock = TryPrefixLock(prefix);
    if (!lock) continue;
    platform::RemoveFile(dir + "/" + e.name);
    DebugLog("Removed a dead instance's temporary file " + e.name);
    platform::RemoveFile(lock->Path());
  }
}

int UndoStore::WithLostSeries(const std::function<void(std::vector<LostSeries>&)>& act) {
  if (settings_.temp_directory.empty()) return EINVAL;
  int error = 0;
  auto mutex = TakeStartMutex(&error);
  if (!mutex) return error;
  RemoveDeadTemporaries();
  std::map<std::string, platform::NamedLock> locks;
  auto accept = [&](const std::string& prefix) {
    if (Claimed() && prefix == prefix_) return false;
    auto lock = TryPrefixLock(prefix);
    if (!lock) return false;
    locks.emplace(prefix, std::move(*lock));
    return true;
  };
  std::vector<LostSeries> series =
      ScanLostSeries(settings_.temp_directory, prefix_.substr(0, 2), *codec_, accept);
  act(series);
  for (auto& [prefix, lock] : locks) platform::RemoveFile(lock.Path());
  return 0;
}

project::ProjectPtr UndoStore::ReadSeries(const LostSeries& s) {
  if (!s.usable) return nullptr;
  std::vector<uint8_t> bytes;
  if (!ReadSnapshotFile(SnapshotFileName(settings_.temp_directory, s.prefix, s.latest), bytes))
    return nullptr;
  project::ProjectPtr loaded = codec_->Deserialize(bytes);
  if (!loaded || loaded->status != project::kProjectStatusUsable) return nullptr;
  return loaded;
}

void UndoStore::DiscardSeries(const LostSeries& s) {
  RemoveSnapshotsOf(settings_.temp_directory, s.prefix);
}

void UndoStore::CleanFiles() {
  if (settings_.temp_directory.empty() || !Claimed()) return;
  int error = 0;
  auto mutex = TakeStartMutex(&error);
  RemoveSnapshotsOf(settings_.temp_directory, prefix_);
  if (mutex) {
    ReleasePrefixLock();
  } else {
    prefix_lock_.reset();
  }
  history_.Clear();
  UpdateAvailability();
}

}  // namespace lumetra::undo
